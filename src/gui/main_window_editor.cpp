// The NC editor pane (edDNC) and what goes with it: opening an NC program
// into it and the view, its context menu, find and replace, renumbering,
// and the Run palette that steps through the program's moves. The text
// work is the core's (tokenizer, renumbering, run state); this file only
// moves text and selections between the core and the widgets.
#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QApplication>
#include <QFontDialog>
#include <QMenu>
#include <QMessageBox>
#include <QSplitter>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/atomic_file.h"
#include "editor/editor_forms.h"
#include "editor/gcode_lexer.h"
#include "editor/renumber.h"
#include "file_filter.h"
#include "import/nc/nc_moves.h"
#include "main_window.h"
#include "qt_user_interface.h"
#include "shell/nc_open.h"
#include "shell/save_command.h"
#include "view/vector_display.h"

namespace tarnak::gui {

namespace {

constexpr const char* kNoFileLoaded = "No File Loaded";

}  // namespace

// ---------------------------------------------------------------- creation

void TfrmTarnak::CreateEditor() {
  edDNC = new QsciScintilla(Splitter1);
  edDNC->setObjectName("edDNC");
  edDNC->setUtf8(true);
  GCodeParser1 = new GCodeParser(edDNC);
  GCodeParser1->setObjectName("GCodeParser");
  edDNC->setFont(GCodeParser1->BaseFont());
  edDNC->setMarginType(0, QsciScintilla::NumberMargin);
  edDNC->setMarginLineNumbers(0, true);
  edDNC->setMarginsFont(GCodeParser1->BaseFont());
  // Room for a seven-digit line number: a million-line program.
  edDNC->setMarginWidth(0, QStringLiteral("00000000"));
  edDNC->setWrapMode(QsciScintilla::WrapNone);
  edDNC->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(edDNC, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(edDNC->mapToGlobal(pos)); });
  SetEditorText(kNoFileLoaded);
  Splitter1->addWidget(edDNC);
  Splitter1->setStretchFactor(0, 2);
  Splitter1->setStretchFactor(1, 1);
  edDNC->hide();

  frmReNumber = new TfrmReNumber(this);
  frmReNumber->hide();
  connect(frmReNumber, &TfrmReNumber::requested, this,
          [this](TfrmReNumber::Action a) { RenumberRequested(static_cast<int>(a)); });
  frmEdit = new TfrmEdit(this);
  frmEdit->hide();
  connect(frmEdit, &TfrmEdit::step, this, &TfrmTarnak::RunPaletteStep);
  connect(frmEdit, &TfrmEdit::searchClicked, this, &TfrmTarnak::Search1Click);
  connect(frmEdit, &TfrmEdit::reloadClicked, this, &TfrmTarnak::RunPaletteReload);
  connect(frmEdit, &TfrmEdit::saveClicked, this, [this] { RunPaletteSave(); });
  connect(frmEdit, &TfrmEdit::renumberClicked, this, &TfrmTarnak::Renumber1Click);
  ReplaceDialog1 = new TReplaceDialog(this);
  ReplaceDialog1->hide();
  connect(ReplaceDialog1, &TReplaceDialog::findRequested, this, [this] { ReplaceDialog1Find(); });
  connect(ReplaceDialog1, &TReplaceDialog::replaceRequested, this,
          [this] { ReplaceDialog1Replace(); });
  connect(ReplaceDialog1, &TReplaceDialog::replaceAllRequested, this,
          [this] { ReplaceDialog1ReplaceAll(); });
}

void TfrmTarnak::ActivateEditor(bool on) {
  if (on == editorShown_) return;
  editorShown_ = on;
  edDNC->setVisible(on);
  if (on) {
    const int h = std::max(Splitter1->height(), 3);
    Splitter1->setSizes({h - h / 3, h / 3});
  }
  if (frmEdit) frmEdit->setVisible(on);
  Draw3D->SetNCShown(on);
  if (on)
    Set3DMode();
  else
    Set2DMode();
}

// ---------------------------------------------------------------- the text

std::string TfrmTarnak::EditorText() const {
  const long length = edDNC->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  std::string bytes(static_cast<std::size_t>(length) + 1, '\0');
  edDNC->SendScintilla(QsciScintillaBase::SCI_GETTEXT, static_cast<unsigned long>(length + 1),
                       static_cast<void*>(bytes.data()));
  bytes.resize(static_cast<std::size_t>(length));
  return bytes;
}

void TfrmTarnak::SetEditorText(const std::string& bytes) {
  // The bytes go in as they are, in one piece: no conversion of a large
  // program to a QString and back, and a NUL in the file does not cut it.
  edDNC->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
  edDNC->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT,
                       static_cast<uintptr_t>(bytes.size()), bytes.data());
  edDNC->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
  edDNC->SendScintilla(QsciScintillaBase::SCI_SETSAVEPOINT);
  // Lines the user adds end like the program's own (the posts write CR LF).
  const std::size_t lf = bytes.find('\n');
  edDNC->setEolMode(lf != std::string::npos && lf > 0 && bytes[lf - 1] == '\r'
                        ? QsciScintilla::EolWindows
                        : QsciScintilla::EolUnix);
  edDNC->setCursorPosition(0, 0);
}

void TfrmTarnak::ReplaceEditorText(const std::string& bytes) {
  const long length = edDNC->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  edDNC->beginUndoAction();
  edDNC->SendScintilla(QsciScintillaBase::SCI_SETTARGETSTART, 0L);
  edDNC->SendScintilla(QsciScintillaBase::SCI_SETTARGETEND, length);
  edDNC->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET,
                       static_cast<uintptr_t>(bytes.size()), bytes.data());
  edDNC->endUndoAction();
}

void TfrmTarnak::SelectEditorLine(int line) {
  if (line < 0 || line >= edDNC->lines()) return;
  edDNC->setCursorPosition(line, 0);
  if (line + 1 < edDNC->lines())
    edDNC->setSelection(line, 0, line + 1, 0);
  else
    edDNC->setSelection(line, 0, line, edDNC->lineLength(line));
  edDNC->ensureLineVisible(line);
}

// ---------------------------------------------------------------- opening

void TfrmTarnak::mnuOpenDncClick() {
  if (running_) return;
  doc_->PickMode = kPickNone;
  doc_->Cancel.Reset();
  const QString path = AskOpenPath(kNCProgramFilter);
  if (path.isEmpty()) return;
  OpenNcProgram(path);
}

void TfrmTarnak::OpenNcProgram(const QString& path) {
  CommandScope scope(*this, true);
  if (!scope) return;
  std::string text;
  const NCOpenResult r = OpenNCFileCommand(*doc_, path.toStdString(), &text);
  // A file that cannot be read or a number the conversion rejects: the
  // command said so (with the line); the pane and the view stay as they were.
  if (!r.Loaded) return;

  // The old text goes first: attaching or restyling the colouring makes
  // QScintilla colour the whole document it holds, which for the last
  // large program would take seconds. Into the empty pane the colouring
  // is attached, and the new text then gets its colours only where it
  // comes into view.
  SetEditorText(std::string());
  GCodeParser1->Configure(doc_->PostDefinition, doc_->Options.Editor);
  QsciLexer* wanted = SyntaxColored1->isChecked() ? GCodeParser1 : nullptr;
  if (edDNC->lexer() != wanted) edDNC->setLexer(wanted);
  if (!wanted) edDNC->setFont(GCodeParser1->BaseFont());
  SetEditorText(text);
  text.clear();
  text.shrink_to_fit();

  ncRun_ = NCRunState{};
  Draw3D->InvalidateGeometry();
  Draw3D->SetNCRange(1, static_cast<int>(doc_->NCMoves.size()) - 1);
  ActivateEditor(true);
  if (!doc_->StlMode) {
    SetSaveCommands(r.EnableSaves);
    SetItemEnabled(mnuClose, r.EnableSaves);
  }
  ViewIcons(doc_->StlMode ? 3 : 1);
  ViewFitExtents();  // fits the program's extents and redraws
  SetStatus2(QStringLiteral("Lines ") + QString::number(r.Lines));
}

void TfrmTarnak::mnu3DClick() {
  ActivateEditor(!editorShown_);
  ViewFitExtents();
  DrawGeometry();
}

void TfrmTarnak::CloseEditorProgram() {
  doc_->NCMoves.assign(1, TTNEdEntity{});
  doc_->NCExtents = NCExtentsRec{};
  ncRun_ = NCRunState{};
  edDNC->setLexer(nullptr);
  edDNC->setFont(GCodeParser1->BaseFont());
  SetEditorText(kNoFileLoaded);
  Draw3D->InvalidateGeometry();
  ActivateEditor(false);
}

// ---------------------------------------------------------------- context menu

void TfrmTarnak::Undo1Click() { edDNC->undo(); }

void TfrmTarnak::Font1Click() {
  std::optional<QFont> chosen;
  const QFont current = GCodeParser1->BaseFont();
  if (FontDialog) {
    chosen = FontDialog(current);
  } else {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, current, this, QString(),
                                         QFontDialog::MonospacedFonts);
    if (ok) chosen = f;
  }
  if (!chosen) return;
  GCodeParser1->SetBaseFont(*chosen);
  edDNC->setFont(*chosen);
  edDNC->setMarginsFont(*chosen);
}

void TfrmTarnak::Search1Click() {
  ReplaceDialog1->show();
  ReplaceDialog1->raise();
  ReplaceDialog1->activateWindow();
}

void TfrmTarnak::SelectAll2Click() { edDNC->selectAll(); }

void TfrmTarnak::Renumber1Click() {
  frmReNumber->show();
  frmReNumber->raise();
}

void TfrmTarnak::SyntaxColored1Click() {
  // The item's check mark has already turned.
  if (SyntaxColored1->isChecked()) {
    edDNC->setLexer(GCodeParser1);
  } else {
    edDNC->setLexer(nullptr);
    edDNC->setFont(GCodeParser1->BaseFont());
  }
}

// ---------------------------------------------------------------- find and replace

bool TfrmTarnak::ReplaceDialog1Find() {
  if (running_) return false;
  const QString what = ReplaceDialog1->FindText();
  // Downward from the caret (after the current match), no wrapping.
  const bool found = !what.isEmpty() && edDNC->findFirst(what, false, ReplaceDialog1->MatchCase(),
                                                         false, false, true);
  if (!found) QApplication::beep();
  return found;
}

// Before each replacement the user is asked, with the match selected and
// in sight, as a careful editor of machine programs does: a replace that
// goes wrong changes what the machine will do.
TfrmTarnak::ReplaceAnswer TfrmTarnak::AskReplace(const QString& found) {
  if (ReplacePrompt) return ReplacePrompt(found);
  QMessageBox box(this);
  box.setWindowTitle(QStringLiteral("Tarnak"));
  box.setIcon(QMessageBox::Question);
  box.setText(QStringLiteral("Replace this occurrence of '%1'?").arg(found));
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll | QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Yes);
  switch (box.exec()) {
    case QMessageBox::Yes: return ReplaceAnswer::Yes;
    case QMessageBox::No: return ReplaceAnswer::No;
    case QMessageBox::YesToAll: return ReplaceAnswer::All;
    default: return ReplaceAnswer::Cancel;
  }
}

bool TfrmTarnak::ReplaceDialog1Replace() {
  if (running_) return false;
  const QString what = ReplaceDialog1->FindText();
  if (what.isEmpty()) {
    QApplication::beep();
    return false;
  }
  // The match the user is looking at is replaced; then on to the next one.
  int line = 0, index = 0, line2 = 0, index2 = 0;
  edDNC->getSelection(&line, &index, &line2, &index2);
  if (line < 0) edDNC->getCursorPosition(&line, &index);
  const bool found = edDNC->findFirst(what, false, ReplaceDialog1->MatchCase(), false, false,
                                      true, line, index);
  if (!found) {
    QApplication::beep();
    return false;
  }
  const ReplaceAnswer answer = AskReplace(edDNC->selectedText());
  if (answer == ReplaceAnswer::Cancel) return false;
  if (answer == ReplaceAnswer::All)
    return ReplaceDialog1ReplaceAll(false, edDNC->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART)) > 0;
  if (answer == ReplaceAnswer::Yes) edDNC->replace(ReplaceDialog1->ReplaceText());
  else edDNC->findNext();
  return answer == ReplaceAnswer::Yes;
}

int TfrmTarnak::ReplaceDialog1ReplaceAll(bool ask, long start) {
  if (running_) return 0;
  const QByteArray what = ReplaceDialog1->FindText().toUtf8();
  const QByteArray with = ReplaceDialog1->ReplaceText().toUtf8();
  int count = 0;
  if (!what.isEmpty()) {
    // The whole text, start to end, as one undoable step; each search
    // goes on after the text put in, so a replacement that contains what
    // is searched for is not searched again.
    edDNC->SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS,
                         ReplaceDialog1->MatchCase() ? QsciScintillaBase::SCFIND_MATCHCASE : 0);
    edDNC->beginUndoAction();
    long from = start;
    for (;;) {
      const long end = edDNC->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
      edDNC->SendScintilla(QsciScintillaBase::SCI_SETTARGETSTART, from);
      edDNC->SendScintilla(QsciScintillaBase::SCI_SETTARGETEND, end);
      const long at = edDNC->SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET,
                                           static_cast<uintptr_t>(what.size()), what.constData());
      if (at < 0) break;
      const long atEnd = edDNC->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
      if (ask) {
        edDNC->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<uintptr_t>(at), atEnd);
        edDNC->SendScintilla(QsciScintillaBase::SCI_SCROLLCARET);
        const ReplaceAnswer answer = AskReplace(edDNC->selectedText());
        if (answer == ReplaceAnswer::Cancel) break;
        if (answer == ReplaceAnswer::No) {
          from = atEnd;
          continue;
        }
        if (answer == ReplaceAnswer::All) ask = false;
        // The question may have repainted: the target is set again.
        edDNC->SendScintilla(QsciScintillaBase::SCI_SETTARGETSTART, static_cast<uintptr_t>(at));
        edDNC->SendScintilla(QsciScintillaBase::SCI_SETTARGETEND, static_cast<uintptr_t>(atEnd));
      }
      edDNC->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET,
                           static_cast<uintptr_t>(with.size()), with.constData());
      from = edDNC->SendScintilla(QsciScintillaBase::SCI_GETTARGETEND);
      ++count;
    }
    edDNC->endUndoAction();
  }
  if (count == 0) QApplication::beep();
  SetStatus(QString::number(count) + QStringLiteral(" Replaced..."));
  return count;
}

// ---------------------------------------------------------------- renumbering

void TfrmTarnak::RenumberRequested(int action) {
  if (running_) return;
  const std::string before = EditorText();
  bool crlf = false;
  std::vector<std::string> lines = SplitLines(before, crlf);
  const TTNPostProcessor& post = doc_->PostDefinition;
  try {
    switch (static_cast<TfrmReNumber::Action>(action)) {
      case TfrmReNumber::Action::Remove:
        RemoveLineNumbers(lines, post);
        break;
      case TfrmReNumber::Action::Add:
        AddLineNumbers(lines, post, frmReNumber->Settings());
        break;
      case TfrmReNumber::Action::Renumber:
        Renumber(lines, post, frmReNumber->Settings());
        break;
    }
  } catch (const std::exception& e) {
    ui_->Message(e.what(), kApplicationTitle, MsgButtons::Ok, MsgIcon::Warning);
    return;
  }
  std::string after = JoinLines(lines, crlf);
  // A text that did not end with a line end does not get one.
  if (!before.empty() && before.back() != '\n') {
    const std::size_t eol = crlf ? 2 : 1;
    if (after.size() >= eol) after.resize(after.size() - eol);
  }
  if (after == before) return;
  int line = 0, index = 0;
  edDNC->getCursorPosition(&line, &index);
  ReplaceEditorText(after);
  edDNC->setCursorPosition(std::min(line, edDNC->lines() - 1), 0);
}

// ---------------------------------------------------------------- the Run palette

void TfrmTarnak::RunPaletteStep(NCRunButton button) {
  // The palette and the dialogs are windows of their own: like the menus,
  // they wait while a long command runs.
  if (running_) return;
  int line = 0, index = 0;
  edDNC->getCursorPosition(&line, &index);
  const NCRunStep step = NCRunPress(ncRun_, button, doc_->NCMoves, line);
  if (!step.Acted) return;
  Draw3D->SetNCRange(step.DrawFirst, step.DrawLast);
  if (step.SelectLine >= 0) SelectEditorLine(step.SelectLine);
  DrawGeometry();
}

void TfrmTarnak::RunPaletteReload() {
  if (running_) return;
  // The text goes round through "Temp.dnc" in the program's folder, and
  // the picture's box is made again from the moves.
  const std::filesystem::path temp = folders_.Program / "Temp.dnc";
  std::string text = EditorText();
  try {
    AtomicFile::WriteWhole(temp, text);
    std::ifstream in(temp, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot read " + temp.string());
    std::ostringstream all;
    all << in.rdbuf();
    text = std::move(all).str();
  } catch (const std::exception& e) {
    ui_->Message(e.what(), kApplicationTitle, MsgButtons::Ok, MsgIcon::Error);
    return;
  }
  edDNC->setLexer(GCodeParser1);
  SetEditorText(text);
  doc_->NCExtents = NCExtents(doc_->NCMoves);
  if (!SyntaxColored1->isChecked()) {
    edDNC->setLexer(nullptr);
    edDNC->setFont(GCodeParser1->BaseFont());
  }
  RunPaletteStep(NCRunButton::Clear);
}

bool TfrmTarnak::RunPaletteSave() {
  if (running_) return false;
  const TTNPostProcessor& post = doc_->PostDefinition;
  const QString filter = QtFileFilter(QString::fromStdString(NcFileFilter(post)));
  const QString proposed = QString::fromStdString(doc_->NCFileName);
  const QString suffix = QString::fromStdString(post.Extension);
  const QString path = AskSavePath(filter, proposed, suffix, true);
  if (path.isEmpty()) return false;
  try {
    AtomicFile::WriteWhole(std::filesystem::path(path.toStdString()), EditorText());
  } catch (const std::exception& e) {
    ui_->Message(e.what(), kApplicationTitle, MsgButtons::Ok, MsgIcon::Error);
    return false;
  }
  edDNC->SendScintilla(QsciScintillaBase::SCI_SETSAVEPOINT);
  ui_->Message("File Saved!", kApplicationTitle, MsgButtons::Ok, MsgIcon::Information);
  return true;
}

}  // namespace tarnak::gui
