// tarnak-cli gerber: a millimetre board at its real size, the tool offset
// merging neighbours, the direction asked for, and a refusal by name.
#include <gtest/gtest.h>

#include <string>

#include "cli_run.h"

namespace tarnak::cli {
namespace {

const std::string kBoards = std::string(TARNAK_CORPUS_DIR) + "/gerber/";

TEST(GerberCommand, ImportsAtRealSizeAndRefusesNegativeImages) {
  const auto plain = testing::RunCli({"gerber", kBoards + "pcb2gcode_EasySDR_Gerber_TopLayer.GTL"});
  EXPECT_EQ(plain.Status, 0) << plain.Err;
  EXPECT_EQ(plain.Out, "143 Regions Created...\n");
  // Pads and tracks closer than twice the offset share one outline.
  const auto wide = testing::RunCli({"gerber", kBoards + "pcb2gcode_EasySDR_Gerber_TopLayer.GTL",
                                     "--offset", "5", "--dir", "cw", "--json", "-"});
  EXPECT_EQ(wide.Status, 0) << wide.Err;
  EXPECT_EQ(wide.Out.rfind("{\"status\": \"41 Regions Created...\", \"extents\": [", 0), 0u) << wide.Out.substr(0, 200);
  EXPECT_EQ(wide.Out.find("\"direction\": 0"), std::string::npos);
  EXPECT_EQ(wide.Out.find("\"open\": 1"), std::string::npos);

  const auto neg = testing::RunCli({"gerber", kBoards + "gerbv_polarity_6_vbat.gbr"});
  EXPECT_EQ(neg.Status, 2);
  EXPECT_NE(neg.Err.find("Negative Polarity Read...Convert to Positive Before Importing."),
            std::string::npos);
  EXPECT_EQ(testing::RunCli({"gerber", "--offset", "x", "a.gbr"}).Status, 2);
  // A drill file is told by its M48 header, whatever its extension.
  const auto drill = testing::RunCli({"gerber", kBoards + "gerbv_hellboard.plated-drill.cnc"});
  EXPECT_EQ(drill.Out, "360 Regions Created...\n") << drill.Err;
}

}  // namespace
}  // namespace tarnak::cli
