#include "dialogs/dialog_services.h"

#include <QColorDialog>
#include <QFontDialog>

namespace tarnak::gui {

DialogServices DialogServices::Standard() {
  DialogServices services;
  services.ChooseColour = [](QWidget* parent, const QColor& initial) -> std::optional<QColor> {
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
  };
  services.ChooseFont = [](QWidget* parent, const QFont& initial) -> std::optional<QFont> {
    bool ok = false;
    // Text is cut from glyph outlines, so only outline (scalable) fonts
    // are offered.
    const QFont chosen =
        QFontDialog::getFont(&ok, initial, parent, QString(), QFontDialog::ScalableFonts);
    if (!ok) return std::nullopt;
    return chosen;
  };
  return services;
}

void ShowMessage(UserInterface& ui, const std::string& text) {
  ui.Message(text, kMessageCaption, MsgButtons::Ok, MsgIcon::Information);
}

void ShowError(UserInterface& ui, const std::string& text) {
  ui.Message(text, kMessageCaption, MsgButtons::Ok, MsgIcon::Error);
}

}  // namespace tarnak::gui
