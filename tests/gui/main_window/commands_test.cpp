// The main window's commands as a user drives them: opening and closing a
// drawing, the selection commands and their status texts, Escape during a
// long command, commands refused while one runs, the status bar, the
// machining order window and leaving the program.
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>

#include "order_window.h"
#include "view/vector_display.h"
#include "selection/region_selection.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

int SelectedCount(const Document& doc) {
  int n = 0;
  for (size_t i = 1; i < doc.Regions.size(); ++i) n += doc.Regions[i].Selected ? 1 : 0;
  return n;
}

// Index of the Region whose box starts at (x, y).
int RegionAt(const Document& doc, double x, double y) {
  for (size_t i = 1; i < doc.Regions.size(); ++i)
    if (std::abs(doc.Regions[i].MinX - x) < 1e-6 && std::abs(doc.Regions[i].MinY - y) < 1e-6)
      return static_cast<int>(i);
  return 0;
}

// Many small closed squares in a row: enough Regions for the long
// commands to let events through between them.
Dxf ManySquares(int n) {
  Dxf d;
  for (int i = 0; i < n; ++i) d.Square(i * 20.0, 0, 10);
  return d;
}

}  // namespace

class CommandsTest : public QObject {
  Q_OBJECT
 private slots:
  void openingADrawingShowsItsRegionsAndEnablesTheirCommands() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    QString filterSeen;
    w->OpenFileDialog = [&](const QString& filter) {
      filterSeen = filter;
      return f.Write("squares.dxf", NestedSquares().Text());
    };
    w->mnuOpenDxf->trigger();
    QCOMPARE(filterSeen, QString("DXF or STL Files (*.DXF *.dxf *.STL *.stl);;"
                                 "DXF Files (*.DXF *.dxf);;STL Files (*.STL *.stl)"));
    QCOMPARE(Panel(*w, 0), QString("4 Regions Created... 1 Open"));
    QCOMPARE(w->doc().Regions.size(), size_t{5});
    QCOMPARE(w->doc().FileName, std::string("squares"));
    QVERIFY(!w->doc().Busy);
    QVERIFY(w->mnuClose->isEnabled());
    QVERIFY(w->mnuSelect1->menuAction()->isEnabled());
    QVERIFY(w->mnuEdit->menuAction()->isEnabled());
    QVERIFY(w->SetMachiningOrder1->isEnabled());
    QVERIFY(w->mnuView->menuAction()->isEnabled());
    QVERIFY(w->mnuZoomAll->isEnabled());
    QVERIFY(w->mnuViewAll->isChecked());
    QVERIFY(w->ContextMenuAllowed());
    // Nothing is selected yet, whatever the menu bar went through meanwhile.
    QVERIFY(!w->mnuToolPaths->menuAction()->isEnabled());
    QVERIFY(!w->ToolButton14->isEnabled());
    QVERIFY(!w->CommandRunning());
    QVERIFY(w->menuBar()->isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void cancellingTheOpenDialogChangesNothing() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    const QString before = Panel(*w, 0);
    w->OpenFileDialog = [](const QString&) { return QString(); };
    w->mnuOpenDxf->trigger();
    QCOMPARE(Panel(*w, 0), before);
    QCOMPARE(w->doc().Regions.size(), size_t{5});
  }

  void anUnreadableStlFileLeavesTheDrawing() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    f.Open(*w, f.Write("model.stl", "solid x\nendsolid x\n"));
    QCOMPARE(f.messages.size(), size_t{1});
    QVERIFY(f.messages[0].Text.find("model.stl") != std::string::npos);
    QCOMPARE(w->doc().Regions.size(), size_t{5});  // the drawing stays
    QVERIFY(!w->doc().StlMode);
  }

  void aDrawingWithoutEntitiesTurnsTheViewCommandsOff() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    f.Open(*w, f.Write("empty.dxf", Dxf().Text()));
    QCOMPARE(Panel(*w, 0), QString("No Entities Loaded..."));
    QVERIFY(!w->mnuZoomAll->isEnabled());
    QVERIFY(!w->doc().Busy);
  }

  void selectAllClosedReportsBoundariesAndIslands() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    QVERIFY(!w->ToolButton14->isEnabled());
    w->mnuAutoAllClosed->trigger();
    // The open line counts with the boundaries but stays unselected.
    QCOMPARE(Panel(*w, 0), QString("3 Boundaries 1  Islands Selected"));
    const Document& doc = w->doc();
    const int outer = RegionAt(doc, 0, 0), middle = RegionAt(doc, 20, 20),
              inner = RegionAt(doc, 40, 40);
    QVERIFY(outer && middle && inner);
    QCOMPARE(doc.Regions[outer].Owner, 0);
    QCOMPARE(doc.Regions[middle].Owner, outer);
    QCOMPARE(doc.Regions[inner].Owner, 0);
    QCOMPARE(SelectedCount(doc), 3);
    QVERIFY(w->mnuViewSelected->isEnabled());
    QVERIFY(w->ToolButton14->isEnabled());
    QVERIFY(w->mnuToolPaths->menuAction()->isEnabled());
    QVERIFY(w->ToolButton16->isEnabled());  // contour
    QVERIFY(w->ToolButton18->isEnabled());  // drill
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Show selected: view mode 1, the number of selected Elements.
    w->mnuViewSelected->trigger();
    QCOMPARE(w->doc().ViewMode, 1);
    QVERIFY(w->mnuViewSelected->isChecked());
    QCOMPARE(Panel(*w, 2), QString("Select 12"));
    QVERIFY(!w->ContextMenuAllowed());

    // Deselecting everything takes the selection commands back and shows all.
    w->mnuDeselectAll->trigger();
    QCOMPARE(SelectedCount(w->doc()), 0);
    QVERIFY(!w->mnuViewSelected->isEnabled());
    QVERIFY(!w->ToolButton14->isEnabled());
    QVERIFY(!w->mnuToolPaths->menuAction()->isEnabled());
    QVERIFY(w->mnuViewAll->isChecked());
    QCOMPARE(Panel(*w, 0), QString("Ready..."));
  }

  void selectAllOpenWithNothingToSelectWarns() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    Dxf d;
    d.Square(0, 0, 10);
    f.Open(*w, f.Write("one.dxf", d.Text()));
    w->mnuAutoAllOpen->trigger();
    QVERIFY(f.SawMessage("選択されていません"));
    QVERIFY(!w->ToolButton14->isEnabled());
  }

  void showSelectedWithNothingSelectedKeepsTheView() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    w->mnuViewSelected->setEnabled(true);  // as if a stale button were pressed
    w->mnuViewSelected->trigger();
    QCOMPARE(w->doc().ViewMode, 0);
    QVERIFY(w->mnuViewAll->isChecked());
    QVERIFY(!w->mnuViewSelected->isChecked());
  }

  void clicksInThePickModesSelectRegions() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    const Document& doc = w->doc();
    const int inner = RegionAt(doc, 40, 40);
    w->doc().PickTolerance = 0.5;

    w->mnuAutoSingle->trigger();
    QCOMPARE(doc.PickMode, kPickSelectSingle);
    QCOMPARE(Panel(*w, 0), QString("Select Single Region..."));
    // A click off every Region changes nothing.
    w->ViewMouseDown({5, 50}, MouseButton::Left);
    QCOMPARE(SelectedCount(doc), 0);
    QVERIFY(!w->ToolButton14->isEnabled());
    // The right button does not select in this mode.
    w->ViewMouseDown({50, 40}, MouseButton::Right);
    QCOMPARE(SelectedCount(doc), 0);
    w->ViewMouseDown({50, 40.2}, MouseButton::Left);
    QVERIFY(doc.Regions[inner].Selected);
    QVERIFY(w->ToolButton14->isEnabled());
    QVERIFY(w->mnuViewSelected->isEnabled());
    QVERIFY(w->mnuToolPaths->menuAction()->isEnabled());
    QCOMPARE(doc.PickMode, kPickSelectSingle);  // stays for the next click

    w->mnuDeselectSingle->trigger();
    w->ViewMouseDown({50, 40}, MouseButton::Left);
    QVERIFY(!doc.Regions[inner].Selected);
    QVERIFY(!w->ToolButton14->isEnabled());

    // A selection window, corners in any order, ends the mode.
    w->mnuAutoWindow->trigger();
    QCOMPARE(doc.PickMode, kPickSelectWindow);
    w->ViewMouseUp(Box::FromMinMax(35, 35, 65, 65));
    QVERIFY(doc.Regions[inner].Selected);
    QCOMPARE(doc.PickMode, kPickNone);
    QCOMPARE(Panel(*w, 0), QString("Ready..."));
    QVERIFY(w->ToolButton14->isEnabled());

    // Escape forgets a pending pick.
    w->mnuAutoRegion->trigger();
    QCOMPARE(doc.PickMode, kPickSelectRegion);
    PressEscape(w.get());
    QCOMPARE(doc.PickMode, kPickNone);
    QVERIFY(doc.Cancel.stopped());
    w->mnuCancel->trigger();
    QVERIFY(!doc.Cancel.stopped());
    QCOMPARE(Panel(*w, 0), QString("Ready..."));
  }

  void theViewsMouseSelectsWhatIsUnderIt() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    const Document& doc = w->doc();
    const int inner = RegionAt(doc, 40, 40), middle = RegionAt(doc, 20, 20);
    QVERIFY(w->Draw3D->Scale() > 0);
    auto pixel = [&](double x, double y) { return w->Draw3D->DrawingToScreen(x, y).toPoint(); };

    // Moving over the drawing shows where the mouse is.
    QTest::mouseMove(w->Draw3D, pixel(50, 50));
    const Point2 at = w->Draw3D->ScreenToDrawing(pixel(50, 50));
    QCOMPARE(Panel(*w, 3), TVectorDisplay3D::PositionText(at));

    w->mnuAutoSingle->trigger();
    QTest::mouseClick(w->Draw3D, Qt::LeftButton, {}, pixel(50, 40));
    QVERIFY(doc.Regions[inner].Selected);
    QVERIFY(!doc.Regions[middle].Selected);
    QVERIFY(w->ToolButton14->isEnabled());

    // A window dragged around the middle square selects it, and the mode ends.
    w->mnuAutoWindow->trigger();
    QTest::mousePress(w->Draw3D, Qt::LeftButton, {}, pixel(15, 15));
    QTest::mouseMove(w->Draw3D, pixel(50, 50));
    QTest::mouseRelease(w->Draw3D, Qt::LeftButton, {}, pixel(85, 85));
    QVERIFY(doc.Regions[middle].Selected);
    QCOMPARE(doc.PickMode, kPickNone);

    // The right button opens the selection menu while all geometry is shown.
    QVERIFY(w->ContextMenuAllowed());
    // (The window system turns a right click into this event.)
    auto rightClick = [&](QPoint pos) {
      QContextMenuEvent menu(QContextMenuEvent::Mouse, pos, w->Draw3D->mapToGlobal(pos));
      QApplication::sendEvent(w->Draw3D, &menu);
    };
    rightClick(pixel(110, 50));
    QVERIFY(w->PopupMenu2->isVisible());
    w->PopupMenu2->close();
    w->mnuViewSelected->trigger();
    rightClick(pixel(110, 50));
    QVERIFY(!w->PopupMenu2->isVisible());
  }

  void theMousePositionShowsInPanelThree() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->ViewMouseMove({12.5, -3.25});
    QCOMPARE(Panel(*w, 3), QString("12.5000, -3.2500"));
  }

  void escapeWhileADrawingLoadsCancelsIt() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    DuringCommand escape(*w, [] { return true; }, [&] { PressEscape(w.get()); });
    f.Open(*w, f.Write("many.dxf", ManySquares(30).Text()));
    QVERIFY(escape.Done());
    QCOMPARE(Panel(*w, 0), QString("Operation Cancelled..."));
    QCOMPARE(w->doc().Regions.size(), size_t{5});  // the document as it was
    QVERIFY(!w->CommandRunning());
    QVERIFY(w->menuBar()->isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  void escapeStopsIslandDetection() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("many.dxf", ManySquares(200).Text()));
    QCOMPARE(w->doc().Regions.size(), size_t{201});
    // The user presses Escape once the detection is under way.
    DuringCommand escape(
        *w, [&] { return w->doc().PickMode == kPickSelectAllClosedRunning; },
        [&] { PressEscape(w.get()); });
    w->mnuAutoAllClosed->trigger();
    QVERIFY(escape.Done());
    QCOMPARE(Panel(*w, 0), QString("Process Cancelled..."));
    QCOMPARE(w->doc().PickMode, kPickNone);
    QVERIFY(SelectedCount(w->doc()) < 200);  // stopped part-way
    QVERIFY(!w->CommandRunning());
    QVERIFY(w->menuBar()->isEnabled() && w->ToolBar1->isEnabled());
  }

  void noCommandStartsWhileAnotherRuns() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("many.dxf", ManySquares(100).Text()));
    bool menusOff = false;
    int opened = 0;
    w->OpenFileDialog = [&opened](const QString&) {
      ++opened;
      return QString();
    };
    DuringCommand meddle(
        *w, [&] { return w->doc().PickMode == kPickSelectAllClosedRunning; },
        [&] {
          menusOff = !w->menuBar()->isEnabled() && !w->ToolBar1->isEnabled();
          // A click, a menu item, a tool button and a context-menu item.
          w->mnuDeselectAll->trigger();
          w->ToolButton1->click();
          w->DeSelectAll1->trigger();
          w->mnuAutoAllClosed->trigger();
          w->doc().PickTolerance = 1;
          w->ViewMouseDown({0, 5}, MouseButton::Left);
        });
    w->mnuAutoAllClosed->trigger();
    QVERIFY(meddle.Done());
    QVERIFY(menusOff);
    QCOMPARE(opened, 0);
    // The interrupted command ran to its end, undisturbed.
    QCOMPARE(SelectedCount(w->doc()), 100);
    QCOMPARE(Panel(*w, 0), QString("100 Boundaries 0  Islands Selected"));
    QVERIFY(w->menuBar()->isEnabled());
  }

  void closingTheWindowDuringACommandWaitsForIt() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("many.dxf", ManySquares(100).Text()));
    bool closedAtOnce = true;
    DuringCommand closing(
        *w, [&] { return w->doc().PickMode == kPickSelectAllClosedRunning; },
        [&] { closedAtOnce = w->close(); });
    w->mnuAutoAllClosed->trigger();
    QVERIFY(closing.Done());
    QVERIFY(!closedAtOnce);
    QCOMPARE(Panel(*w, 0), QString("Process Cancelled..."));
    QTRY_VERIFY(!w->isVisible());
  }

  void closeEmptiesTheDocument() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    w->mnuAutoAll->trigger();
    w->mnuClose->trigger();
    QCOMPARE(w->doc().Regions.size(), size_t{1});
    QCOMPARE(w->doc().Toolpaths.size(), size_t{1});
    QVERIFY(!w->mnuClose->isEnabled());
    QVERIFY(!w->mnuSelect1->menuAction()->isEnabled());
    QVERIFY(!w->mnuToolPaths->menuAction()->isEnabled());
    QVERIFY(!w->ToolButton14->isEnabled());
    QVERIFY(!w->mnuZoomAll->isEnabled());
    QVERIFY(w->mnuViewAll->isChecked());
    QVERIFY(!w->ContextMenuAllowed());
  }

  void panelWidthsFollowTheWindowWidth() {
    const auto widths = TStatusBar::PanelWidths(600);
    QCOMPARE(widths[0], 407);
    QCOMPARE(widths[1], 33);
    QCOMPARE(widths[2], 60);
    QCOMPARE(widths[3], 100);

    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->setWindowState(Qt::WindowNoState);
    w->resize(600, 400);
    QTRY_COMPARE(w->width(), 600);
    const int expected[] = {407, 33, 60, 100};
    int x = 0;
    for (int i = 0; i < kStatusPanelCount; ++i) {
      QCOMPARE(w->sbrBar->PanelWidth(i), expected[i]);
      QCOMPARE(w->sbrBar->Panel(i)->width(), expected[i]);
      QCOMPARE(w->sbrBar->Panel(i)->x(), x);
      x += expected[i];
    }
    w->resize(900, 400);
    QTRY_COMPARE(w->width(), 900);
    QCOMPARE(w->sbrBar->Panel(3)->width(), 150);
    QCOMPARE(w->sbrBar->Panel(0)->width(), 900 - 150 - 90 - 50);
  }

  void theMachiningOrderWindowSetsTheOrderByClicks() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    Document& doc = w->doc();
    doc.PickTolerance = 0.5;
    w->mnuAutoAll->trigger();

    w->SetMachiningOrder1->trigger();
    TfrmOrder* order = w->frmOrder;
    QVERIFY(order->isVisible());
    QCOMPARE(order->windowTitle(), QString("加工順"));
    QCOMPARE(order->Label1->text(), QString("Start At (1 - 4)"));
    QCOMPARE(order->Edit1->maximum(), 4);
    QCOMPARE(order->Edit1->value(), 1);
    QCOMPARE(SelectedCount(doc), 0);  // the selection is cleared
    QVERIFY(w->mnuInfo->isChecked());  // Region numbers shown
    QCOMPARE(doc.PickMode, kPickMachiningOrder);
    QCOMPARE(Panel(*w, 0), QString("Click on regions in sequence..."));

    // Put the inner square first and the open line second.
    const TTNRegion inner = doc.Regions[static_cast<size_t>(RegionAt(doc, 40, 40))];
    w->ViewMouseDown({50, 40}, MouseButton::Left);
    QCOMPARE(doc.Regions[1].MinX, inner.MinX);
    QCOMPARE(Panel(*w, 0), QString("Next sequence number is 2"));
    QCOMPARE(order->Edit1->value(), 2);
    w->ViewMouseDown({135, 0}, MouseButton::Right);  // any button
    QCOMPARE(doc.Regions[2].MinX, 120.0);

    // Going back to position 2 through the field, then on to the end.
    order->Edit1->setValue(1);
    QCOMPARE(doc.OrderCounter, 1);
    order->Edit1->setValue(3);
    QCOMPARE(doc.OrderCounter, 3);
    w->ViewMouseDown({0, 50}, MouseButton::Left);  // the outer square
    QCOMPARE(doc.Regions[3].MinX, 0.0);
    QCOMPARE(Panel(*w, 0), QString("Machining Order Set..."));

    // A space in the field closes the window.
    QTest::keyClick(order->Edit1, Qt::Key_Space);
    QVERIFY(!order->isVisible());
  }

  void exitWithToolpathsAsksFirst() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    // Toolpaths as a strategy leaves them.
    TTNOutRegion path;
    path.Elements.push_back(TTNEntity{});
    w->doc().Toolpaths.push_back(path);
    w->CheckForToolpaths();
    QVERIFY(w->mnuSaveToolpaths->isEnabled());

    f.answers = {MsgResult::Cancel};
    w->mnuExit->trigger();
    QVERIFY(w->isVisible());
    QCOMPARE(f.messages.back().Text, std::string("Save toolpaths before exiting?"));
    QCOMPARE(f.messages.back().Buttons, MsgButtons::YesNoCancel);
    QCOMPARE(w->doc().Toolpaths.size(), size_t{2});  // intact
    QCOMPARE(w->doc().Regions.size(), size_t{5});

    // Yes, then the save dialog cancelled: still open, nothing lost.
    f.answers = {MsgResult::Yes};
    w->SaveFileDialog = [](const QString&, const QString&, const QString&) { return QString(); };
    w->mnuExit->trigger();
    QVERIFY(w->isVisible());

    f.answers = {MsgResult::No};
    w->mnuExit->trigger();
    QVERIFY(!w->isVisible());
  }

  void exitWithoutToolpathsAsksNothing() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->close();
    QVERIFY(!w->isVisible());
    QVERIFY(f.messages.empty());
  }

  void checkForToolpathsWithNoneDisablesSaving() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->CheckForToolpaths();
    QVERIFY(f.SawMessage("Toolpaths not Created.  Check Parameters."));
    QVERIFY(!w->mnuSaveToolpaths->isEnabled());
    QVERIFY(!w->ToolButton3->isEnabled());
  }

  void checkForSelectedWarnsWhenNothingIs() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    QVERIFY(!w->CheckForSelected());
    QVERIFY(f.SawMessage("選択されていません"));
    w->mnuAutoAllClosed->trigger();
    f.messages.clear();
    QVERIFY(w->CheckForSelected());
    QVERIFY(f.messages.empty());
  }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
