// What the strategy dialogs and the prototype dialog share: the tool
// number lists and the preset combo box (its list read from
// "Configurations.cfg" and the Delete button).
#pragma once

#include <QString>
#include <filesystem>
#include <string>

#include "base/user_interface.h"

class QComboBox;

namespace tarnak::gui {

// Tool number lists hold "0" to "9".
inline constexpr int kToolNumbers = 10;

// Shows a stored tool number; one outside the list as the nearest listed.
void ShowToolNumber(QComboBox* combo, const std::string& value);

// Lists the file's preset names, sorted; the text typed stays. A file that
// cannot be read is reported and leaves the list empty.
void FillPresetCombo(QComboBox* combo, const std::filesystem::path& file, UserInterface& ui);

// Delete: erases the named preset (nothing for a "no preset" name or one
// the file lacks), lists what is left and shows its first name, or "なし".
void DeletePresetInCombo(QComboBox* combo, const std::filesystem::path& file, UserInterface& ui,
                         const QString& name);

}  // namespace tarnak::gui
