#include "editor/gcode_lexer.h"

#include <Qsci/qsciscintilla.h>

#include <QColor>
#include <algorithm>
#include <cstring>

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
  const long docLength = ed->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  long to = ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, last + 1);
  if (to < 0 || to > docLength || last + 1 >= ed->lines()) to = docLength;
  if (to <= from) return;
  // The bytes of the range without a copy, and their styles set in one
  // call: a long range (the whole text, when the colouring is attached
  // to a large program) costs a scan and no more.
  const auto length = static_cast<std::size_t>(to - from);
  const char* text = reinterpret_cast<const char*>(
      ed->SendScintilla(QsciScintillaBase::SCI_GETRANGEPOINTER, static_cast<unsigned long>(from),
                        static_cast<long>(length)));
  if (text == nullptr) return;
  styles_.assign(length, static_cast<char>(StyleOf(GTokenKind::Space)));
  std::size_t at = 0;
  while (at < length) {
    const void* lf = std::memchr(text + at, '\n', length - at);
    const std::size_t stop = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text) + 1
                                : length;
    // A NUL ends the scan: the rest of the line stays blank.
    tokenizer_.Scan(std::string_view(text + at, stop - at), [&](const GToken& t) {
      if (t.Kind == GTokenKind::EndOfLine) return;
      std::memset(styles_.data() + at + t.Start, StyleOf(t.Kind), t.Length);
    });
    at = stop;
  }
  startStyling(static_cast<int>(from));
  ed->SendScintilla(QsciScintillaBase::SCI_SETSTYLINGEX, static_cast<unsigned long>(length),
                    static_cast<void*>(styles_.data()));
}

}  // namespace tarnak::gui
