// LinuxCNC's standalone interpreter as an oracle for whole NC programs:
// runs `rs274 -g` on a program and splits the canonical machining calls it
// reports into the stretches cut by each tool (SELECT_TOOL).
//
// Header only and free of any test framework, so that the QtTest programs
// and the GoogleTest ones can share it. Tests that use it take the ctest
// resource lock "rs274": the interpreter keeps state in shared memory.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tarnak::testing {

inline constexpr const char* kRs274Path = "/usr/bin/rs274";

inline bool Rs274Available() {
  std::error_code ec;
  return std::filesystem::exists(kRs274Path, ec);
}

// The shell command that runs the interpreter on `program` in `folder`
// with the tool table "tools.tbl" there, its output to `out` and `err`.
// The interpreter keeps state in shared memory, and two running at once
// now and then die of a bus error. ctest's resource lock keeps one test
// run in order; the lock file also keeps apart runs of two builds.
inline std::string Rs274Command(const std::filesystem::path& folder, const std::string& program,
                                const std::string& out, const std::string& err) {
  return "cd '" + folder.string() + "' && flock /tmp/tarnak-rs274.lock " + kRs274Path + " -t tools.tbl -g '" +
         program + "' > " + out + " 2> " + err;
}

struct Rs274Point {
  double X = 0, Y = 0, Z = 0;
};

// What one tool did between its SELECT_TOOL and the next.
struct Rs274ToolRun {
  int Tool = -1;
  std::vector<Rs274Point> Feeds;  // ends of STRAIGHT_FEED and ARC_FEED moves
};

struct Rs274Result {
  int Status = -1;
  std::string Errors;  // the interpreter's complaints; empty when it ran cleanly
  bool ReachedEnd = false;
  std::vector<Rs274ToolRun> Tools;  // in program order; moves before any tool go to Tool -1

  bool Clean() const { return Status == 0 && Errors.empty() && ReachedEnd; }
};

inline std::string ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the interpreter in `folder` (a tool table for tools 0..9 is written
// there).
inline Rs274Result RunRs274(const std::filesystem::path& program, const std::filesystem::path& folder) {
  {
    std::ofstream table(folder / "tools.tbl");
    for (int t = 0; t <= 9; ++t) table << "T" << t << " P" << t + 1 << " D3.0 ;\n";
  }
  const std::string command = Rs274Command(folder, program.string(), "rs274_out.txt", "rs274_err.txt");
  Rs274Result r;
  r.Status = std::system(command.c_str());
  const std::string out = ReadWholeFile(folder / "rs274_out.txt");
  r.Errors = ReadWholeFile(folder / "rs274_err.txt");
  // The interpreter announces itself on stderr; anything else is a complaint.
  for (std::size_t at; (at = r.Errors.find("executing\n")) != std::string::npos;) r.Errors.erase(at, 10);
  r.ReachedEnd = out.find("PROGRAM_END()") != std::string::npos;

  static const std::regex select(R"(SELECT_TOOL\((-?\d+)\))");
  static const std::regex move(R"((STRAIGHT_FEED|ARC_FEED)\(([^)]*)\))");
  r.Tools.push_back({});
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, select)) {
      r.Tools.push_back({std::stoi(m[1].str()), {}});
      continue;
    }
    if (!std::regex_search(line, m, move)) continue;
    std::vector<double> v;
    std::istringstream args(m[2].str());
    for (std::string field; std::getline(args, field, ',');) v.push_back(std::stod(field));
    if (v.size() < 6) continue;
    // ARC_FEED(end x, end y, centre x, centre y, turn, end z, ...)
    const bool arc = m[1] == "ARC_FEED";
    r.Tools.back().Feeds.push_back({v[0], v[1], arc ? v[5] : v[2]});
  }
  if (r.Tools.front().Feeds.empty()) r.Tools.erase(r.Tools.begin());
  return r;
}

}  // namespace tarnak::testing
