// The add-text window: linear and arc text added by "Enter Below", the
// refusal of an empty text, "By Point" clicks, Esc hiding the window, and
// a single-stroke face chosen from the list beside the font field.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "text_window.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

class TextWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void enterBelowAddsLinearAndArcText() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->Add1->trigger();
    TfrmText1* t = w->frmText1;
    QVERIFY(t->isVisible());
    QCOMPARE(t->windowTitle(), QString("True Type Fonts"));
    QCOMPARE(static_cast<int>(w->doc().PickMode), kPickTextByPoint);
    t->optAlignmentEnter->setChecked(true);
    QCOMPARE(static_cast<int>(w->doc().PickMode), kPickTextEnterBelow);
    QVERIFY(t->txtBoundBoxX->isEnabled());

    t->txtFont->setText("DejaVu Sans");
    t->txtBoundBoxX->setText("10");
    t->txtBoundBoxY->setText("20");
    t->txtHeight->setText("5");
    t->Text1->setText("AB");
    QTest::mouseClick(t->btnAddText, Qt::LeftButton);
    const size_t linear = w->doc().Regions.size() - 1;
    QCOMPARE(linear, size_t{5});  // A: 2 contours, B: 3
    QVERIFY(w->doc().Regions[1].MinX >= 10.0);
    QVERIFY(w->mnuClose->isEnabled());

    t->optArc->setChecked(true);
    QVERIFY(t->txtRad->isEnabled());
    t->txtRad->setText("0");
    QTest::mouseClick(t->btnAddText, Qt::LeftButton);
    QVERIFY(f.SawMessage("Radius can not be 0!"));
    t->txtRad->setText("30");
    QTest::mouseClick(t->btnAddText, Qt::LeftButton);
    QCOMPARE(w->doc().Regions.size() - 1, 2 * linear);
    // The arc text stands on the top of the circle about (10, 20).
    QVERIFY(w->doc().Regions.back().MinY > 20.0 + 25.0);

    t->Text1->clear();
    QTest::mouseClick(t->btnAddText, Qt::LeftButton);
    QVERIFY(f.SawMessage("No Text to convert!"));
    QCOMPARE(w->doc().Regions.size() - 1, 2 * linear);

    QTest::keyClick(t, Qt::Key_Escape);
    QVERIFY(!t->isVisible());
    QCOMPARE(static_cast<int>(w->doc().PickMode), 0);
  }

  void byPointTakesThePointerAndAddsOnClick() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->Add1->trigger();
    TfrmText1* t = w->frmText1;
    t->txtFont->setText("DejaVu Sans");
    t->Text1->setText("I");
    w->ViewMouseMove(Point2{3.5, -2.0});
    QCOMPARE(t->txtBoundBoxX->text(), QString("3.5000"));
    QCOMPARE(t->txtBoundBoxY->text(), QString("-2.0000"));
    w->ViewMouseDown(Point2{7.0, 1.0}, MouseButton::Left);
    QCOMPARE(w->doc().Regions.size(), size_t{2});
    QVERIFY(w->doc().Regions[1].MinX > 7.0);
  }

  void aHersheyFaceFromTheListGivesOpenStrokes() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->Add1->trigger();
    TfrmText1* t = w->frmText1;
    const int at = t->cboHershey->findText("Hershey Roman Simplex");
    QVERIFY(at > 0);
    emit t->cboHershey->activated(at);
    QCOMPARE(t->txtFont->text(), QString("Hershey Roman Simplex"));
    t->optAlignmentEnter->setChecked(true);
    t->Text1->setText("L");
    QTest::mouseClick(t->btnAddText, Qt::LeftButton);
    QVERIFY(w->doc().Regions.size() > 1);
    for (size_t i = 1; i < w->doc().Regions.size(); ++i) QVERIFY(w->doc().Regions[i].Open);
  }
};

QTEST_MAIN(TextWindowTest)
#include "text_window_test.moc"
