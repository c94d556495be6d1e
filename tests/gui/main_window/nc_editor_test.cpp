// The NC editor pane as a user drives it: a program written by the
// program's own post opened through the File menu, the pane and the Run
// palette shown, stepping and drawing the moves, renumbering undone in one
// step, find and replace, the colouring by token kind, a conversion error,
// and Close.
#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QColor>
#include <QLineEdit>
#include <QImage>
#include <QPushButton>
#include <QSplitter>
#include <cmath>

#include "dialogs/strategy_dialogs.h"
#include "editor/editor_forms.h"
#include "editor/gcode_lexer.h"
#include "file_filter.h"
#include "import/nc/nc_reader.h"
#include "toolpaths/toolpath_model.h"
#include "view/vector_display.h"
#include "view/view_scene.h"
#include "window_fixture.h"

using namespace tarnak;
using namespace tarnak::gui;
using namespace tarnak::gui::testing;

namespace {

StrategyDialogFields ContourJob() {
  StrategyDialogFields j;
  j.Depth = "2";
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

// A plate with rounded pockets' worth of arcs (circles) and holes:
// contoured and drilled, saved by the window's post.
QString WriteProgram(WindowFixture& f, TfrmTarnak& w) {
  Dxf d;
  d.Square(0, 0, 100).Circle(30, 30, 10).Circle(70, 70, 3);
  f.Open(w, f.Write("plate.dxf", d.Text()));
  w.mnuAutoAllClosed->trigger();
  w.frmContour->setFields(ContourJob());
  ClickWhenShown(w.frmContour, w.frmContour->cmdContour);
  w.mnuContour->trigger();
  const QString out = f.Path("plate.nc");
  w.SaveFileDialog = [out](const QString&, const QString&, const QString&) { return out; };
  if (!w.SaveNcProgram()) return {};
  // The drawing and its toolpaths go, so that the view shows the program alone.
  w.mnuClose->trigger();
  return out;
}

void OpenNc(TfrmTarnak& w, const QString& path, QString* filter = nullptr) {
  w.OpenFileDialog = [path, filter](const QString& fl) {
    if (filter) *filter = fl;
    return path;
  };
  w.mnuOpenDnc->trigger();
}

int StyleAt(QsciScintilla* ed, int pos) {
  return static_cast<int>(ed->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, pos));
}

// Pixels of the view's last picture that have `colour` (0x00BBGGRR).
int PixelsOf(const QImage& frame, Colour colour) {
  const QRgb want = QColor(QRgb(ColourToRgb(colour))).rgb();
  int n = 0;
  for (int y = 0; y < frame.height(); ++y)
    for (int x = 0; x < frame.width(); ++x)
      if (frame.pixel(x, y) == want) ++n;
  return n;
}

}  // namespace

class NcEditorTest : public QObject {
  Q_OBJECT
 private slots:
  void aProgramOfTheOwnPostOpensStepsRenumbersAndCloses() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->resize(1000, 800);
    w->show();
    const QString program = WriteProgram(f, *w);
    QVERIFY(!program.isEmpty());
    QFile file(program);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();

    QVERIFY(!w->edDNC->isVisible());
    QCOMPARE(w->EditorText(), std::string("No File Loaded"));
    QString filter;
    OpenNc(*w, program, &filter);
    QVERIFY(filter.startsWith("DNC files ("));
    QVERIFY(filter.contains("*.dnc") && filter.contains("All files (*)"));

    // The text as it is in the file, the pane, the palette and the 3D view.
    QCOMPARE(QByteArray::fromStdString(w->EditorText()), bytes);
    QVERIFY(w->EditorShown());
    QVERIFY(w->edDNC->isVisible());
    QVERIFY(w->frmEdit->isVisible());
    QCOMPARE(w->frmEdit->windowTitle(), QString("Run"));
    QVERIFY(w->Is3DMode());
    QCOMPARE(Panel(*w, 2), QString("Lines %1").arg(w->edDNC->lines() - (bytes.endsWith('\n') ? 1 : 0)));
    const TTNEdEntityArray& moves = w->doc().NCMoves;
    const int count = static_cast<int>(moves.size()) - 1;
    // The reading of this post's own words gives the moves of reading the
    // file as standard G-code, move for move: line, kind and end point
    // (the standard reading also marks the tool change, which this post
    // writes with its T word, not an address letter).
    const NCReadResult standard = ReadNCStandard(bytes.toStdString());
    QVERIFY(count > 20);
    {
      std::vector<TTNEdEntity> others;
      for (std::size_t i = 1; i < standard.Moves.size(); ++i)
        if (standard.Moves[i].Kind != NCKind::ToolChange) others.push_back(standard.Moves[i]);
      QCOMPARE(static_cast<int>(others.size()), count);
      for (int i = 1; i <= count; ++i) {
        const TTNEdEntity& a = moves[static_cast<std::size_t>(i)];
        const TTNEdEntity& b = others[static_cast<std::size_t>(i - 1)];
        QCOMPARE(a.Line, b.Line);
        QCOMPARE(a.Kind, b.Kind);
        double ax = 0, ay = 0, bx = 0, by = 0;
        NCMoveEnd(a, ax, ay);
        NCMoveEnd(b, bx, by);
        QVERIFY(std::hypot(ax - bx, ay - by) < 1e-9);
        QVERIFY(std::fabs(a.Z2 - b.Z2) < 1e-9);
      }
    }
    bool arcs = false, rapids = false;
    for (int i = 1; i <= count; ++i) {
      arcs = arcs || IsNCArcKind(moves[static_cast<std::size_t>(i)].Kind);
      rapids = rapids || IsNCRapidKind(moves[static_cast<std::size_t>(i)].Kind);
    }
    QVERIFY(arcs && rapids);
    QVERIFY(w->mnuClose->isEnabled());
    QVERIFY(w->mnuSaveToolToDxf->isEnabled());
    // Zoom to all fits the program: its box lies inside the view.
    {
      const NCExtentsRec& e = w->doc().NCExtents;
      const QRectF inside = QRectF(w->Draw3D->rect()).adjusted(-1, -1, 1, 1);
      for (double x : {e.MinX, e.MaxX})
        for (double y : {e.MinY, e.MaxY})
          for (double z : {e.MinZ, e.MaxZ})
            QVERIFY(inside.contains(w->Draw3D->DrawingToScreen(x, y, z)));
    }
    // The whole program is drawn after the open: rapids dashed in their
    // colour, cuts and arcs in theirs.
    QCOMPARE(w->Draw3D->NCMovesDrawn(), static_cast<long long>(count));
    QVERIFY(PixelsOf(w->Draw3D->Frame(), kNCRapidColour) > 0);
    QVERIFY(PixelsOf(w->Draw3D->Frame(), kNCArcColour) > 0);

    // The DXF save of toolpaths writes the program's moves while the pane
    // is shown: one LINE or ARC per move that moves in the plane or in depth.
    {
      const QString dxf = f.Path("moves.dxf");
      w->SaveFileDialog = [dxf](const QString&, const QString&, const QString&) { return dxf; };
      w->mnuSaveToolToDxf->trigger();
      QFile out(dxf);
      QVERIFY(out.open(QIODevice::ReadOnly));
      const QByteArray d = out.readAll();
      QVERIFY(d.contains("\nARC\r\n") || d.contains("\nARC\n"));
      QVERIFY(d.contains("\nLINE\r\n") || d.contains("\nLINE\n"));
    }

    // "次" selects the line of the first move and draws it alone.
    w->frmEdit->btnNext->click();
    int l1 = -1, i1 = -1, l2 = -1, i2 = -1;
    w->edDNC->getSelection(&l1, &i1, &l2, &i2);
    QCOMPARE(l1, moves[1].Line);
    QCOMPARE(i1, 0);
    QCOMPARE(l2, moves[1].Line + 1);
    QCOMPARE(w->Draw3D->NCMovesDrawn(), 1LL);
    w->frmEdit->btnNext10->click();
    QCOMPARE(w->RunState().First, 2);
    QCOMPARE(w->RunState().Last, 11);
    QCOMPARE(w->Draw3D->NCMovesDrawn(), 10LL);
    // "Clear" draws nothing of the program: none of its colours is left.
    w->frmEdit->btnClear->click();
    QCOMPARE(w->Draw3D->NCMovesDrawn(), 0LL);
    QCOMPARE(PixelsOf(w->Draw3D->Frame(), kNCRapidColour), 0);
    QCOMPARE(PixelsOf(w->Draw3D->Frame(), kNCArcColour), 0);
    // "All" draws every move again.
    w->frmEdit->btnAll->click();
    QCOMPARE(w->Draw3D->NCMovesDrawn(), static_cast<long long>(count));
    QVERIFY(PixelsOf(w->Draw3D->Frame(), kNCArcColour) > 0);
    // "To Cursor" from the caret's line: moves up to the first at or after it.
    const int caret = moves[static_cast<std::size_t>(count / 2)].Line;
    w->edDNC->setCursorPosition(caret, 0);
    w->frmEdit->btnToCursor->click();
    QVERIFY(moves[static_cast<std::size_t>(w->RunState().Last)].Line >= caret);
    QVERIFY(moves[static_cast<std::size_t>(w->RunState().Last - 1)].Line < caret);
    QCOMPARE(w->Draw3D->NCMovesDrawn(), static_cast<long long>(w->RunState().Last));

    // Renumbering through the dialog, then one undo: the text exactly.
    const std::string before = w->EditorText();
    w->Renumber1->trigger();
    QVERIFY(w->frmReNumber->isVisible());
    QCOMPARE(w->frmReNumber->windowTitle(), QString("ReNumber"));
    w->frmReNumber->btnReNumber->click();
    const std::string renumbered = w->EditorText();
    QVERIFY(renumbered != before);
    QVERIFY(QString::fromStdString(renumbered).startsWith("N100 ") ||
            QString::fromStdString(renumbered).startsWith("("));
    QVERIFY(QString::fromStdString(renumbered).contains("\r\nN105 "));
    w->Undo1->trigger();
    QCOMPARE(w->EditorText(), before);
    // Remove after Add leaves the text as it was too.
    w->frmReNumber->btnAdd->click();
    w->frmReNumber->btnRemove->click();
    QCOMPARE(w->EditorText(), before);

    // Replace all: each occurrence asked about; "All" takes the rest
    // without asking. Every one counted, even where the replacement holds
    // what is searched for; one undo puts it back.
    const QString text = QString::fromStdString(before);
    w->ReplaceDialog1->txtFind->setText("X");
    w->ReplaceDialog1->txtReplace->setText("XX");
    w->ReplaceDialog1->chkMatchCase->setChecked(true);
    int asked = 0;
    QStringList shown;
    w->ReplacePrompt = [&](const QString& found) {
      shown << found;
      ++asked;
      return asked == 1 ? TfrmTarnak::ReplaceAnswer::No
                        : asked == 2 ? TfrmTarnak::ReplaceAnswer::Yes : TfrmTarnak::ReplaceAnswer::All;
    };
    QCOMPARE(w->ReplaceDialog1ReplaceAll(), static_cast<int>(text.count('X')) - 1);
    QCOMPARE(asked, 3);
    QCOMPARE(shown, QStringList({"X", "X", "X"}));
    w->edDNC->undo();
    QCOMPARE(w->EditorText(), before);
    w->ReplacePrompt = [](const QString&) { return TfrmTarnak::ReplaceAnswer::Yes; };
    QCOMPARE(w->ReplaceDialog1ReplaceAll(), static_cast<int>(text.count('X')));
    QCOMPARE(QString::fromStdString(w->EditorText()).count("XX"), static_cast<int>(text.count('X')));
    w->edDNC->undo();
    QCOMPARE(w->EditorText(), before);
    w->ReplaceDialog1->txtFind->setText("x");
    QCOMPARE(w->ReplaceDialog1ReplaceAll(), 0);  // match case: no lower-case x
    w->ReplaceDialog1->chkMatchCase->setChecked(false);
    w->ReplaceDialog1->txtFind->setText("nowhere in a program");
    w->edDNC->setCursorPosition(0, 0);
    QVERIFY(!w->ReplaceDialog1Find());
    QCOMPARE(w->EditorText(), before);
    // Find next, then replace: the found word and only it.
    w->ReplaceDialog1->txtFind->setText("G");
    w->ReplaceDialog1->txtReplace->setText("g");
    w->edDNC->setCursorPosition(0, 0);
    QVERIFY(w->ReplaceDialog1Find());
    QCOMPARE(w->edDNC->selectedText().toUpper(), QString("G"));
    QVERIFY(w->ReplaceDialog1Replace());
    QCOMPARE(QString::fromStdString(w->EditorText()).count('G'), static_cast<int>(text.count('G')) - 1);
    w->edDNC->undo();
    QCOMPARE(w->EditorText(), before);

    // "保存" writes the text under the name the user gives.
    const QString saved = f.Path("saved.nc");
    QString saveFilter, proposed;
    w->SaveFileDialog = [&](const QString& fl, const QString& name, const QString&) {
      saveFilter = fl;
      proposed = name;
      return saved;
    };
    w->frmEdit->btnSave->click();
    QVERIFY(saveFilter.startsWith(QString::fromStdString(w->doc().PostDefinition.Name) + " Files ("));
    QCOMPARE(proposed, program);
    QVERIFY(f.SawMessage("File Saved!"));
    QFile back(saved);
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), bytes);

    // "再読込" goes round through "Temp.dnc" beside the program: the same
    // text, the picture's box from the moves again, then as "Clear".
    w->frmEdit->btnAll->click();
    w->frmEdit->btnReload->click();
    QCOMPARE(w->EditorText(), before);
    QVERIFY(QFile::exists(f.Path("Temp.dnc")));
    QCOMPARE(w->Draw3D->NCMovesDrawn(), 0LL);
    QCOMPARE(w->RunState().Last, 0);

    // The font dialog offers fixed-pitch fonts; the choice is the pane's.
    QFont mono("DejaVu Sans Mono", 13);
    w->FontDialog = [mono](const QFont&) { return std::optional<QFont>(mono); };
    w->Font1->trigger();
    QCOMPARE(w->GCodeParser1->font(GCodeParser::StyleOf(GTokenKind::Number)).pointSize(), 13);
    QCOMPARE(w->GCodeParser1->font(GCodeParser::StyleOf(GTokenKind::Command)).bold(),
             w->GCodeParser1->Tokenizer().Styles()[static_cast<std::size_t>(GTokenKind::Command)].Bold);

    // Close: no moves, "No File Loaded" uncoloured, the pane and the
    // palette hidden, the 2D view.
    w->mnuClose->trigger();
    QCOMPARE(w->EditorText(), std::string("No File Loaded"));
    QVERIFY(!w->EditorShown());
    QVERIFY(!w->edDNC->isVisible());
    QVERIFY(!w->frmEdit->isVisible());
    QVERIFY(!w->Is3DMode());
    QCOMPARE(w->doc().NCMoves.size(), std::size_t{1});
    QVERIFY(w->edDNC->lexer() == nullptr);
    QCOMPARE(w->Draw3D->NCMovesDrawn(), 0LL);
  }

  void theColouringFollowsThePostsComment() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    const std::string line = "N10 G01 X1 ;note";
    const QString path = f.Write("note.nc", line + "\n(comment)\n");
    for (const char* comment : {";", "("}) {
      w->doc().PostDefinition.Comment = comment;
      OpenNc(*w, path);
      QsciScintilla* ed = w->edDNC;
      QVERIFY(ed->lexer() == w->GCodeParser1);
      ed->SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0L, -1L);
      QCOMPARE(StyleAt(ed, 0), GCodeParser::StyleOf(GTokenKind::LineNo));
      QCOMPARE(StyleAt(ed, 4), GCodeParser::StyleOf(GTokenKind::Command));
      QCOMPARE(StyleAt(ed, 6), GCodeParser::StyleOf(GTokenKind::Command));
      QCOMPARE(StyleAt(ed, 8), GCodeParser::StyleOf(GTokenKind::Address));
      QCOMPARE(StyleAt(ed, 9), GCodeParser::StyleOf(GTokenKind::Number));
      const int semi = static_cast<int>(line.find(';'));
      const bool semicolonComment = std::string(comment) == ";";
      QCOMPARE(StyleAt(ed, semi), GCodeParser::StyleOf(semicolonComment ? GTokenKind::Comment
                                                                        : GTokenKind::Other));
      // 'n' of "note" reads as a line number word when ';' is no comment.
      QCOMPARE(StyleAt(ed, semi + 1), GCodeParser::StyleOf(semicolonComment ? GTokenKind::Comment
                                                                            : GTokenKind::LineNo));
      const int second = static_cast<int>(line.size()) + 1;
      QCOMPARE(StyleAt(ed, second + 3), GCodeParser::StyleOf(GTokenKind::Comment));
    }
    // The command style has the options' command colour (Windows order:
    // blue 16711680 is pure blue) and weight.
    const int command = GCodeParser::StyleOf(GTokenKind::Command);
    QCOMPARE(w->GCodeParser1->color(command),
             QColor(QRgb(ColourToRgb(w->doc().Options.Editor.CommandColor))));
    QCOMPARE(w->GCodeParser1->font(command).bold(),
             w->GCodeParser1->Tokenizer().Styles()[static_cast<std::size_t>(GTokenKind::Command)].Bold);
    // "Show S&yntax" off takes the colouring away, on brings it back.
    QCOMPARE(w->SyntaxColored1->text(), QString("Show S&yntax"));
    QVERIFY(w->SyntaxColored1->isChecked());
    w->SyntaxColored1->trigger();
    QVERIFY(w->edDNC->lexer() == nullptr);
    w->SyntaxColored1->trigger();
    QVERIFY(w->edDNC->lexer() == w->GCodeParser1);
  }

  void aNumberTheConversionRejectsStopsTheOpenWithItsLine() {
    WindowFixture f;
    auto w = f.MakeWindow();
    w->show();
    OpenNc(*w, f.Write("bad.nc", "G01 X1 Y1\nG01 X1.2.3\n"));
    bool named = false;
    for (const Message& m : f.messages)
      named = named || QString::fromStdString(m.Text).contains("line 2");
    QVERIFY(named);
    QVERIFY(!w->EditorShown());
    QCOMPARE(w->EditorText(), std::string("No File Loaded"));
  }
};

QTEST_MAIN(NcEditorTest)
#include "nc_editor_test.moc"
