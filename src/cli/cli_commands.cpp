#include "cli_commands.h"

#include <fstream>
#include <string>
#include <vector>

#include "cli_ui.h"
#include "json_writer.h"
#include "shell/commands.h"
#include "shell/document.h"

namespace tarnak::cli {

namespace {

constexpr const char* kUsage =
    "usage: tarnak-cli regions DRAWING.dxf [--dir cw|ccw] [--fix] [--strict] [--json FILE|-]\n";

struct RegionsArgs {
  std::string Drawing;
  bool Clockwise = false;
  bool Fix = false;
  bool Strict = false;
  std::string Json;  // empty: no dump; "-": standard output
};

// Returns an empty string on success, else the complaint.
std::string ParseRegionsArgs(const std::vector<std::string>& a, RegionsArgs& out) {
  for (size_t i = 0; i < a.size(); ++i) {
    const std::string& s = a[i];
    auto value = [&](std::string& v) -> bool {
      if (i + 1 >= a.size()) return false;
      v = a[++i];
      return true;
    };
    if (s == "--dir") {
      std::string v;
      if (!value(v)) return "--dir needs cw or ccw";
      if (v == "cw")
        out.Clockwise = true;
      else if (v == "ccw")
        out.Clockwise = false;
      else
        return "--dir needs cw or ccw, not '" + v + "'";
    } else if (s == "--fix") {
      out.Fix = true;
    } else if (s == "--strict") {
      out.Strict = true;
    } else if (s == "--json") {
      if (!value(out.Json) || out.Json.empty()) return "--json needs a file name or -";
    } else if (s.size() > 1 && s[0] == '-') {
      return "unknown option '" + s + "'";
    } else if (out.Drawing.empty()) {
      out.Drawing = s;
    } else {
      return "more than one drawing given ('" + s + "')";
    }
  }
  if (out.Drawing.empty()) return "no drawing given";
  return {};
}

int RunRegions(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  RegionsArgs a;
  if (std::string problem = ParseRegionsArgs(args, a); !problem.empty()) {
    err << "tarnak-cli: " << problem << '\n' << kUsage;
    return 2;
  }
  CliUserInterface ui(err, a.Strict ? MsgResult::Cancel : MsgResult::Ok);
  Document doc(ui);
  doc.Options.Program.Dir = a.Clockwise;
  doc.Options.Program.Fix = a.Fix;

  const OpenResult result = OpenDxfCommand(doc, a.Drawing);
  if (result == OpenResult::Failed) return 2;  // the reason was already written
  const std::string status = ui.Status();

  if (a.Json == "-") {
    out << RegionsJson(doc, status);
  } else {
    out << status << '\n';
    if (!a.Json.empty()) {
      std::ofstream f(a.Json, std::ios::binary | std::ios::trunc);
      f << RegionsJson(doc, status);
      f.close();
      if (!f) {
        err << "tarnak-cli: cannot write " << a.Json << '\n';
        return 2;
      }
    }
  }
  out.flush();
  if (a.Strict && ui.Problems() > 0) {
    err << "tarnak-cli: " << a.Drawing << ": reading stopped at a problem (--strict)\n";
    return 2;
  }
  return 0;
}

}  // namespace

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 2 : 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "regions") return RunRegions(args, out, err);
  err << "tarnak-cli: unknown command '" << command << "'\n" << kUsage;
  return 2;
}

}  // namespace tarnak::cli
