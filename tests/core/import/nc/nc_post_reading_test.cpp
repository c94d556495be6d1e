// The post reading and the standard reading on the small cases where a
// wrong rule shows at once: modal coordinates, exact command matching, the
// two directions of one arc, full circles, a drill block, a radius too
// short for its chord, and the conversion error that stops loading.
#include <gtest/gtest.h>

#include <cmath>

#include "base/numbers.h"
#include "geometry/primitives.h"
#include "import/nc/nc_reader.h"
#include "nc_test_post.h"

namespace tarnak {
namespace {

constexpr double kEps = 1e-12;

void ExpectLine(const TTNEdEntity& m, double x, double y, double x2, double y2) {
  EXPECT_EQ(m.Radius, 0.0);
  EXPECT_NEAR(m.X, x, kEps);
  EXPECT_NEAR(m.Y, y, kEps);
  EXPECT_NEAR(m.X2, x2, kEps);
  EXPECT_NEAR(m.Y2, y2, kEps);
}

TEST(NcPostReading, ModalWordsAndExactCommands) {
  const TTNPostProcessor post = testing::IncrementalCentrePost();
  NCReadResult r = ReadNCPost("G01 X10 Y0\nY5\n", post);
  ASSERT_EQ(r.MoveCount(), 2u);
  ExpectLine(r.Moves[1], 0, 0, 10, 0);
  ExpectLine(r.Moves[2], 10, 0, 10, 5);
  EXPECT_EQ(r.Moves[2].Line, 1);
  EXPECT_EQ(r.Moves[1].Kind, NCKind::Linear);

  // "G1" is not "G01", "x" is not "X", 'g01' is coloured but not read: no
  // move, and the status can say why.
  r = ReadNCPost("G1 X10\ng01 X3\n", post);
  EXPECT_EQ(r.MoveCount(), 0u);
  EXPECT_TRUE(r.HasMotionWords);
  EXPECT_NE(NCReadingHint(r, NCReading::Post, post), "");
  EXPECT_EQ(ReadNCPost("G01 x10\n", post).Moves.back().X2, 0.0);
  // A value set before any command is kept for the first move.
  r = ReadNCPost("X10\nG01 Y2\n", post);
  ASSERT_EQ(r.MoveCount(), 1u);  // the first line has an address but no mode
  ExpectLine(r.Moves.back(), 0, 0, 10, 2);
  // The standard reading takes every spelling.
  r = ReadNCStandard("G1 X10\ng01 y3 ; done\n");
  ASSERT_EQ(r.MoveCount(), 2u);
  ExpectLine(r.Moves[2], 10, 0, 10, 3);
}

TEST(NcPostReading, ArcBothWaysFullCircleAndShortRadius) {
  const TTNPostProcessor post = testing::IncrementalCentrePost();
  // (10,0) to (0,10) about the origin, counter-clockwise, then back.
  NCReadResult r = ReadNCPost("G00 X10 Y0\nG03 X0 Y10 I-10 J0\nG02 X10 Y0 I0 J-10\n", post);
  ASSERT_EQ(r.MoveCount(), 3u);
  for (int i : {2, 3}) {
    const TTNEdEntity& a = r.Moves[static_cast<std::size_t>(i)];
    EXPECT_TRUE(a.IsArc());
    EXPECT_NEAR(a.X, 0, kEps);
    EXPECT_NEAR(a.Y, 0, kEps);
    EXPECT_NEAR(a.Radius, 10, kEps);
    EXPECT_NEAR(a.StartAngle(), 0, kEps);
    EXPECT_NEAR(a.EndAngle(), kPi / 2, kEps);
  }
  EXPECT_EQ(r.Moves[2].Kind, NCKind::CcwArc);
  EXPECT_EQ(r.Moves[3].Kind, NCKind::CwArc);
  // Extents by the true arc: the quarter stays in the first quadrant.
  EXPECT_NEAR(r.Extents.MaxX, 10, kEps);
  EXPECT_NEAR(r.Extents.MinY, 0, kEps);

  r = ReadNCPost("G00 X10 Y0\nG03 X10 Y0 I-10 J0\n", post);
  EXPECT_NEAR(r.Moves[2].EndAngle() - r.Moves[2].StartAngle(), kTwoPi, kEps);
  EXPECT_NEAR(r.Extents.MinX, -10, kEps);

  // By radius: centres on the right of a clockwise move and on the left of
  // a counter-clockwise one (the shorter arc); too short a radius becomes
  // the chord, and the next move starts at the block's end.
  const TTNPostProcessor radius = testing::RadiusPost();
  r = ReadNCPost("G00 X0 Y0\nG02 X10 Y0 R5\nG03 X0 Y0 R5\nG02 X20 Y0 R2\nG01 X30\n", radius);
  ASSERT_EQ(r.MoveCount(), 5u);
  EXPECT_NEAR(r.Moves[2].X, 5, kEps);
  EXPECT_NEAR(r.Moves[3].X, 5, kEps);
  EXPECT_NEAR(ReadNCPost("G00 X0\nG02 X6 Y0 R5\n", radius).Moves[2].Y, -4, kEps);
  EXPECT_NEAR(ReadNCPost("G00 X0\nG03 X6 Y0 R5\n", radius).Moves[2].Y, 4, kEps);
  EXPECT_FALSE(r.Moves[4].IsArc());
  ExpectLine(r.Moves[4], 0, 0, 20, 0);
  ExpectLine(r.Moves[5], 20, 0, 30, 0);
  ASSERT_EQ(r.Notes.size(), 1u);
  EXPECT_EQ(r.Notes[0].rfind("Line 4:", 0), 0u);
}

TEST(NcPostReading, DrillBlockToolMarkerAndConversionError) {
  TTNPostProcessor post = testing::IncrementalCentrePost();
  NCReadResult r = ReadNCPost("G00 X1 Y1 Z5\nG81 X5 Y5 Z-3 R2\n", post);
  ASSERT_EQ(r.MoveCount(), 4u);
  const TTNEdEntity& up = r.Moves[2];
  const TTNEdEntity& across = r.Moves[3];
  const TTNEdEntity& down = r.Moves[4];
  EXPECT_EQ(up.Kind, NCKind::Rapid);
  EXPECT_EQ(up.Z2, 2.0);
  EXPECT_EQ(up.X2, 1.0);
  EXPECT_EQ(across.Kind, NCKind::Rapid);
  ExpectLine(across, 1, 1, 5, 5);
  EXPECT_EQ(down.Kind, NCKind::DrillPlunge);
  EXPECT_EQ(down.Radius, kNCDrillMarkRadius);
  EXPECT_EQ(down.Z, 2.0);
  EXPECT_EQ(down.Z2, -3.0);
  EXPECT_FALSE(down.IsArc());

  // A tool word that is an address letter marks the tool change.
  testing::SetToken(post, TokenSlot::Tt, "D", TokenVar::Tn, "%d");
  r = ReadNCPost("D2\n", post);
  ASSERT_EQ(r.MoveCount(), 1u);
  EXPECT_EQ(r.Moves[1].Kind, NCKind::ToolChange);
  EXPECT_TRUE(NCExtents(r.Moves).Empty);

  // The conversion stops loading at the line it cannot read.
  try {
    (void)ReadNCPost("G01 X1\nG01 X1.2.3\n", post);
    FAIL() << "no error";
  } catch (const NCReadError& e) {
    EXPECT_EQ(e.Line, 2);
  }
  // The standard reading: G98/G99 decide the retract of a cycle.
  r = ReadNCStandard("G0 Z5\nG99 G81 X5 Y5 Z-3 R2\n");
  EXPECT_EQ(r.Moves.back().Z2, 2.0);
  r = ReadNCStandard("G0 Z5\nG98 G81 X5 Y5 Z-3 R2\n");
  EXPECT_EQ(r.Moves.back().Z2, 5.0);
}

TEST(NcMotions, DisplayMovesBecomeMotionsWithTravelDirection) {
  const NCReadResult r = ReadNCStandard("G0 X10 Y0\nG2 X0 Y-10 I-10 J0\nG81 X1 Y1 Z-1 R1\nM6 T2\n");
  const MotionList m = NCMovesToMotions(r.Moves);
  ASSERT_GE(m.size(), 4u);
  EXPECT_EQ(m[0].Kind, MotionKind::Rapid);
  EXPECT_EQ(m[1].Kind, MotionKind::Arc);
  EXPECT_LT(m[1].Radius, 0.0);
  EXPECT_NEAR(m[1].FromX, 10, 1e-9);
  EXPECT_NEAR(m[1].Y, -10, 1e-9);
  bool plunge = false;
  for (const Motion& x : m) plunge |= x.Part == MotionPart::Plunge;
  EXPECT_TRUE(plunge);
  EXPECT_EQ(m.back().Kind, MotionKind::ToolChange);
}

}  // namespace
}  // namespace tarnak
