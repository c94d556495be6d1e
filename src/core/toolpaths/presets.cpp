#include "toolpaths/presets.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "base/numbers.h"
#include "base/profile_file.h"
#include "base/text.h"

namespace tarnak {

namespace {

// Which dialogs store a key.
enum DialogBit : unsigned {
  kPocket = 1u << 0,
  kContour = 1u << 1,
  kDrill = 1u << 2,
  kBoard = 1u << 3,
  kPrototype = 1u << 4,
  kAll = kPocket | kContour | kDrill | kBoard | kPrototype,
};

unsigned BitOf(StrategyDialog dialog) {
  switch (dialog) {
    case StrategyDialog::Pocket: return kPocket;
    case StrategyDialog::Contour: return kContour;
    case StrategyDialog::Drill: return kDrill;
    case StrategyDialog::CircuitBoard: return kBoard;
    case StrategyDialog::Prototype: return kPrototype;
  }
  return 0;
}

enum class Kind {
  Number,        // text field holding a decimal number
  Integer,       // text field holding an integer (line and tool numbers)
  Text,          // tool names
  ItemIndex,     // radio group item (prototype tool types)
  Coolant,       // "Off" / "On"
  Lead,          // "None", "Arc", "Perpendicular", "Tangent"
  PocketFinish,  // "Islands", "Boundaries", "Both"
  Compensation,  // "None", "Right", "Left", "Cutout"
  Boolean,       // "True" / "False"
};

struct KeyDef {
  const char* Key;
  const char* Default;  // as read when the key is missing
  Kind Type;
  unsigned Dialogs;
  std::string StrategyDialogFields::* Text = nullptr;  // Number, Integer, Text
  int StrategyDialogFields::* Choice = nullptr;        // ItemIndex, Lead, PocketFinish, Compensation
  bool StrategyDialogFields::* Flag = nullptr;         // Coolant, Boolean
  // Integer range accepted by ApplyPresetSetting.
  int Min = 0;
  int Max = 0;
};

using F = StrategyDialogFields;

// Writing order. The circuit-board dialog also writes Compensation (always
// "Cutout") but never reads it; see PresetFromFields.
const KeyDef kKeys[] = {
    {"RapidHeight", "1", Kind::Number, kAll, &F::RapidHeight},
    {"StartAt", "100", Kind::Integer, kAll, &F::StartAt, nullptr, nullptr, 0, 99999999},
    {"Increment", "5", Kind::Integer, kAll, &F::Increment, nullptr, nullptr, 0, 99999999},
    {"Coolant", "Off", Kind::Coolant, kPocket | kContour | kDrill | kPrototype, nullptr, nullptr, &F::Coolant},
    {"RoughTool", "0", Kind::Integer, kAll, &F::RoughTool, nullptr, nullptr, 0, 9},
    {"RoughName", "None", Kind::Text, kAll, &F::RoughName},
    {"RoughDiameter", "1", Kind::Number, kAll, &F::RoughDiameter},
    {"RoughStepXY", ".5", Kind::Number, kPocket | kPrototype, &F::RoughStepXY},
    {"RoughStepZ", "1", Kind::Number, kPocket | kContour | kPrototype, &F::RoughStepZ},
    {"StockToLeave", "0", Kind::Number, kPocket | kContour | kPrototype, &F::StockToLeave},
    {"RoughRPM", "0", Kind::Number, kAll, &F::RoughRPM},
    {"RoughFeed", "0", Kind::Number, kPocket | kContour | kBoard | kPrototype, &F::RoughFeed},
    {"RoughPlunge", "0", Kind::Number, kAll, &F::RoughPlunge},
    {"RoughAngle", "0", Kind::Number, kPrototype, &F::RoughAngle},
    {"RoughType", "0", Kind::ItemIndex, kPrototype, nullptr, &F::RoughType, nullptr, 0, 2},
    {"FinishTool", "0", Kind::Integer, kPocket | kContour | kPrototype, &F::FinishTool, nullptr, nullptr, 0, 9},
    {"FinishName", "None", Kind::Text, kPocket | kContour | kPrototype, &F::FinishName},
    {"FinishDiameter", "1", Kind::Number, kPocket | kContour | kPrototype, &F::FinishDiameter},
    {"FinishStepXY", ".5", Kind::Number, kPocket | kPrototype, &F::FinishStepXY},
    {"FinishStepZ", "1", Kind::Number, kPocket | kContour | kPrototype, &F::FinishStepZ},
    {"FinishRPM", "0", Kind::Number, kPocket | kContour | kPrototype, &F::FinishRPM},
    {"FinishFeed", "0", Kind::Number, kPocket | kContour | kPrototype, &F::FinishFeed},
    {"FinishAngle", "0", Kind::Number, kPrototype, &F::FinishAngle},
    {"FinishType", "0", Kind::ItemIndex, kPrototype, nullptr, &F::FinishType, nullptr, 0, 2},
    {"EntryLength", "0", Kind::Number, kPocket | kContour, &F::EntryLength},
    {"ExitLength", "0", Kind::Number, kPocket | kContour, &F::ExitLength},
    {"Entry", "0", Kind::Lead, kPocket | kContour, nullptr, &F::Entry},
    {"Exit", "0", Kind::Lead, kPocket | kContour, nullptr, &F::Exit},
    {"Finish", "0", Kind::PocketFinish, kPocket, nullptr, &F::Finish},
    {"Compensation", "None", Kind::Compensation, kContour, nullptr, &F::Compensation},
    {"FinishPass", "0", Kind::Boolean, kPocket | kContour, nullptr, nullptr, &F::FinishPass},
    {"Linear", "0", Kind::Boolean, kDrill, nullptr, nullptr, &F::Linear},
    // Beyond the keys of older files: missing, they give one pass, the
    // routing those files were saved for.
    {"Passes", "1", Kind::Integer, kBoard, &F::Passes, nullptr, nullptr, 1, 20},
    {"Overlap", "0.5", Kind::Number, kBoard, &F::Overlap},
};

constexpr const char* kLeadWords[] = {"None", "Arc", "Perpendicular", "Tangent"};
constexpr const char* kFinishWords[] = {"Islands", "Boundaries", "Both"};
constexpr const char* kCompensationWords[] = {"None", "Right", "Left", "Cutout"};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) { return TrimBlanks(text); }

// Index of the word in the list, or -1.
template <std::size_t N>
int WordIndex(const char* const (&words)[N], std::string_view value) {
  for (std::size_t i = 0; i < N; ++i) {
    if (SameWord(value, words[i])) return static_cast<int>(i);
  }
  return -1;
}

template <std::size_t N>
std::string WordList(const char* const (&words)[N]) {
  std::string list;
  for (std::size_t i = 0; i < N; ++i) {
    if (i > 0) list += i + 1 == N ? " or " : ", ";
    list += words[i];
  }
  return list;
}

bool IsPrototypeStep(const KeyDef& def, StrategyDialog dialog) {
  return dialog == StrategyDialog::Prototype &&
         (def.Text == &F::RoughStepXY || def.Text == &F::FinishStepXY);
}

// The prototype dialog keeps one preset value for its X and Y steps.
std::string StrategyDialogFields::* PrototypeYStep(const KeyDef& def) {
  return def.Text == &F::RoughStepXY ? &F::RoughStepY : &F::FinishStepY;
}

// A number field's value; a text that is not a number is not stored.
double NumberToStore(const KeyDef& def, const StrategyDialogFields& fields) {
  const std::string& text = fields.*def.Text;
  double value = 0.0;
  if (!TryParseFieldFloat(text, value))
    throw ConvertError(std::string(def.Key) + ": '" + text + "' is not a valid floating point value");
  return value;
}

std::string ValueText(const KeyDef& def, const StrategyDialogFields& fields) {
  switch (def.Type) {
    case Kind::Number: return FloatToStr(NumberToStore(def, fields));
    case Kind::Integer: return std::to_string(RoundToInt32(NumberToStore(def, fields)));
    case Kind::Text: return fields.*def.Text;
    case Kind::ItemIndex: return std::to_string(fields.*def.Choice);
    case Kind::Coolant: return fields.*def.Flag ? "On" : "Off";
    case Kind::Lead: {
      const int kind = fields.*def.Choice;
      return kind >= kLeadNone && kind < kLeadTangent ? kLeadWords[kind] : "Tangent";
    }
    case Kind::PocketFinish: {
      const int item = fields.*def.Choice;
      return item == 0 || item == 1 ? kFinishWords[item] : "Both";
    }
    case Kind::Compensation: {
      const int comp = fields.*def.Choice;
      return comp >= kCompNone && comp < kCompCutout ? kCompensationWords[comp] : "Cutout";
    }
    case Kind::Boolean: return fields.*def.Flag ? "True" : "False";
  }
  return {};
}

// Reading rules of a preset file: unknown words fall back to the last
// choice of the list (tangent, both, cutout) or to "off".
void SetFromText(const KeyDef& def, StrategyDialog dialog, std::string_view value,
                 StrategyDialogFields& fields) {
  switch (def.Type) {
    case Kind::Number:
    case Kind::Integer:
    case Kind::Text:
      fields.*def.Text = std::string(value);
      if (IsPrototypeStep(def, dialog)) fields.*PrototypeYStep(def) = std::string(value);
      break;
    case Kind::ItemIndex: {
      int item = 0;
      if (!TryTextToInt(value, item) || item < def.Min || item > def.Max) item = 0;
      fields.*def.Choice = item;
      break;
    }
    case Kind::Coolant: fields.*def.Flag = SameWord(value, "On"); break;
    case Kind::Lead: {
      const int kind = WordIndex(kLeadWords, value);
      fields.*def.Choice = kind < 0 ? kLeadTangent : kind;
      break;
    }
    case Kind::PocketFinish: {
      const int item = WordIndex(kFinishWords, value);
      fields.*def.Choice = item < 0 ? 2 : item;
      break;
    }
    case Kind::Compensation: {
      const int comp = WordIndex(kCompensationWords, value);
      fields.*def.Choice = comp < 0 ? kCompCutout : comp;
      break;
    }
    case Kind::Boolean: fields.*def.Flag = SameWord(value, "True"); break;
  }
}

const KeyDef* FindKey(std::string_view key) {
  for (const KeyDef& def : kKeys) {
    if (SameWord(key, def.Key)) return &def;
  }
  return nullptr;
}

std::optional<std::string> Lookup(const PresetValues& values, std::string_view key) {
  for (const auto& [k, v] : values) {
    if (SameWord(Trim(k), key)) return v;
  }
  return std::nullopt;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

bool IsNoPresetName(std::string_view name) {
  name = Trim(name);
  return name.empty() || name == "None" || name == kNoPresetText;
}

std::vector<std::string> PresetKeys(StrategyDialog dialog) {
  std::vector<std::string> keys;
  for (const KeyDef& def : kKeys) {
    if ((def.Dialogs & BitOf(dialog)) != 0) keys.emplace_back(def.Key);
  }
  if (dialog == StrategyDialog::CircuitBoard) keys.emplace_back("Compensation");
  return keys;
}

PresetValues PresetFromFields(StrategyDialog dialog, const StrategyDialogFields& fields) {
  PresetValues values;
  for (const KeyDef& def : kKeys) {
    if ((def.Dialogs & BitOf(dialog)) != 0) values.emplace_back(def.Key, ValueText(def, fields));
  }
  // The board dialog always isolates outside the copper: the key is written
  // for anyone reading the file, and never read back.
  if (dialog == StrategyDialog::CircuitBoard) values.emplace_back("Compensation", "Cutout");
  return values;
}

void FieldsFromPreset(StrategyDialog dialog, const PresetValues& values,
                      StrategyDialogFields& fields) {
  for (const KeyDef& def : kKeys) {
    if ((def.Dialogs & BitOf(dialog)) == 0) continue;
    const std::optional<std::string> value = Lookup(values, def.Key);
    SetFromText(def, dialog, value ? std::string_view(*value) : std::string_view(def.Default),
                fields);
  }
}

PresetLoad LoadPreset(const std::filesystem::path& file, std::string_view name,
                      StrategyDialog dialog, StrategyDialogFields& fields) {
  name = Trim(name);
  if (IsNoPresetName(name)) return PresetLoad::Skipped;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return PresetLoad::Skipped;
  ProfileFile ini(file);
  const bool found = ini.SectionExists(name);
  PresetValues values;
  if (found) {
    for (const KeyDef& def : kKeys) {
      if ((def.Dialogs & BitOf(dialog)) == 0 || !ini.ValueExists(name, def.Key)) continue;
      values.emplace_back(def.Key, ini.ReadString(name, def.Key, def.Default));
    }
  }
  FieldsFromPreset(dialog, values, fields);
  return found ? PresetLoad::Loaded : PresetLoad::Defaults;
}

bool SavePreset(const std::filesystem::path& file, std::string_view name, StrategyDialog dialog,
                const StrategyDialogFields& fields) {
  name = Trim(name);
  if (IsNoPresetName(name)) return false;
  const PresetValues values = PresetFromFields(dialog, fields);
  // Check every value first, so that a text the file cannot hold leaves the
  // preset as it was rather than half written.
  for (const auto& [key, value] : values) {
    if (value.find_first_of("\r\n") != std::string::npos)
      throw std::invalid_argument("The value of " + key + " holds a line break and cannot be saved in '" +
                                  file.string() + "'");
  }
  if (name.find_first_of("\r\n") != std::string_view::npos)
    throw std::invalid_argument("Invalid preset name " + Quoted(name) + " for '" + file.string() + "'");
  ProfileFile ini(file);
  ProfileFile::Update update(ini);
  for (const auto& [key, value] : values) ini.WriteString(name, key, value);
  update.Commit();
  return true;
}

std::string PresetSavedMessage(std::string_view name) {
  return "Configuration " + std::string(name) + " saved";
}

bool DeletePreset(const std::filesystem::path& file, std::string_view name) {
  name = Trim(name);
  if (IsNoPresetName(name)) return false;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return false;
  ProfileFile ini(file);
  if (!ini.SectionExists(name)) return false;
  ini.EraseSection(name);
  return true;
}

std::vector<std::string> PresetNamesInFileOrder(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return {};
  return ProfileFile(file).ReadSections();
}

void SortPresetNames(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      const auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
      const auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
      if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
  });
}

std::vector<std::string> PresetNames(const std::filesystem::path& file) {
  std::vector<std::string> names = PresetNamesInFileOrder(file);
  SortPresetNames(names);
  return names;
}

void ApplyPresetSetting(StrategyDialog dialog, std::string_view key, std::string_view value,
                        StrategyDialogFields& fields) {
  key = Trim(key);
  value = Trim(value);
  const std::string dialogName = StrategyDialogName(dialog);

  if (SameWord(key, "Depth")) {
    double depth = 0.0;
    if (dialog == StrategyDialog::Prototype)
      throw PresetSettingError("Depth is not a setting of the prototype dialog");
    if (!TryTextToFloatAnySeparator(value, depth) || !std::isfinite(depth) || depth < 0.0)
      throw PresetSettingError(Quoted(value) + " is not a valid value for Depth: give a number of 0 or more");
    fields.Depth = std::string(value);
    return;
  }

  const KeyDef* def = FindKey(key);
  if (def == nullptr) {
    std::string known = "Depth";
    for (const KeyDef& d : kKeys) known += std::string(", ") + d.Key;
    throw PresetSettingError("Unknown setting " + Quoted(key) + "; the settings are " + known);
  }
  if ((def->Dialogs & BitOf(dialog)) == 0) {
    std::string accepted;
    for (const std::string& k : PresetKeys(dialog)) {
      if (k == "Compensation" && dialog == StrategyDialog::CircuitBoard) continue;
      accepted += ", " + k;
    }
    throw PresetSettingError(std::string(def->Key) + " is not a setting of the " + dialogName +
                             " dialog; its settings are Depth" + accepted);
  }

  const auto invalid = [&](const std::string& accepted) {
    return PresetSettingError(Quoted(value) + " is not a valid value for " + def->Key + ": give " +
                              accepted);
  };
  std::string text(value);
  switch (def->Type) {
    case Kind::Number: {
      double number = 0.0;
      if (!TryTextToFloatAnySeparator(value, number) || !std::isfinite(number) || number < 0.0)
        throw invalid("a number of 0 or more");
      break;
    }
    case Kind::Integer:
    case Kind::ItemIndex: {
      int number = 0;
      if (!TryTextToInt(value, number) || number < def->Min || number > def->Max)
        throw invalid("a whole number from " + std::to_string(def->Min) + " to " +
                      std::to_string(def->Max));
      text = std::to_string(number);
      break;
    }
    case Kind::Text:
      if (value.find_first_of("\r\n") != std::string_view::npos) throw invalid("text on one line");
      break;
    case Kind::Coolant:
      if (!SameWord(value, "On") && !SameWord(value, "Off")) throw invalid("On or Off");
      break;
    case Kind::Lead:
      if (WordIndex(kLeadWords, value) < 0) throw invalid(WordList(kLeadWords));
      break;
    case Kind::PocketFinish:
      if (WordIndex(kFinishWords, value) < 0) throw invalid(WordList(kFinishWords));
      break;
    case Kind::Compensation:
      if (WordIndex(kCompensationWords, value) < 0) throw invalid(WordList(kCompensationWords));
      break;
    case Kind::Boolean:
      if (!SameWord(value, "True") && !SameWord(value, "False")) throw invalid("True or False");
      break;
  }
  SetFromText(*def, dialog, text, fields);
}

void ApplyPresetSetting(StrategyDialog dialog, std::string_view assignment,
                        StrategyDialogFields& fields) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string_view::npos || Trim(assignment.substr(0, eq)).empty())
    throw PresetSettingError("Setting " + Quoted(assignment) + " should have the form KEY=VALUE");
  ApplyPresetSetting(dialog, assignment.substr(0, eq), assignment.substr(eq + 1), fields);
}

}  // namespace tarnak
