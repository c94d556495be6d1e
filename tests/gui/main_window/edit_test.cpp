// The Edit menu from the window: a command run from its menu item, and the
// move/scale/rotate window acting on the selection of the moment while it
// stays open.
#include <QLineEdit>
#include <QPushButton>

#include "edit_windows.h"
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
};

QTEST_MAIN(EditTest)
#include "edit_test.moc"
