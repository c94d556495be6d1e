// STL models in the window: opening one through the open dialog, the
// menus it switches, the move window's Apply, the flip, the passes drawn
// with their count and limit, the prototype dialog's rules and OK, Close,
// and a picture of the shaded model saved for a look.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSet>
#include <QToolButton>
#include <cmath>

#include "dialogs/dialog_widgets.h"
#include "dialogs/prototype_dialog.h"
#include "dialogs/stl_move_dialog.h"
#include "shell/prototype_command.h"
#include "view/stl_picture.h"
#include "view/vector_display.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

// A square pyramid 10 x 10 at (5, 5), 4 high, as a text STL (4 sides and
// a base of two triangles).
std::string Pyramid() {
  const char* facets[][3] = {
      {"0 0 0", "10 0 0", "5 5 4"},  {"10 0 0", "10 10 0", "5 5 4"}, {"10 10 0", "0 10 0", "5 5 4"},
      {"0 10 0", "0 0 0", "5 5 4"},  {"0 0 0", "10 10 0", "10 0 0"}, {"0 0 0", "0 10 0", "10 10 0"}};
  std::string t = "solid pyramid\n";
  for (auto& f : facets) {
    t += "facet normal 0 0 1\nouter loop\n";
    for (const char* v : f) t += std::string("vertex ") + v + "\n";
    t += "endloop\nendfacet\n";
  }
  return t + "endsolid pyramid\n";
}

QString Type(QLineEdit* field, const QString& text) {
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClicks(field, text);
  return field->text();
}

}  // namespace

class StlTest : public QObject {
  Q_OBJECT
 private slots:
  void openingAModelSwitchesTheMenusAndShowsIt() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("squares.dxf", NestedSquares().Text()));
    QVERIFY(w->mnuEdit->menuAction()->isVisible());
    // The extension is taken in any case.
    f.Open(*w, f.Write("Pyramid.STL", Pyramid()));
    QVERIFY(f.messages.empty());
    const Document& doc = w->doc();
    QVERIFY(doc.StlMode);
    QCOMPARE(doc.Triangles.size(), size_t{6});
    QCOMPARE(doc.FileName, std::string("Pyramid"));
    QCOMPARE(doc.DrawingExtents.MaxZ, -doc.Options.Program.STLDepth);
    QVERIFY(w->mnuSTLEdit->menuAction()->isVisible());
    QVERIFY(!w->mnuEdit->menuAction()->isVisible());
    QVERIFY(w->MoveScaleandRotate1->isEnabled() && w->mnuFlipModel->isEnabled());
    // Only the prototype command cuts a model.
    QVERIFY(w->mnuPrototype->isEnabled() && w->ToolButton20->isEnabled());
    for (QAction* a : {w->mnuPocket, w->mnuContour, w->mnuDrill}) QVERIFY(!a->isEnabled());
    QVERIFY(!w->ToolButton17->isEnabled());
    QVERIFY(!w->mnuSelect1->isEnabled());
    QVERIFY(!w->ContextMenuAllowed());
    QVERIFY(w->mnuClose->isEnabled());
    QVERIFY(w->Is3DMode());
    QCOMPARE(Panel(*w, 0), QString("Ready..."));
    QCOMPARE(Panel(*w, 1), QString("3D"));
    QCOMPARE(Panel(*w, 2), QString("Tris 6"));
    QCOMPARE(w->frmStl->txtMargin->text(), QString("0.0"));

    // The flip keeps the model in its box, vertices sorted by height.
    const DrawingExtentsRec before = doc.DrawingExtents;
    w->mnuFlipModel->trigger();
    for (const TTNTriangle& t : doc.Triangles) QVERIFY(t.V0.Z <= t.V1.Z && t.V1.Z <= t.V2.Z);
    QCOMPARE(doc.Triangles[0].V0.X, 5.0f);  // a side's apex went down...
    QCOMPARE(doc.Triangles[0].V0.Z, float(before.MinZ));
    QCOMPARE(doc.Triangles[4].MinZ, float(before.MaxZ));  // ...and the base up
    QCOMPARE(doc.DrawingExtents.MinZ, before.MinZ);

    // Close empties the model and gives the Edit menu back.
    w->mnuClose->trigger();
    QVERIFY(doc.Triangles.empty());
    QVERIFY(!doc.StlMode);
    QVERIFY(!w->mnuSTLEdit->menuAction()->isVisible());
    QVERIFY(!w->mnuPrototype->isEnabled());
  }

  void droppingOrNamingAModelOpensIt() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    w->OpenThroughMenu(f.Write("p.stl", Pyramid()));  // what a drop does
    QVERIFY(w->doc().StlMode);
    QCOMPARE(w->doc().Triangles.size(), size_t{6});
    w->mnuClose->trigger();
    w->OpenDrawing(f.Write("q.stl", Pyramid()));  // what "tarnak q.stl" does
    QVERIFY(w->doc().StlMode);
  }

  void theMoveWindowAppliesANewTop() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("p.stl", Pyramid()));
    w->MoveScaleandRotate1->trigger();
    TfrmSTLMove* m = w->frmSTLMove;
    QVERIFY(m->isVisible());
    QCOMPARE(m->lblTop->text(), QString("0.000"));
    QCOMPARE(m->lblCenterX->text(), QString("5.000"));
    QCOMPARE(m->txtScale->text(), QString("0.000"));
    Type(m->txtZ, "-2");
    QTest::mouseClick(m->btnApply, Qt::LeftButton);
    const DrawingExtentsRec& e = w->doc().DrawingExtents;
    QCOMPARE(e.MaxZ, -2.0);
    QCOMPARE(e.MinZ, -6.0);
    QCOMPARE(e.MinX, 0.0);
    QCOMPARE(e.MidZ, -4.0 - 2.0);  // the middle plus the top
    QCOMPARE(w->doc().MachiningParams.Z1, -6.0);
    QCOMPARE(m->lblTop->text(), QString("-2.000"));
    // Scale 2 about the origin and a quarter turn about Z, then the corner
    // back to (1, 1): the box is 20 x 20 from (1, 1), 8 high.
    Type(m->txtX, "1");
    Type(m->txtY, "1");
    Type(m->txtScale, "2");
    Type(m->txtRotation, "90");
    QTest::mouseClick(m->btnApply, Qt::LeftButton);
    QCOMPARE(e.MinX, 1.0);
    QVERIFY(std::abs(e.MaxX - 21.0) < 1e-4 && std::abs(e.MaxY - 21.0) < 1e-4);
    QVERIFY(std::abs(e.MinZ - (e.MaxZ - 8.0)) < 1e-4);
    QCOMPARE(m->txtScale->text(), QString("0.000"));
    QTest::mouseClick(m->btnCancel, Qt::LeftButton);
    QVERIFY(!m->isVisible());
  }

  void thePassesAreDrawnAndCountedPastTheLimit() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("p.stl", Pyramid()));
    Document& doc = w->doc();
    const QImage model = w->Draw3D->Frame().copy();
    // One zigzag pass over the pyramid, and one far beyond the limit.
    TTNOutRegion3D pass;
    pass.Colour = static_cast<int32_t>(MakeColour(255, 0, 0));
    for (int row = 0; row <= 10; ++row)
      for (int k = 0; k <= 10; ++k) {
        const float x = static_cast<float>(row % 2 == 0 ? k : 10 - k);
        pass.Points.push_back({kPoint3DCut, x, static_cast<float>(row), -1.0f});
      }
    doc.Toolpaths3D.push_back(pass);
    w->CheckForToolpaths();
    QCOMPARE(doc.ViewMode, 3);
    QCOMPARE(Panel(*w, 2), QString("Tool 121"));
    QVERIFY(w->mnuSaveToolpaths->isEnabled());
    QVERIFY(w->Draw3D->Frame() != model);
    bool red = false;
    const QImage& frame = w->Draw3D->Frame();
    for (int y = 0; y < frame.height() && !red; ++y)
      for (int x = 0; x < frame.width() && !red; ++x) red = frame.pixel(x, y) == qRgb(255, 0, 0);
    QVERIFY(red);

    TTNOutRegion3D big;
    big.Points.assign(250000, TTNPoint3D{kPoint3DCut, 1.0f, 1.0f, -1.0f});
    doc.Toolpaths3D.push_back(big);
    w->DrawGeometry();
    QCOMPARE(Panel(*w, 2), QString("Tool 250121"));
  }

  void thePrototypeDialogFollowsItsRules() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    f.Open(*w, f.Write("p.stl", Pyramid()));
    TfrmStl* d = w->frmStl;
    w->doc().Options.Program.StlOverlap = 0.1;
    Type(d->txtRoughDia, "6");
    QCOMPARE(d->txtRoughX->text(), QString("0.6000"));
    QCOMPARE(d->txtRoughY->text(), QString("0.6000"));
    QCOMPARE(d->txtFinishDia->text(), QString("6"));
    QCOMPARE(d->txtStock->text(), QString("1.50"));
    // Only a V cutter has an angle.
    d->rgRoughToolType->item(2)->click();
    QVERIFY(d->txtRoughAngle->isEnabled());
    Type(d->txtRoughAngle, "90");
    d->rgRoughToolType->item(1)->click();
    QVERIFY(!d->txtRoughAngle->isEnabled());
    QCOMPARE(d->txtRoughAngle->text(), QString("0"));
    // "なし" switches the finish tool off.
    QCOMPARE(d->rgFinishDir->item(2)->text(), QString("なし"));
    d->rgFinishDir->item(2)->click();
    for (QWidget* c : std::initializer_list<QWidget*>{d->Combo3, d->txtFinishDia, d->txtFinishX,
                                                      d->txtFinishZ, d->txtFinishFeed,
                                                      d->rgFinishToolType, d->txtFinishAngle})
      QVERIFY(!c->isEnabled());
    // The margin sets the stock box around the model.
    Type(d->txtMargin, "2");
    QCOMPARE(d->txtX12->text(), QString("-2.00"));
    QCOMPARE(d->txtY22->text(), QString("12.00"));

    Type(d->txtRoughZ, "1");
    Type(d->txtRoughFeed, "100");
    Type(d->txtRoughPlunge, "50");
    Type(d->txtRoughName, "Ball 6");
    d->rgFinishDir->item(0)->click();
    QVERIFY(d->txtFinishDia->isEnabled());
    d->rgFinishDir->item(2)->click();
    // OK fills the parameters; the finishing direction "なし" is 0.
    int runs = 0;
    QTimer::singleShot(0, d, [&] {
      if (!d->isVisible()) return;
      ++runs;
      // The stock box was shown from the parameters, margin 0.
      QCOMPARE(d->txtX12->text(), QString("0.00"));
      Type(d->txtMargin, "1");
      d->btnMachine2->click();
    });
    w->mnuPrototype->trigger();
    QCOMPARE(runs, 1);
    const TTNMachiningParameters& p = w->doc().MachiningParams;
    QCOMPARE(p.Rough.Radius, 3.0);
    QCOMPARE(p.Rough.ToolType, int32_t{kToolBall});
    QCOMPARE(p.Rough.CutDirection, 1);
    QCOMPARE(p.Finish.CutDirection, 0);
    QCOMPARE(p.X1, -1.0);
    QCOMPARE(w->doc().PickMode, kPickNone);
    // Either passes are shown, or the message says none were made.
    QVERIFY(w->doc().ViewMode == 3 || f.SawMessage("Toolpaths not Created.  Check Parameters."));

    // OK kept the dialog as the preset "LAST", which the next start loads.
    TfrmStl again(w->doc(), f.folders().Settings);
    QCOMPARE(again.txtRoughDia->text(), QString("6"));
    QCOMPARE(again.rgRoughToolType->itemIndex(), int{kToolBall});
    QCOMPARE(again.txtRoughName->text(), QString("Ball 6"));
    // A named preset: saved, listed, loaded back over other values.
    again.SaveConfig("Relief");
    QVERIFY(f.SawMessage("Configuration Relief saved"));
    QVERIFY(again.cmbConfig->findText("Relief") >= 0);
    Type(again.txtRoughDia, "3");
    again.LoadConfig("Relief");
    QCOMPARE(again.txtRoughDia->text(), QString("6"));
  }

  void theShadedModelLooksLikeOne() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->resize(900, 700);
    w->show();
    const QString bunny = QString(TARNAK_CORPUS_DIR) + "/stl/stl-models_bunny_binary_69k.stl";
    f.Open(*w, bunny);
    QVERIFY(w->doc().StlMode);
    QCOMPARE(Panel(*w, 2), QString("Tris %1").arg(w->doc().Triangles.size()));
    const QImage& frame = w->Draw3D->Frame();
    QVERIFY(frame.save(QString(TARNAK_BINARY_DIR) + "/stl_model.png", "PNG"));
    // Shaded: many tones of the model's colour over a good part of the view.
    const QRgb back = frame.pixel(0, 0);
    QSet<QRgb> tones;
    long long covered = 0;
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x) {
        const QRgb c = frame.pixel(x, y);
        if (c == back) continue;
        ++covered;
        tones.insert(c);
      }
    QVERIFY2(covered > frame.width() * frame.height() / 10, "the model covers too little");
    QVERIFY2(tones.size() > 50, "the model is not shaded");
    // A redraw with nothing changed gives the same picture.
    const QImage first = frame.copy();
    w->DrawGeometry();
    QCOMPARE(w->Draw3D->Frame(), first);
  }
};

QTEST_MAIN(StlTest)
#include "stl_test.moc"
