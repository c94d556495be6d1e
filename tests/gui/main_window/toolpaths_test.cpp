// The Toolpath menu and the NC save command as a user drives them: a
// strategy dialog, its command, the toolpaths shown and saving enabled;
// Escape during a strategy; the save dialog's filter and proposed name;
// the overwrite-or-append question; leaving with toolpaths and saving them.
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QMenuBar>
#include <QProgressBar>
#include <QRegularExpression>
#include <QToolButton>

#include "dialogs/options_dialog.h"
#include "dialogs/overwrite_dialog.h"
#include "dialogs/strategy_dialogs.h"
#include "toolpaths/contour.h"
#include "toolpaths/presets.h"
#include "toolpaths/toolpath_model.h"
#include "shell/strategy_commands.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

// A contour job that makes several levels per Region.
StrategyDialogFields ContourJob() {
  StrategyDialogFields j;
  j.Depth = "3";
  j.RapidHeight = "5";
  j.StartAt = "10";
  j.Increment = "10";
  j.RoughTool = "1";
  j.RoughName = "Flat 3mm";
  j.RoughDiameter = "3";
  j.RoughStepZ = "1";
  j.RoughRPM = "12000";
  j.RoughFeed = "600";
  j.RoughPlunge = "200";
  j.Compensation = kCompRight;
  return j;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

// Opens the nested squares, selects every closed one and contours them
// through the dialog.
void ContourNestedSquares(WindowFixture& f, TfrmTarnak& w) {
  f.Open(w, f.Write("squares.dxf", NestedSquares().Text()));
  w.mnuAutoAllClosed->trigger();
  w.frmContour->setFields(ContourJob());
  ClickWhenShown(w.frmContour, w.frmContour->cmdContour);
  w.mnuContour->trigger();
}

}  // namespace

class ToolpathsTest : public QObject {
  Q_OBJECT
 private slots:
  void contourFromTheMenuMakesAndShowsToolpaths() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    QVERIFY(!w->mnuSaveToolpaths->isEnabled());
    ContourNestedSquares(f, *w);
    const Document& doc = w->doc();
    QVERIFY(ToolpathCount(doc.Toolpaths) >= 9);  // three squares, three levels each
    QCOMPARE(doc.MachiningParams.Rough.Radius, 1.5);
    QCOMPARE(doc.PickMode, kPickNone);
    QCOMPARE(Panel(*w, 0), QString("Ready..."));
    QVERIFY(w->mnuSaveToolpaths->isEnabled());
    QVERIFY(w->ToolButton3->isEnabled());
    QVERIFY(w->ToolButton15->isEnabled());
    QCOMPARE(doc.ViewMode, 3);
    QVERIFY(w->mnuViewToolPaths->isChecked());
    QVERIFY(!w->mnuSelect1->menuAction()->isEnabled());
    QVERIFY(!w->ContextMenuAllowed());
    QVERIFY(Panel(*w, 2).startsWith("Tool "));
    QVERIFY(f.messages.empty());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Back to the drawing: the selection commands return.
    w->mnuViewAll->trigger();
    QVERIFY(w->mnuSelect1->menuAction()->isEnabled());
  }

  void aStrategyNeedsASelectionBeforeItsDialog() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    bool dialogShown = false;
    QTimer::singleShot(0, w->frmContour, [&] {
      dialogShown = w->frmContour->isVisible();
      if (dialogShown) w->frmContour->cmdCancel->click();
    });
    w->mnuContour->trigger();
    QVERIFY(f.SawMessage("Nothing Selected! - Select Regions First"));
    QCoreApplication::processEvents();
    QVERIFY(!dialogShown);
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 0);
  }

  void cancellingTheDialogMakesNothing() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    w->mnuAutoAllClosed->trigger();
    ClickWhenShown(w->frmContour, w->frmContour->cmdCancel);
    w->mnuContour->trigger();
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 0);
    QVERIFY(!w->mnuSaveToolpaths->isEnabled());
    QCOMPARE(w->doc().ViewMode, 0);
  }

  // The gauge over status panel 2 counts the Regions done while a strategy
  // runs ("done/total"), and goes when it ends.
  void contourCountsItsRegionsOnTheGauge() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    QProgressBar* gauge = w->sbrBar->Progress();
    QString shown;
    int total = 0;
    DuringCommand look(
        *w, [&] { return gauge->isVisible() && gauge->value() > 0; },
        [&] {
          shown = gauge->text();
          total = gauge->maximum();
        });
    ContourNestedSquares(f, *w);
    QVERIFY(look.Done());
    QCOMPARE(total, 3);  // the three squares
    QVERIFY2(QRegularExpression("^[123]/3$").match(shown).hasMatch(), qPrintable(shown));
    QVERIFY(!gauge->isVisible());
    QVERIFY(ToolpathCount(w->doc().Toolpaths) >= 9);
  }

  void escapeDuringContouringCancelsIt() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    w->mnuAutoAllClosed->trigger();
    w->frmContour->setFields(ContourJob());
    DuringCommand escape(
        *w, [&] { return w->doc().PickMode == kPickModeContour; },
        [&] { PressEscape(w.get()); });
    ClickWhenShown(w->frmContour, w->frmContour->cmdContour);
    w->mnuContour->trigger();
    QVERIFY(escape.Done());
    QCOMPARE(Panel(*w, 0), QString("Operation Cancelled..."));
    QCOMPARE(w->doc().PickMode, kPickNone);
    QVERIFY(!w->CommandRunning());
    QVERIFY(w->menuBar()->isEnabled());
  }

  void pocketAndDrillRunThroughTheirDialogs() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    Dxf d;
    d.Square(0, 0, 100).Circle(30, 30, 3).Circle(70, 30, 3).Circle(50, 70, 3);
    f.Open(*w, f.Write("plate.dxf", d.Text()));

    StrategyDialogFields drill;
    drill.RoughPlunge = "100";
    w->frmDrill->setFields(drill);

    // Drill with nothing selected says so after the dialog.
    ClickWhenShown(w->frmDrill, w->frmDrill->cmdDrill);
    w->mnuDrill->trigger();
    QVERIFY(f.SawMessage("Nothing Selected! - Select Regions First"));
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 0);

    w->mnuAutoEmptyCircles->trigger();
    QVERIFY(w->ToolButton18->isEnabled());
    ClickWhenShown(w->frmDrill, w->frmDrill->cmdDrill);
    w->mnuDrill->trigger();
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 3);
    QVERIFY(w->mnuSaveToolpaths->isEnabled());
    QCOMPARE(w->doc().ViewMode, 3);

    // A pocket of the plate around its three holes.
    w->mnuViewAll->trigger();
    w->mnuDeselectAll->trigger();
    w->mnuAutoAllClosed->trigger();
    StrategyDialogFields job = ContourJob();
    job.RoughStepXY = "2";
    w->frmPocket->setFields(job);
    ClickWhenShown(w->frmPocket, w->frmPocket->cmdPocket);
    w->mnuPocket->trigger();
    QVERIFY(ToolpathCount(w->doc().Toolpaths) > 3);
    QCOMPARE(w->doc().ViewMode, 3);
  }

  void boardRoutingRunsFromTheMenuAfterAllAsIslands() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    // An outline track round three pads, two of them joined by a track (inches).
    const std::string board =
        "%FSLAX24Y24*%\n%MOIN*%\n%ADD10C,0.0100*%\n%ADD11C,0.0600*%\nG01*\n"
        "D10*X0Y0D02*X10000D01*Y6000D01*X0D01*Y0D01*\n"
        "D11*X2000Y2000D03*X5000Y2000D03*X8000Y4000D03*\n"
        "D10*X2000Y2000D02*X5000Y2000D01*\nM02*\n";
    f.Open(*w, f.Write("board.gbr", board));
    QVERIFY(w->doc().Regions.size() > 3);

    // Closed Regions selected some other way: the command asks for all as islands.
    w->mnuAutoAllClosed->trigger();
    QVERIFY(w->mnuPCB->isEnabled());
    bool dialogShown = false;
    QTimer::singleShot(0, w->frmPCB, [&] {
      dialogShown = w->frmPCB->isVisible();
      if (dialogShown) w->frmPCB->cmdCancel->click();
    });
    w->mnuPCB->trigger();
    QVERIFY(f.SawMessage("Use Select All as Islands for this function"));
    QCoreApplication::processEvents();
    QVERIFY(!dialogShown);

    w->mnuDeselectAll->trigger();
    w->AllasIsl1->trigger();
    QVERIFY(w->mnuPCB->isEnabled());
    QVERIFY(w->ToolButton19->isEnabled());
    StrategyDialogFields job;
    job.Depth = "0.004";
    job.RapidHeight = "0.1";
    job.RoughDiameter = "0.01";
    job.RoughFeed = "10";
    job.RoughPlunge = "5";
    job.Passes = "2";
    job.Overlap = "0.5";
    w->frmPCB->setFields(job);
    QCOMPARE(w->frmPCB->txtPasses->text(), QString("2"));
    ClickWhenShown(w->frmPCB, w->frmPCB->cmdRoute);
    f.messages.clear();
    w->mnuPCB->trigger();
    const Document& doc = w->doc();
    QVERIFY2(f.messages.empty(), f.messages.empty() ? "" : f.messages.front().Text.c_str());
    QVERIFY(ToolpathCount(doc.Toolpaths) >= 6);  // two passes round each feature
    QCOMPARE(doc.MachiningParams.IsolationPasses, 2);
    QCOMPARE(doc.Toolpaths[1].Depth, 0.004);
    QCOMPARE(doc.PickMode, kPickNone);
    QCOMPARE(Panel(*w, 0), QString("Routing complete..."));
    QCOMPARE(doc.ViewMode, 3);
    QVERIFY(w->mnuSaveToolpaths->isEnabled());
  }

  void pocketWithNothingSelectedSaysSoBeforeItsDialog() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    w->mnuPocket->trigger();  // would block on the dialog if it were shown
    QVERIFY(f.SawMessage("Nothing Selected! - Select Regions First"));
  }

  void theNcSaveOffersThePostsFilesAndAsksBeforeTouchingAFile() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    ContourNestedSquares(f, *w);
    QCOMPARE(w->doc().PostDefinition.Name, std::string("Orvano"));  // the start value's post

    QString filter, proposed, suffix;
    const QString out = f.Path("out.nc");
    w->SaveFileDialog = [&](const QString& fl, const QString& name, const QString& sfx) {
      filter = fl;
      proposed = name;
      suffix = sfx;
      return out;
    };
    w->mnuSaveToolpaths->trigger();
    QCOMPARE(filter, QString("Orvano Files (*.nc *.NC);;All Files (*)"));
    QCOMPARE(proposed, QString("squares.nc"));
    QCOMPARE(suffix, QString("nc"));
    const QByteArray first = ReadAll(out);
    QVERIFY(first.contains("G"));
    QVERIFY(first.contains("\r\n"));

    // The command line writes the same program for the same parameters.
    {
      QStringList args = {"contour", f.Path("squares.dxf"), "--select", "closed", "--post", "Orvano",
                          "--depth", "3", "-o", f.Path("cli.nc")};
      for (const auto& [key, value] : PresetFromFields(StrategyDialog::Contour, ContourJob()))
        args << "--set" << QString::fromStdString(key + "=" + value);
      QProcess cli;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert("TARNAK_HOME", f.Path(""));
      cli.setProcessEnvironment(env);
      cli.start(QString(TARNAK_BINARY_DIR) + "/src/cli/tarnak-cli", args);
      QVERIFY(cli.waitForFinished(60000));
      QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
      QCOMPARE(ReadAll(f.Path("cli.nc")), first);
    }

    // The file exists now: append, then overwrite, through the question.
    ClickWhenShown(w->frmOverWrite, w->frmOverWrite->cmdAppend);
    QVERIFY(w->SaveNcProgram());
    QCOMPARE(ReadAll(out), first + first);
    ClickWhenShown(w->frmOverWrite, w->frmOverWrite->cmdOverwrite);
    QVERIFY(w->SaveNcProgram());
    QCOMPARE(ReadAll(out), first);

    // Dismissing the question leaves the file alone.
    QTimer::singleShot(0, w->frmOverWrite, [&] { w->frmOverWrite->reject(); });
    QVERIFY(!w->SaveNcProgram());
    QCOMPARE(ReadAll(out), first);
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void aFileThatCannotBeWrittenIsReported() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    ContourNestedSquares(f, *w);
    const QString bad = f.Path("no such folder/out.nc");
    w->SaveFileDialog = [&](const QString&, const QString&, const QString&) { return bad; };
    f.messages.clear();
    QVERIFY(!w->SaveNcProgram());
    QCOMPARE(f.messages.size(), size_t{1});
    QVERIFY(f.messages[0].Text.find("out.nc") != std::string::npos);
    QVERIFY(!QFileInfo::exists(bad));
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void leavingWithToolpathsCanSaveThemFirst() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    ContourNestedSquares(f, *w);
    const QString out = f.Path("leaving.nc");
    w->SaveFileDialog = [&](const QString&, const QString&, const QString&) { return out; };
    f.answers = {MsgResult::Yes};
    w->mnuExit->trigger();
    QVERIFY(!w->isVisible());
    QVERIFY(ReadAll(out).size() > 0);
  }

  // Both DXF saves ask through the save dialog (DXF filter, extension
  // "Dxf", no proposed name) and write the file; a cancelled dialog writes
  // nothing.
  void theDxfSavesWriteTheGeometryAndTheToolpaths() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    ContourNestedSquares(f, *w);
    QVERIFY(w->mnuSaveToolToDxf->isEnabled());
    QVERIFY(w->SaveGeometryDXF1->isEnabled());
    QString filter, proposed = "unset", suffix, out;
    w->SaveFileDialog = [&](const QString& fl, const QString& name, const QString& sfx) {
      filter = fl;
      proposed = name;
      suffix = sfx;
      return out;
    };
    w->mnuSaveToolToDxf->trigger();  // cancelled
    QCOMPARE(filter, QString("DXF Files (*.DXF *.dxf)"));
    QCOMPARE(proposed, QString());
    QCOMPARE(suffix, QString("Dxf"));

    out = f.Path("geometry.dxf");
    w->SaveGeometryDXF1->trigger();
    const QByteArray geometry = ReadAll(out);
    QVERIFY(geometry.startsWith("0\r\nSECTION\r\n2\r\nHEADER\r\n"));
    QCOMPARE(geometry.count("\r\nLINE\r\n"), 13);  // three squares and the open line

    out = f.Path("toolpaths.dxf");
    w->mnuSaveToolToDxf->trigger();
    const QByteArray toolpaths = ReadAll(out);
    QVERIFY(toolpaths.endsWith("0\r\nEOF\r\n"));
    QVERIFY(toolpaths.contains("8\r\n1\r\n62\r\n0\r\n6\r\nDOT\r\n"));  // a traverse
    QVERIFY(f.messages.empty());
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void theOptionsDialogOpensFromTheSetupMenu() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    bool shown = false;
    QTimer::singleShot(0, w->frmOptions, [&] {
      shown = w->frmOptions->isVisible();
      w->frmOptions->cmdClose->click();
    });
    w->mnuOptions->trigger();
    QVERIFY(shown);
    QVERIFY(!w->frmOptions->isVisible());
  }
};

QTEST_MAIN(ToolpathsTest)
#include "toolpaths_test.moc"
