// The NC editor's colouring (`GCodeParser`): the core's G-code tokenizer
// splits each line, and every token kind is drawn in its own style.
//
// QScintilla asks for the styles of a byte range when that range comes
// into view, so only the lines on the screen are ever tokenized: opening a
// program of a million lines styles one screen of it.
#pragma once

#include <Qsci/qscilexercustom.h>

#include <QFont>
#include <QString>
#include <string>

#include "base/options.h"
#include "editor/gcode_tokenizer.h"
#include "post/post_definition.h"

namespace tarnak::gui {

class GCodeParser : public QsciLexerCustom {
  Q_OBJECT
 public:
  explicit GCodeParser(QObject* parent = nullptr);

  const char* language() const override { return "G-code"; }
  QString description(int style) const override;
  void styleText(int start, int end) override;

  // The character table for the post's Comment text, and the colours and
  // bold / italic of the kinds from the options.
  void Configure(const TTNPostProcessor& post, const TTNEditorColouring& colouring);
  // The editor's font; every style draws in it, made bold or italic as
  // its kind asks.
  void SetBaseFont(const QFont& font);
  const QFont& BaseFont() const { return base_; }

  // The style number of a token kind.
  static int StyleOf(GTokenKind kind) { return static_cast<int>(kind); }
  const GCodeTokenizer& Tokenizer() const { return tokenizer_; }

 private:
  void ApplyStyles();

  GCodeTokenizer tokenizer_;
  QFont base_;
  std::string styles_;  // the style of each byte of the range being styled
};

}  // namespace tarnak::gui
