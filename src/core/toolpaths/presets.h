// Named machining presets: the file "Configurations.cfg" beside the
// program, one section per preset, holding the field texts and choices of
// a strategy dialog (never its depth). The pocket, contour, drill,
// circuit-board and prototype dialogs share the file; each reads and
// writes only its own keys.
//
// Numbers are stored in the shortest general form with the current decimal
// separator (".5" is stored "0.5", unreadable text "0"); line numbers and
// tool numbers as integers. Word-valued keys are compared without regard to
// ASCII case when read; unknown words fall back as listed with the key
// table in presets.cpp.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "toolpaths/machining_params.h"

namespace tarnak {

inline constexpr std::string_view kPresetFileName = "Configurations.cfg";
// The preset every dialog loads when it is created and saves on its action
// button.
inline constexpr std::string_view kLastPresetName = "LAST";
// What the preset combo box shows before a preset is chosen.
inline constexpr std::string_view kNoPresetText = "なし";

// True for the names that stand for "no preset": empty (after blanks are
// dropped), "None" and the combo box's "なし". Load, save and delete do
// nothing for them.
bool IsNoPresetName(std::string_view name);

// One preset as key/value pairs, in the order the keys are written.
using PresetValues = std::vector<std::pair<std::string, std::string>>;

// The keys a dialog stores, in writing order.
std::vector<std::string> PresetKeys(StrategyDialog dialog);

// The preset of a dialog's fields as written to the file.
PresetValues PresetFromFields(StrategyDialog dialog, const StrategyDialogFields& fields);

// Sets the dialog's fields from preset values (keys looked up without
// regard to ASCII case); every key of the dialog that is missing takes its
// default. Fields the dialog does not store are left as they are.
void FieldsFromPreset(StrategyDialog dialog, const PresetValues& values,
                      StrategyDialogFields& fields);

enum class PresetLoad {
  Skipped,   // "no preset" name, or the file does not exist: fields untouched
  Loaded,    // the section was read
  Defaults,  // no such section: every key took its default
};

// Loads the named preset into the fields. Throws FileError when the file
// exists but cannot be read.
PresetLoad LoadPreset(const std::filesystem::path& file, std::string_view name,
                      StrategyDialog dialog, StrategyDialogFields& fields);

// Writes the dialog's keys into the named section, creating the file and
// the section as needed; false (nothing written) for a "no preset" name.
// Throws FileError when the file cannot be written and
// std::invalid_argument for a name or text the file cannot hold (a line
// break); a number field whose text is not a number throws ConvertError
// naming its key, and nothing is written.
bool SavePreset(const std::filesystem::path& file, std::string_view name, StrategyDialog dialog,
                const StrategyDialogFields& fields);

// The message shown after a save: "Configuration NAME saved".
std::string PresetSavedMessage(std::string_view name);

// Erases the named section; false when the name is a "no preset" name, the
// file does not exist or holds no such section.
bool DeletePreset(const std::filesystem::path& file, std::string_view name);

// Preset names in file order; empty when the file does not exist.
std::vector<std::string> PresetNamesInFileOrder(const std::filesystem::path& file);
// Preset names as the sorted combo box shows them: ASCII case ignored,
// ties in byte order.
std::vector<std::string> PresetNames(const std::filesystem::path& file);
void SortPresetNames(std::vector<std::string>& names);

// A setting given by key and value outside a preset file (the command
// line's --set KEY=VALUE) is not valid for the dialog.
class PresetSettingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Applies one setting by its preset key name, plus "Depth" for the dialog's
// depth field. Unlike file reading, this is strict: an unknown key, a key
// the dialog does not store, a number that is not wholly a number (or is
// negative), an integer out of range or a word not in the key's list
// throws PresetSettingError naming the key and the accepted values.
void ApplyPresetSetting(StrategyDialog dialog, std::string_view key, std::string_view value,
                        StrategyDialogFields& fields);
// The same for "KEY=VALUE" text.
void ApplyPresetSetting(StrategyDialog dialog, std::string_view assignment,
                        StrategyDialogFields& fields);

}  // namespace tarnak
