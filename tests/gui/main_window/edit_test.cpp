// The Edit menu from the window: every command run from its menu item on a
// drawing, the move/scale/rotate and depth windows acting on the selection
// of the moment while they stay open; the wall window with and without a
// profile library.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cmath>

#include "edit_windows.h"
#include "geometry/primitives.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

class EditTest : public QObject {
  Q_OBJECT
 private slots:
  void combineFromItsMenu() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    Dxf d;
    d.Square(0, 0, 10).Square(5, 5, 10).Square(40, 0, 10);
    f.Open(*w, f.Write("d.dxf", d.Text()));
    w->CombineSelectedRegions1->trigger();
    QVERIFY(f.SawMessage("選択されていません"));
    w->mnuAutoAllClosed->trigger();
    QVERIFY(w->CombineSelectedRegions1->isEnabled());
    w->CombineSelectedRegions1->trigger();
    QCOMPARE(w->doc().Regions.size(), size_t{3});
    QCOMPARE(Panel(*w, 0), QString("2 regions created from 3 original regions"));
  }

  // Reverse, first Element, explode, join and delete, each from its menu,
  // on a square of four lines and an open zigzag.
  void eachEditCommandFromItsMenu() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    Dxf d;
    d.Square(0, 0, 10).Line(20, 0, 25, 5).Line(25, 5, 30, 0);
    f.Open(*w, f.Write("d.dxf", d.Text()));
    TTNRegionArray& regions = w->doc().Regions;
    QCOMPARE(regions.size(), size_t{3});
    auto square = [&]() -> TTNRegion& { return regions[1].Open ? regions[2] : regions[1]; };
    auto selectOnly = [&](TTNRegion* r) {
      for (TTNRegion& x : regions) x.Selected = 0;
      if (r) r->Selected = 1;
    };
    auto at = [](const TTNEntity& e, bool end) { return end ? ElementEnd(e) : ElementStart(e); };

    // Reverse: the first Element now starts where the last one ended.
    selectOnly(&square());
    const Point2 lastEnd = at(square().Elements.back(), true);
    w->mnuReverseDirLoop->trigger();
    const Point2 firstStart = at(square().Elements.front(), false);
    QVERIFY(std::hypot(firstStart.X - lastEnd.X, firstStart.Y - lastEnd.Y) < 1e-9);

    // First Element: a click near the middle of the top side makes it the
    // first, with the direction marks switched on.
    w->mnuChangeFirstEntity->trigger();
    QCOMPARE(static_cast<int>(w->doc().PickMode), 8);
    QVERIFY(w->mnuShowDirs->isChecked());
    w->ViewMouseDown(Point2{5.0, 10.2}, MouseButton::Left);
    const TTNEntity& first = square().Elements.front();
    QCOMPARE(at(first, false).Y, 10.0);
    QCOMPARE(at(first, true).Y, 10.0);

    // Explode then join: four one-line Regions, then one closed square.
    selectOnly(&square());
    w->mnuExplode->trigger();
    QCOMPARE(regions.size(), size_t{6});
    QCOMPARE(Panel(*w, 0), QString("3 New Regions Created"));
    for (TTNRegion& r : regions) r.Selected = 1;
    regions[0].Selected = 0;
    w->mnuJoin->trigger();
    QCOMPARE(regions.size(), size_t{3});
    QVERIFY(!square().Open);
    QCOMPARE(square().Elements.size(), size_t{4});

    // Delete the zigzag: Cancel keeps it, OK removes it.
    TTNRegion* zigzag = regions[1].Open ? &regions[1] : &regions[2];
    selectOnly(zigzag);
    f.answers = {MsgResult::Cancel};
    w->mnuDeleteOpens->trigger();
    QVERIFY(f.SawMessage("Deleting Regions Can Not Be Undone.  Are You Sure"));
    QCOMPARE(regions.size(), size_t{3});
    f.answers = {MsgResult::Ok};
    w->mnuDeleteOpens->trigger();
    QCOMPARE(regions.size(), size_t{2});
    QVERIFY(!regions[1].Open);
  }

  void depthWindowActsOnTheSelectionOfTheMoment() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    Dxf d;
    d.Square(0, 0, 10).Square(40, 0, 10);
    f.Open(*w, f.Write("d.dxf", d.Text()));
    TTNRegionArray& regions = w->doc().Regions;
    regions[1].Selected = 1;
    w->AddDepths1->trigger();
    TfrmAddDepths* a = w->frmAddDepths;
    QVERIFY(a->isVisible());
    QVERIFY(a->windowFlags() & Qt::WindowStaysOnTopHint);
    a->optBoundaries->setChecked(true);
    a->Edit1->setText("2");
    a->Button1->click();
    QCOMPARE(static_cast<double>(regions[1].Depth), 2.0);
    // Still open, the selection moves to the other square.
    regions[1].Selected = 0;
    regions[2].Selected = 1;
    a->Edit1->setText("6");
    a->Button1->click();
    QCOMPARE(static_cast<double>(regions[1].Depth), 2.0);
    QCOMPARE(static_cast<double>(regions[2].Depth), 6.0);
    // A single Region by number, selected or not; one out of range is left.
    a->optSingle->setChecked(true);
    QVERIFY(a->Edit2->isEnabled());
    a->Edit2->setText("1");
    a->Edit1->setText("4");
    a->Button1->click();
    QCOMPARE(static_cast<double>(regions[1].Depth), 4.0);
    a->Edit2->setText("9");
    a->Button1->click();
    QCOMPARE(regions.size(), size_t{3});
  }

  void moveWindowActsOnTheSelectionOfTheMoment() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    Dxf d;
    d.Square(0, 0, 10).Square(40, 0, 10);
    f.Open(*w, f.Write("d.dxf", d.Text()));
    w->mnuAutoAllClosed->trigger();
    w->ScaleSelected1->trigger();
    TfrmMove1* m = w->frmMove1;
    QVERIFY(m->isVisible());
    QVERIFY(m->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(m->windowTitle(), QString("図形編集 "));
    QCOMPARE(m->txtUpperRightX->text(), QString("50.0000"));
    // Scale 2 with the position unchanged: double size, lower-left kept.
    m->txtSCale->setText("2");
    m->btnApply->click();
    QCOMPARE(m->txtUpperRightX->text(), QString("100.0000"));
    QCOMPARE(m->txtLowerLeftX->text(), QString("0.0000"));
    // The window stays open while the selection changes: the next Apply
    // moves only what is selected then.
    w->mnuDeselectAll->trigger();
    TTNRegion& second = w->doc().Regions[2].MinX > 1 ? w->doc().Regions[2] : w->doc().Regions[1];
    second.Selected = 1;
    m->FormShow();
    m->txtSCale->setText("0");
    m->txtX->setText("200");
    m->btnApply->click();
    QCOMPARE(second.MinX, 200.0);
    QCOMPARE(m->txtLowerLeftX->text(), QString("200.0000"));
    m->btnCancel->click();
    QVERIFY(!m->isVisible());
  }

  void wallWindowAssignsAProfileFromTheLibraryOfTheCurrentFolder() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    Dxf d;
    d.Square(0, 0, 10);
    f.Open(*w, f.Write("d.dxf", d.Text()));
    const QString before = QDir::currentPath();
    QDir::setCurrent(f.Path(""));
    // No "Profiles.DXF" yet: the window opens with no profile to offer.
    w->AddWalls1->trigger();
    TfrmAddWalls* a = w->frmAddWalls;
    QVERIFY(a->isVisible());
    QCOMPARE(a->windowTitle(), QString("Add Walls"));
    QCOMPARE(a->cmbProfile->count(), 0);
    a->txtDeltaX->setText("0");
    a->Button1->click();
    QVERIFY(f.SawMessage("Delta value should be greater than 0."));
    a->txtDeltaX->setText("2");
    a->Button1->click();
    QVERIFY(f.SawMessage("No Profile Selected"));

    Dxf profile;
    profile.Line(0, 0, 1, 1);
    f.Write("Profiles.DXF", profile.Text());
    a->Button2->click();
    w->AddWalls1->trigger();
    QDir::setCurrent(before);
    QCOMPARE(a->cmbProfile->count(), 1);
    a->cmbProfBound->setCurrentText("1");
    a->cmbProfile->setCurrentText("1");
    a->txtDeltaX->setText("2");
    a->Button1->click();
    QCOMPARE(w->doc().Regions[1].WallProfile, 1);
    QCOMPARE(static_cast<double>(w->doc().Regions[1].WallDelta), 2.0);

    // The Delta field's keys: "-" fills in the chosen Region's wall height,
    // Enter on a negative value the depth its wall reaches, a letter or a
    // backspace is dropped.
    Dxf nested;
    nested.Square(0, 0, 100).Square(20, 20, 60);
    f.Open(*w, f.Write("nested.dxf", nested.Text()));
    auto& regions = w->doc().Regions;
    QCOMPARE(regions.size(), size_t{3});
    // The nesting and depths as the depth window leaves them: the inner
    // square an island standing 3.25 over its Boundary's floor.
    const int boundary = regions[1].MinX < regions[2].MinX ? 1 : 2, island = 3 - boundary;
    TTNRegion& outer = regions[static_cast<size_t>(boundary)];
    TTNRegion& inner = regions[static_cast<size_t>(island)];
    outer.Parent = boundary;
    outer.Owner = 0;
    outer.Depth = 5.0;
    inner.Parent = boundary;
    inner.Owner = boundary;
    inner.Depth = 1.75;
    a->FormShow();
    a->cmbProfBound->setCurrentText(QString::number(island));
    a->txtDeltaX->setText("7");
    QTest::keyClick(a->txtDeltaX, Qt::Key_Minus);
    QCOMPARE(a->txtDeltaX->text(), QString("3.2500"));
    QTest::keyClicks(a->txtDeltaX, "a");
    QTest::keyClick(a->txtDeltaX, Qt::Key_Backspace);
    QCOMPARE(a->txtDeltaX->text(), QString("3.2500"));
    a->txtDeltaX->setText("-1");
    QTest::keyClick(a->txtDeltaX, Qt::Key_Return);
    QCOMPARE(a->txtDeltaX->text(), QString("5"));
    a->cmbProfBound->setCurrentText(QString::number(boundary));
    QTest::keyClick(a->txtDeltaX, Qt::Key_Minus);
    QCOMPARE(a->txtDeltaX->text(), QString("5"));
    a->txtDeltaX->clear();
    QTest::keyClicks(a->txtDeltaX, "1.5");
    QCOMPARE(a->txtDeltaX->text(), QString("1.5"));
  }
};

QTEST_MAIN(EditTest)
#include "edit_test.moc"
