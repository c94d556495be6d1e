// The add-text command: alignment against the preview box, the arc layout
// at the top of the circle, the two refusals, and the options reaching the
// converter (bold italic for DXF texts).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "cli_run.h"
#include "shell/text_commands.h"
#include "test_ui.h"

namespace tarnak {
namespace {

Box AddedBox(const Document& doc, size_t from) {
  Box b = Box::FromMinMax(1e300, 1e300, -1e300, -1e300);
  for (size_t i = from; i < doc.Regions.size(); ++i) {
    b.MinX = std::min(b.MinX, doc.Regions[i].MinX);
    b.MinY = std::min(b.MinY, doc.Regions[i].MinY);
    b.MaxX = std::max(b.MaxX, doc.Regions[i].MaxX);
    b.MaxY = std::max(b.MaxY, doc.Regions[i].MaxY);
  }
  return b;
}

void UseFont(Document& doc, const char* face = "DejaVu Sans") {
  doc.Options.Program.Font = face;
  ApplyTextOptions(doc);
}

TEST(AddText, LinearAlignmentArcLayoutAndRefusals) {
  testing::TestUserInterface ui;
  Document doc(ui);
  UseFont(doc);
  TextAddParams p;
  p.Text = "HIH";
  p.Height = 10.0;
  p.X = 100.0;
  p.Y = 20.0;
  const double w = TextPreviewBox(doc, p).Width;
  ASSERT_GT(w, 10.0);
  const double lastAdvance = GlyphAdvance(doc.Ttf, U'H') * p.Height / kGlyphEmSize;

  // Right: the text ends at the origin (the last advance holds the bearing).
  p.Align = TextAlign::Right;
  ASSERT_EQ(AddText(doc, p).Result, TextAddResult::Added);
  Box b = AddedBox(doc, 1);
  EXPECT_LT(b.MaxX, p.X);
  EXPECT_GT(b.MaxX, p.X - lastAdvance / 2);
  EXPECT_NEAR(b.MinY, p.Y, 1e-9);  // H sits on the baseline
  // Cent: the symmetric text is centred on the origin.
  const size_t before = doc.Regions.size();
  p.Align = TextAlign::Cent;
  const TextAddOutcome cent = AddText(doc, p);
  EXPECT_EQ(static_cast<size_t>(cent.Regions), doc.Regions.size() - before);
  b = AddedBox(doc, before);
  EXPECT_NEAR((b.MinX + b.MaxX) / 2, p.X, 0.02 * p.Height);
  EXPECT_EQ(ui.Statuses.back(), std::to_string(cent.Regions) + " Regions Created... Font " + cent.Face);

  // Arc at angle 0: Left puts the first character on the top of the
  // circle, the next ones clockwise (to the right, lower); Cent centres
  // the whole text on the top.
  p.Layout = TextLayout::Arc;
  p.Radius = 50.0;
  p.Text = "I";
  for (TextAlign align : {TextAlign::Left, TextAlign::Cent}) {
    Document one(ui);
    UseFont(one);
    p.Align = align;
    ASSERT_EQ(AddText(one, p).Result, TextAddResult::Added);
    b = AddedBox(one, 1);
    EXPECT_NEAR((b.MinX + b.MaxX) / 2, p.X, 0.05 * p.Height);
    EXPECT_NEAR(b.MinY, p.Y + p.Radius, 0.05 * p.Height);
  }
  p.Text = "IIIII";
  p.Align = TextAlign::Left;
  Document arc(ui);
  UseFont(arc);
  ASSERT_EQ(AddText(arc, p).Result, TextAddResult::Added);
  ASSERT_EQ(arc.Regions.size(), 6u);
  for (size_t i = 2; i < arc.Regions.size(); ++i) {
    EXPECT_GT(arc.Regions[i].MinX, arc.Regions[i - 1].MinX);
    EXPECT_LT(arc.Regions[i].MaxY, arc.Regions[i - 1].MaxY);
  }
  p.Align = TextAlign::Cent;
  Document centred(ui);
  UseFont(centred);
  ASSERT_EQ(AddText(centred, p).Result, TextAddResult::Added);
  b = AddedBox(centred, 1);
  EXPECT_NEAR((b.MinX + b.MaxX) / 2, p.X, 0.05 * p.Height);

  // A long text, whose loops the chaining cuts at its chunk borders and
  // joins again: straight or along an arc, all of it comes selected.
  for (TextLayout layout : {TextLayout::Linear, TextLayout::Arc}) {
    Document longText(ui);
    UseFont(longText, "IPAGothic");
    TextAddParams q;
    for (int i = 0; i < 6; ++i) q.Text += "日本語の文字を加工機で彫刻するテキスト";
    q.Height = 10.0;
    q.Layout = layout;
    q.Radius = 2000.0;
    ASSERT_EQ(AddText(longText, q).Result, TextAddResult::Added);
    ASSERT_GT(longText.Regions.size(), 300u);
    size_t unselected = 0;
    for (size_t i = 1; i < longText.Regions.size(); ++i) unselected += longText.Regions[i].Selected != 1;
    EXPECT_EQ(unselected, 0u) << static_cast<int>(layout);
  }

  const size_t messages = ui.Messages.size();
  p.Radius = 0.0;
  EXPECT_EQ(AddText(doc, p).Result, TextAddResult::RadiusZero);
  p.Text = "W";
  p.Height = 10.0;
  p.Radius = 2.0;
  EXPECT_EQ(AddText(doc, p).Result, TextAddResult::TooWide);
  p.Text = "";
  EXPECT_EQ(AddText(doc, p).Result, TextAddResult::NoText);
  ASSERT_EQ(ui.Messages.size(), messages + 2);
  EXPECT_EQ(ui.Messages[messages].Text, "Radius can not be 0!");
  EXPECT_EQ(ui.Messages[messages + 1].Text, "No Text to convert!");

  // The options' bold and italic reach the converter.
  doc.Options.Program.FontBold = doc.Options.Program.FontItalic = true;
  ApplyTextOptions(doc);
  EXPECT_EQ(doc.Ttf.UsedFace(), "DejaVu Sans Bold Oblique");
}

// The command line makes the same Regions as the command.
TEST(AddText, CommandLineMatchesTheCommand) {
  const testing::CliRun r = testing::RunCli(
      {"text", "日本", "--font", "IPAGothic", "--height", "5", "--at", "1,2", "--align", "right"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  testing::TestUserInterface ui;
  Document doc(ui);
  UseFont(doc, "IPAGothic");
  TextAddParams p;
  p.Text = "日本";
  p.Height = 5;
  p.X = 1;
  p.Y = 2;
  p.Align = TextAlign::Right;
  const TextAddOutcome o = AddText(doc, p);
  EXPECT_EQ(r.Out, ui.Statuses.back() + "\n");
  EXPECT_GE(o.Regions, 4);  // 日 holds two counters
  EXPECT_EQ(testing::RunCli({"text", "x", "--precision", "0"}).Status, 2);
  EXPECT_EQ(testing::RunCli({"text", "x", "--angle", "5"}).Status, 2);
}

}  // namespace
}  // namespace tarnak
