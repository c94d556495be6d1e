// tarnak-cli stl: the JSON facts of a model, and a one-line refusal that
// names the file.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cli_run.h"

namespace tarnak::cli {
namespace {

using StlRun = tarnak::testing::CliRun;

StlRun RunStlCli(std::vector<std::string> args) {
  args.insert(args.begin(), "stl");
  return tarnak::testing::RunCli(std::move(args));
}

const std::string kCorpus = std::string(TARNAK_CORPUS_DIR) + "/stl/";

TEST(StlCommand, TellsCountBoxAndFormOrRefusesByName) {
  // The box numbers are admesh's for this file, moved down by 1.5 + 8.
  const StlRun bin = RunStlCli({kCorpus + "stl-models_gearwheel.bin.stl", "--depth", "1.5", "--json", "-"});
  EXPECT_EQ(bin.Status, 0) << bin.Err;
  EXPECT_EQ(bin.Out,
            "{\"status\": \"Ready...\", \"format\": \"binary\", \"triangles\": 2444, \"box\": "
            "[-20.860078811645508, 20.860078811645508, -20.860078811645508, 20.860078811645508, "
            "-9.5, -1.5]}\n");

  const StlRun text = RunStlCli({kCorpus + "stl-models_missingEndsolid.ascii.stl", "--depth", "0"});
  EXPECT_EQ(text.Status, 0) << text.Err;
  EXPECT_EQ(text.Out, "4 triangles (text), box [0, 1, 0, 1, -1, 0]\n");

  for (const std::string& bad : {kCorpus + "pycam_Sphere_cut_comma_normals.stl",
                                 kCorpus + "no-such-model.stl"}) {
    const StlRun r = RunStlCli({bad, "--json", "-"});
    EXPECT_EQ(r.Status, 2) << bad;
    EXPECT_EQ(r.Out, "") << bad;
    EXPECT_NE(r.Err.find(bad), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << r.Err;
  }
  EXPECT_EQ(RunStlCli({kCorpus + "pycam_problem_1_triangle.stl", "--depth", "-1"}).Status, 2);
}

}  // namespace
}  // namespace tarnak::cli
