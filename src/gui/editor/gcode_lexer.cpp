#include "editor/gcode_lexer.h"

#include <Qsci/qsciscintilla.h>

#include <QColor>
#include <algorithm>

namespace tarnak::gui {

namespace {

QColor ToQColor(Colour c) { return QColor(QRgb(ColourToRgb(c & kColourMax))); }

}  // namespace

GCodeParser::GCodeParser(QObject* parent) : QsciLexerCustom(parent) {
  base_ = QFont(QStringLiteral("Monospace"), 10);
  base_.setStyleHint(QFont::TypeWriter);
  base_.setFixedPitch(true);
  setDefaultFont(base_);
  setDefaultColor(Qt::black);
  setDefaultPaper(Qt::white);
  ApplyStyles();
}

QString GCodeParser::description(int style) const {
  if (style < 0 || style >= kGTokenKindCount) return {};
  const std::string_view name = tokenizer_.Styles()[static_cast<std::size_t>(style)].Attribute;
  if (static_cast<GTokenKind>(style) == GTokenKind::Other) return QStringLiteral("Other");
  return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

void GCodeParser::Configure(const TTNPostProcessor& post, const TTNEditorColouring& colouring) {
  ConfigureTokenizer(tokenizer_, post, colouring);
  ApplyStyles();
}

void GCodeParser::SetBaseFont(const QFont& font) {
  base_ = font;
  setDefaultFont(base_);
  ApplyStyles();
}

void GCodeParser::ApplyStyles() {
  const GTokenStyles& styles = tokenizer_.Styles();
  for (int k = 0; k < kGTokenKindCount; ++k) {
    const GTokenStyle& s = styles[static_cast<std::size_t>(k)];
    QFont f = base_;
    f.setBold(s.Bold);
    f.setItalic(s.Italic);
    setFont(f, k);
    setColor(s.HasColour ? ToQColor(s.Color) : QColor(Qt::black), k);
    setPaper(Qt::white, k);
  }
}

void GCodeParser::styleText(int start, int end) {
  QsciScintilla* ed = editor();
  if (ed == nullptr || end <= start) return;
  // Whole lines: a token never starts in the middle of one.
  const long first = ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, start);
  const long last = ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, end - 1);
  const long from = ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, first);
  startStyling(static_cast<int>(from));
  const int space = StyleOf(GTokenKind::Space);
  for (long line = first; line <= last; ++line) {
    const long length = ed->SendScintilla(QsciScintillaBase::SCI_LINELENGTH, line);
    if (length <= 0) continue;
    line_.assign(static_cast<std::size_t>(length), '\0');
    ed->SendScintilla(QsciScintillaBase::SCI_GETLINE, static_cast<unsigned long>(line),
                      static_cast<void*>(line_.data()));
    std::size_t done = 0;
    tokenizer_.Scan(line_, [&](const GToken& t) {
      if (t.Kind == GTokenKind::EndOfLine || t.Length == 0) return;
      setStyling(static_cast<int>(t.Length), StyleOf(t.Kind));
      done = t.Start + t.Length;
    });
    // A NUL ends the scan: the rest of the line is drawn as blank.
    if (done < line_.size()) setStyling(static_cast<int>(line_.size() - done), space);
  }
}

}  // namespace tarnak::gui
