// The common dialogs the modal dialogs open (colour and font choosers),
// behind std::function members so that a test can answer them without a
// modal window. Message boxes go through the document's UserInterface.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "base/user_interface.h"

class QWidget;

namespace tarnak::gui {

// Caption of the plain messages the dialogs show ("Options Saved!",
// "Configuration NAME saved"): the application's title.
inline constexpr const char* kMessageCaption = "Tarnak 2000";

struct DialogServices {
  // Asks for a colour, starting from `initial`; nothing when cancelled.
  std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)> ChooseColour;
  // Asks for a scalable font with its style; nothing when cancelled.
  std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)> ChooseFont;

  // QColorDialog and QFontDialog.
  static DialogServices Standard();
};

// A plain message (information) and an error message through `ui`.
void ShowMessage(UserInterface& ui, const std::string& text);
void ShowError(UserInterface& ui, const std::string& text);

}  // namespace tarnak::gui
