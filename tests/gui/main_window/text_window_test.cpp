// The add-text window: linear and arc text added by "Enter Below", the
// refusal of an empty text, "By Point" clicks, Esc hiding the window, a
// single-stroke face chosen from the list beside the font field, and the
// preview box in the view following the fields.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "text_window.h"
#include "view/vector_display.h"
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

  // The box must hold the text that Add then makes, wherever the alignment
  // puts it, and it must be on the screen where the drawing says.
  void previewBoxShowsWhereTheTextWillGo() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    Dxf d;
    d.Square(0, 0, 100);
    f.Open(*w, f.Write("d.dxf", d.Text()));
    w->Add1->trigger();
    TfrmText1* t = w->frmText1;
    TVectorDisplay3D* view = w->Draw3D;
    t->optAlignmentEnter->setChecked(true);
    t->txtFont->setText("DejaVu Sans");
    t->txtBoundBoxX->setText("50");
    t->txtBoundBoxY->setText("20");
    t->txtHeight->setText("10");
    QVERIFY(!view->TextPreview());  // no text yet
    t->Text1->setText("Wavy");
    const double h = 10.0;
    for (QRadioButton* align : {t->optLeft, t->optCent, t->optRight}) {
      align->setChecked(true);
      QVERIFY(view->TextPreview());
      const Box box = *view->TextPreview();
      QCOMPARE(box.MinY, 20.0);
      QCOMPARE(box.MaxY, 30.0);
      const double origin = align == t->optLeft ? box.MinX : align == t->optCent ? (box.MinX + box.MaxX) / 2 : box.MaxX;
      QVERIFY(std::abs(origin - 50.0) < 1e-9);
      const size_t before = w->doc().Regions.size();
      QTest::mouseClick(t->btnAddText, Qt::LeftButton);
      QVERIFY(w->doc().Regions.size() > before);
      // Glyphs may overhang their advance a little, never by a tenth of
      // the height; descenders may go below the base line.
      for (size_t i = before; i < w->doc().Regions.size(); ++i) {
        const TTNRegion& r = w->doc().Regions[i];
        QVERIFY(r.MinX > box.MinX - 0.1 * h && r.MaxX < box.MaxX + 0.1 * h);
        QVERIFY(r.MaxY < box.MaxY + 0.1 * h && r.MinY > box.MinY - 0.3 * h);
      }
    }
    // Drawn over the picture, in the inverse of the background, on the
    // middle of its top edge.
    view->repaint();
    const Box box = *view->TextPreview();
    const QImage shot = view->grab().toImage();
    const QPoint top = view->DrawingToScreen((box.MinX + box.MaxX) / 2, box.MaxY).toPoint();
    bool drawn = false;
    for (int dy = -1; dy <= 1; ++dy)
      drawn = drawn || shot.pixelColor(top + QPoint(0, dy)) != shot.pixelColor(top + QPoint(0, 12));
    QVERIFY(drawn);

    // The arc layout's square is centred on the circle's centre.
    t->optArc->setChecked(true);
    t->txtRad->setText("30");
    const Box arc = *view->TextPreview();
    QCOMPARE(arc.MaxX - arc.MinX, 2 * 30.0 + 2 * h);
    QCOMPARE((arc.MinX + arc.MaxX) / 2, 50.0);
    QCOMPARE((arc.MinY + arc.MaxY) / 2, 20.0);
    // An emptied field takes it away, and hiding the window too.
    t->txtHeight->clear();
    QVERIFY(!view->TextPreview());
    t->txtHeight->setText("10");
    QVERIFY(view->TextPreview());
    t->hide();
    QVERIFY(!view->TextPreview());
  }
};

QTEST_MAIN(TextWindowTest)
#include "text_window_test.moc"
