// Pictures for a reviewer: the main window with a drawing, its selection
// and its toolpaths (contour, pocket, drill; top and oblique view), the
// options and strategy dialogs, the about box and the splash window, saved
// as PNG files under <build>/screenshots. The user manual shows some of
// them: those are saved into <build>/manual/images as well, under the
// names the manual uses. Nothing is compared: this test fails only when a
// picture cannot be made or saved.
#include <QDir>
#include <QImage>
#include <QPixmap>

#include "about.h"
#include "dialogs/options_dialog.h"
#include "dialogs/strategy_dialogs.h"
#include "order_window.h"
#include "splash.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

QString ShotFolder() {
  const QString folder = QString(TARNAK_BINARY_DIR) + "/screenshots";
  QDir().mkpath(folder);
  return folder;
}

QString ManualPictureFolder() {
  const QString folder = QString(TARNAK_BINARY_DIR) + "/manual/images";
  QDir().mkpath(folder);
  return folder;
}

// `manualName`: the picture's name in the manual, when it shows it.
bool Save(QWidget* widget, const QString& name, const QString& manualName = QString()) {
  widget->show();
  widget->raise();
  QCoreApplication::processEvents();
  const QPixmap shot = widget->grab();
  if (shot.isNull()) return false;
  const QString path = ShotFolder() + "/" + name + ".png";
  if (!shot.save(path, "PNG")) return false;
  qInfo("saved %s (%dx%d)", qPrintable(path), shot.width(), shot.height());
  if (!manualName.isEmpty()) {
    const QString copy = ManualPictureFolder() + "/" + manualName + ".png";
    if (!shot.save(copy, "PNG")) return false;
    qInfo("saved %s", qPrintable(copy));
  }
  return true;
}

// A bracket: an outline with a slot, a pocket with an island and four
// holes, and an open engraving line.
Dxf Bracket() {
  Dxf d;
  d.Line(0, 0, 160, 0).Line(160, 0, 160, 100).Line(160, 100, 0, 100).Line(0, 100, 0, 0);
  d.Square(20, 20, 60).Square(40, 40, 20);
  d.Circle(110, 25, 4).Circle(140, 25, 4).Circle(110, 75, 4).Circle(140, 75, 4);
  d.Line(95, 50, 150, 50);
  return d;
}

}  // namespace

class ScreenshotTest : public QObject {
  Q_OBJECT
 private slots:
  void mainWindowAndDialogs() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->setWindowState(Qt::WindowNoState);
    w->resize(1100, 720);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    f.Open(*w, f.Write("bracket.dxf", Bracket().Text()));
    w->ViewMouseMove({80.0, 50.0});
    QVERIFY(Save(w.get(), "main_window_drawing", "open"));

    w->mnuAutoAll->trigger();
    w->mnuShowDirs->trigger();
    QVERIFY(Save(w.get(), "main_window_selected", "select"));

    StrategyDialogFields job;
    job.Depth = "3";
    job.RapidHeight = "5";
    job.RoughName = "Flat 4mm";
    job.RoughDiameter = "4";
    job.RoughStepZ = "1.5";
    job.RoughFeed = "600";
    job.RoughPlunge = "200";
    job.RoughRPM = "12000";
    job.Compensation = kCompCutout;
    job.Entry = kLeadArc;
    job.Exit = kLeadArc;
    job.EntryLength = "3";
    job.ExitLength = "3";
    w->frmContour->setFields(job);
    QVERIFY(Save(w->frmContour, "contour_dialog", "contour_dialog"));
    w->frmContour->hide();

    ClickWhenShown(w->frmContour, w->frmContour->cmdContour);
    w->mnuContour->trigger();
    QVERIFY(ToolpathCount(w->doc().Toolpaths) > 0);
    QVERIFY(Save(w.get(), "main_window_toolpaths", "contour"));

    w->N2DView1->trigger();
    QVERIFY(Save(w.get(), "main_window_toolpaths_3d", "toolpaths_3d"));
    w->N2DView1->trigger();

    // A pocket of every closed outline: the plate cleared around its
    // islands and holes.
    w->mnuShowDirs->trigger();
    w->mnuViewAll->trigger();
    w->mnuDeselectAll->trigger();
    w->mnuAutoAllClosed->trigger();
    StrategyDialogFields pocket = job;
    pocket.RoughStepXY = "2.5";
    w->frmPocket->setFields(pocket);
    QVERIFY(Save(w->frmPocket, "pocket_dialog", "pocket_dialog"));
    w->frmPocket->hide();
    ClickWhenShown(w->frmPocket, w->frmPocket->cmdPocket);
    w->mnuPocket->trigger();
    QVERIFY(ToolpathCount(w->doc().Toolpaths) > 0);
    QVERIFY(Save(w.get(), "main_window_pocket", "pocket"));

    // The four holes, drilled: each marked where the drill goes down.
    w->mnuViewAll->trigger();
    w->mnuDeselectAll->trigger();
    w->mnuAutoEmptyCircles->trigger();
    StrategyDialogFields drill = job;
    drill.RoughName = "Drill 3mm";
    drill.RoughDiameter = "3";
    w->frmDrill->setFields(drill);
    QVERIFY(Save(w->frmDrill, "drill_dialog", "drill_dialog"));
    w->frmDrill->hide();
    ClickWhenShown(w->frmDrill, w->frmDrill->cmdDrill);
    w->mnuDrill->trigger();
    QCOMPARE(ToolpathCount(w->doc().Toolpaths), 4);
    QVERIFY(Save(w.get(), "main_window_drill", "drill"));

    w->frmOptions->Fill();
    QVERIFY(Save(w->frmOptions, "options_dialog", "options_dialog"));
    w->frmOptions->hide();

    QVERIFY(Save(w->frmAbout1, "about_box"));
    w->frmAbout1->hide();
    TfrmSplash splash;
    QVERIFY(Save(&splash, "splash"));
    splash.close();

    w->mnuViewAll->trigger();
    w->SetMachiningOrder1->trigger();
    QVERIFY(Save(w->frmOrder, "machining_order_window"));
    w->frmOrder->hide();
  }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
