// Several operations in one NC program ("ツールパスに追加"), and what the
// window does with toolpaths when another drawing is opened or a run is cut
// short: the program written is checked through LinuxCNC's interpreter.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QMenuBar>
#include <QToolButton>
#include <cmath>

#include "dialogs/strategy_dialogs.h"
#include "rs274_oracle.h"
#include "shell/save_command.h"
#include "shell/commands.h"
#include "toolpaths/contour.h"
#include "toolpaths/toolpath_model.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;
using tarnak::testing::Rs274Result;
using tarnak::testing::Rs274ToolRun;

namespace {

// A plate with three holes.
Dxf Plate() {
  Dxf d;
  d.Square(0, 0, 100).Circle(30, 30, 4).Circle(70, 30, 4).Circle(50, 70, 4);
  return d;
}

StrategyDialogFields Tool(const char* number, const char* diameter, const char* depth) {
  StrategyDialogFields f;
  f.Depth = depth;
  f.RapidHeight = "5";
  f.StartAt = "10";
  f.Increment = "10";
  f.RoughTool = number;
  f.RoughName = std::string("Tool ") + number;
  f.RoughDiameter = diameter;
  f.RoughStepXY = "3";
  f.RoughStepZ = "1";
  f.RoughRPM = "12000";
  f.RoughFeed = "600";
  f.RoughPlunge = "200";
  return f;
}

// Runs a strategy through its menu item and dialog, adding to the
// toolpaths or not.
void Run(TfrmTarnak&, StrategyDialogBase* dialog, QPushButton* action, QAction* item,
         const StrategyDialogFields& fields, bool add) {
  dialog->setFields(fields);
  dialog->chkAddToolpaths->setChecked(add);
  ClickWhenShown(dialog, action);
  item->trigger();
}

}  // namespace

class OperationsTest : public QObject {
  Q_OBJECT
 private slots:
  void pocketContourAndDrillGoIntoOneProgramWithTheirTools() {
    if (!tarnak::testing::Rs274Available()) QSKIP("rs274 (linuxcnc-uspace) is not installed");
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("plate.dxf", Plate().Text()));
    QVERIFY(!w->frmPocket->chkAddToolpaths->isChecked());  // replacing, unless asked
    // The first start gave the dialogs the shipped presets.
    QVERIFY(w->frmPocket->cmbConfig->findText("EndMill 6mm Wood") >= 0);
    QVERIFY(w->frmDrill->cmbConfig->findText("Drill 0.8mm") >= 0);

    w->mnuAutoAllClosed->trigger();
    Run(*w, w->frmPocket, w->frmPocket->cmdPocket, w->mnuPocket, Tool("1", "6", "2"), false);
    const int pocket = ToolpathCount(w->doc().Toolpaths);
    QVERIFY(pocket > 0);

    StrategyDialogFields contour = Tool("2", "3", "4");
    contour.RoughStepZ = "2";
    contour.Compensation = kCompCutout;
    w->mnuViewAll->trigger();
    w->mnuDeselectAll->trigger();
    w->mnuAutoAllClosed->trigger();
    Run(*w, w->frmContour, w->frmContour->cmdContour, w->mnuContour, contour, true);
    const int both = ToolpathCount(w->doc().Toolpaths);
    QVERIFY(both > pocket);

    w->mnuViewAll->trigger();
    w->mnuDeselectAll->trigger();
    w->mnuAutoEmptyCircles->trigger();
    Run(*w, w->frmDrill, w->frmDrill->cmdDrill, w->mnuDrill, Tool("3", "8", "6"), true);
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), both + 3);
    QVERIFY(w->mnuSaveToolpaths->isEnabled());

    const QString out = f.Path("plate.nc");
    w->SaveFileDialog = [&](const QString&, const QString&, const QString&) { return out; };
    QVERIFY(w->SaveNcProgram());

    const Rs274Result r =
        tarnak::testing::RunRs274(out.toStdString(), f.Path("").toStdString());
    QVERIFY2(r.Clean(), r.Errors.c_str());
    // One tool change per operation, in the order they were made.
    std::vector<int> tools;
    for (const Rs274ToolRun& run : r.Tools) tools.push_back(run.Tool);
    QCOMPARE(tools, (std::vector<int>{1, 2, 3}));
    auto deepest = [](const Rs274ToolRun& run) {
      double z = 0;
      for (const auto& p : run.Feeds) z = std::min(z, p.Z);
      return z;
    };
    // The pocket clears inside the plate at its depth.
    QCOMPARE(deepest(r.Tools[0]), -2.0);
    for (const auto& p : r.Tools[0].Feeds) QVERIFY(p.X > 0 && p.X < 100 && p.Y > 0 && p.Y < 100);
    // The cutout runs round the outside of the plate, down to its depth.
    QCOMPARE(deepest(r.Tools[1]), -4.0);
    bool outside = false;
    for (const auto& p : r.Tools[1].Feeds) outside = outside || p.X < 0 || p.X > 100;
    QVERIFY(outside);
    // The drill goes down at the three hole centres, and nowhere else.
    QCOMPARE(deepest(r.Tools[2]), -6.0);
    int holes = 0;
    for (const auto& p : r.Tools[2].Feeds) {
      const bool centre = (std::abs(p.X - 30) < 1e-3 && std::abs(p.Y - 30) < 1e-3) ||
                          (std::abs(p.X - 70) < 1e-3 && std::abs(p.Y - 30) < 1e-3) ||
                          (std::abs(p.X - 50) < 1e-3 && std::abs(p.Y - 70) < 1e-3);
      QVERIFY(centre);
      if (std::abs(p.Z + 6) < 1e-6) ++holes;
    }
    QCOMPARE(holes, 3);
  }

  void anotherDrawingAsksAndThenDropsTheToolpaths() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("plate.dxf", Plate().Text()));
    w->mnuAutoEmptyCircles->trigger();
    Run(*w, w->frmDrill, w->frmDrill->cmdDrill, w->mnuDrill, Tool("3", "8", "6"), false);
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 3);
    const QString other = f.Write("other.dxf", Dxf().Square(200, 200, 10).Text());

    // Cancel: nothing changes.
    f.messages.clear();
    f.answers = {MsgResult::Cancel};
    f.Open(*w, other);
    QCOMPARE(f.messages.size(), size_t{1});
    QCOMPARE(f.messages[0].Text, std::string(kSaveBeforeOpeningText));
    QCOMPARE(f.messages[0].Buttons, MsgButtons::YesNoCancel);
    QCOMPARE(w->doc().FileName, std::string("plate"));
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 3);

    // A file that cannot be read leaves drawing, toolpaths and commands.
    f.answers = {MsgResult::No};
    f.Open(*w, f.Path("missing.dxf"));
    QCOMPARE(w->doc().FileName, std::string("plate"));
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 3);
    QVERIFY(w->mnuSaveToolpaths->isEnabled());
    QVERIFY(w->mnuViewToolPaths->isEnabled());

    // Yes saves first; a save that is given up keeps everything.
    f.answers = {MsgResult::Yes};
    w->SaveFileDialog = [](const QString&, const QString&, const QString&) { return QString(); };
    f.Open(*w, other);
    QCOMPARE(w->doc().FileName, std::string("plate"));
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 3);

    // No: the new drawing comes without the old toolpaths.
    f.answers = {MsgResult::No};
    f.Open(*w, other);
    QCOMPARE(w->doc().FileName, std::string("other"));
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 0);
    QVERIFY(!w->mnuSaveToolpaths->isEnabled());
    QVERIFY(!w->ToolButton3->isEnabled());
    QVERIFY(!w->mnuViewToolPaths->isEnabled());
    QVERIFY(!w->ToolButton15->isEnabled());
    QCOMPARE(w->doc().ViewMode, 0);
  }

  void aCutShortRunIsSavedOnlyWhenTheUserSaysSo() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("plate.dxf", Plate().Text()));
    w->mnuAutoAllClosed->trigger();
    StrategyDialogFields contour = Tool("2", "3", "4");
    contour.Compensation = kCompCutout;
    DuringCommand escape(
        *w, [&] { return w->doc().PickMode == kPickModeContour; }, [&] { PressEscape(w.get()); });
    Run(*w, w->frmContour, w->frmContour->cmdContour, w->mnuContour, contour, false);
    QVERIFY(escape.Done());
    QCOMPARE(Panel(*w, 0), QString("Operation Cancelled..."));
    QVERIFY(w->doc().ToolpathsCancelled);

    const QString out = f.Path("partial.nc");
    w->SaveFileDialog = [&](const QString&, const QString&, const QString&) { return out; };
    f.messages.clear();
    f.answers = {MsgResult::No};
    QVERIFY(!w->SaveNcProgram());
    QCOMPARE(f.messages.size(), size_t{1});
    QCOMPARE(f.messages[0].Text, std::string(kIncompleteToolpathsText));
    QCOMPARE(f.messages[0].Buttons, MsgButtons::YesNo);
    QVERIFY(!QFileInfo::exists(out));
    f.answers = {MsgResult::Yes};
    QVERIFY(w->SaveNcProgram());
    QVERIFY(QFileInfo::exists(out));
  }
};

QTEST_MAIN(OperationsTest)
#include "operations_test.moc"
