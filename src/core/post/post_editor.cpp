#include "post/post_editor.h"

#include <cctype>
#include <exception>
#include <string>

#include "base/numbers.h"
#include "base/text.h"

namespace tarnak {

namespace {

constexpr int kScriptKinds = kScriptCount / 2;

void Tell(UserInterface& ui, const std::string& text, MsgIcon icon = MsgIcon::Information) {
  ui.Message(text, std::string(kPostEditorCaption), MsgButtons::Ok, icon);
}

bool Ask(UserInterface& ui, const std::string& question) {
  return ui.Message(question, std::string(kPostEditorCaption), MsgButtons::YesNo,
                    MsgIcon::Question) == MsgResult::Yes;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// ---- examples ---------------------------------------------------------------

const std::array<double, kSampleValueCount>& PostEditorSampleValues() {
  static const std::array<double, kSampleValueCount> values = [] {
    std::array<double, kSampleValueCount> v{};
    for (std::size_t k = 1; k < kSampleValueCount; ++k) {
      v[k] = 12.34567890123 + static_cast<double>(k - 1);
    }
    return v;
  }();
  return values;
}

std::string TokenExample(const TTNToken& token) {
  try {
    return FormatToken(token, PostEditorSampleValues());
  } catch (const FormatError& e) {
    return e.what();
  }
}

std::string ScriptExample(const TTNPostProcessor& def, int slot) {
  if (slot < 0 || slot >= kScriptCount) return {};
  const TTNScript& script = def.Scripts[static_cast<std::size_t>(slot)];
  std::string text;
  for (const TTNScriptItem& item : script.Items) {
    if (item.Token < 0) {
      // Any negative slot is the Command, as in NC output.
      if (script.Command != kNullCommand) text += script.Command;
      continue;
    }
    if (item.Token >= kTokenCount) continue;
    const std::string word = TokenExample(def.Tokens[static_cast<std::size_t>(item.Token)]);
    text += item.Modal ? "<" + word + ">" : word;
  }
  return text;
}

// ---- token page -----------------------------------------------------------

TokenPageFields TokenPageOf(const TTNToken& token, std::string_view shownPlaces) {
  TokenPageFields page;
  page.Address = token.Designation;
  page.Variable = token.Variable >= 0 && token.Variable < kVariableCount ? token.Variable : -1;
  page.Plus = token.Plus;
  const std::size_t dot = token.Format.find('.');
  if (dot == std::string::npos) {
    page.Places = std::string(shownPlaces);
  } else {
    // All the digits: a token made with ten places shows "10", so that
    // creating it again keeps them.
    std::size_t end = dot + 1;
    while (end < token.Format.size() && IsDigit(token.Format[end])) ++end;
    page.Places = token.Format.substr(dot + 1, end - dot - 1);
  }
  return page;
}

void CreateToken(TTNToken& token, const TokenPageFields& page) {
  token.Designation = page.Address;
  token.Variable = page.Variable;
  const std::string_view places = TrimBlanks(page.Places);
  int count = 0;
  if (!places.empty()) {
    // A lone sign is no number here, though a field being typed reads it
    // as 0 elsewhere.
    if (places == "-" || places == "+" || !TryTextToInt(places, count)) {
      throw ConvertError("Decimal places: '" + std::string(places) +
                         "' is not a valid integer value");
    }
    // A negative count would make a Format the NC output cannot use.
    if (count < 0 || count > kMaxTokenPlaces) {
      throw ConvertError("Decimal places: '" + std::string(places) +
                         "' is not a number of places from 0 to " +
                         std::to_string(kMaxTokenPlaces));
    }
  }
  token.Format = "%1." + std::to_string(count) + "f";
  token.Plus = page.Plus;
}

void ClearToken(TTNToken& token) {
  token.Designation.clear();
  token.Variable = TokenVar::Cleared;
  token.Format.clear();
}

// ---- script page ----------------------------------------------------------

int ScriptSlotOf(int scriptChoice, int variant) {
  if (scriptChoice < 0 || scriptChoice >= kScriptKinds || variant < 0 || variant > 1) return -1;
  return 2 * scriptChoice + variant;
}

std::string ScriptCommandText(const TTNScript& script) {
  return script.Command == kNullCommand ? std::string() : script.Command;
}

void AddScriptToken(TTNScript& script, int tokenSlot, bool modal) {
  script.Items.push_back(TTNScriptItem{tokenSlot, modal});
}

bool AddScriptCommand(TTNScript& script, std::string_view commandField) {
  if (commandField.empty()) return false;
  script.Items.push_back(TTNScriptItem{kScriptCommandItem, false});
  return true;
}

// ---- general fields, header and footer ----------------------------------

PostGeneralFields GeneralFieldsOf(const TTNPostProcessor& def) {
  PostGeneralFields f;
  f.Extension = def.Extension;
  f.Comment = def.Comment;
  f.EndComment = def.EndComment;
  f.IncludeComment = def.IncludeComment;
  f.MaxBlock = def.MaxBlock;
  f.DecimalPoint = def.DecimalPoint;
  f.Header = LinesText(def.Header);
  f.Footer = LinesText(def.Footer);
  return f;
}

std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

std::string LinesText(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i];
  }
  // A last empty line needs its own line end, or TextLines would not see it.
  if (!lines.empty() && lines.back().empty()) text += '\n';
  return text;
}

TTNPostProcessor PostToSave(const TTNPostProcessor& current, const PostGeneralFields& fields) {
  TTNPostProcessor def = current;
  def.Extension = fields.Extension;
  def.Comment = fields.Comment;
  def.EndComment = fields.EndComment;
  def.IncludeComment = fields.IncludeComment;
  def.MaxBlock = fields.MaxBlock;
  def.DecimalPoint = fields.DecimalPoint;
  def.Header = TextLines(fields.Header);
  def.Footer = TextLines(fields.Footer);
  return def;
}

// ---- commands -------------------------------------------------------------

bool IsEditablePostName(std::string_view name) {
  const std::string_view t = TrimBlanks(name);
  return !t.empty() && t != "None";
}

bool EditorLoadPost(UserInterface& ui, TTNPostProcessor& def, std::string_view name,
                    const std::filesystem::path& postsFile) {
  try {
    if (LoadPostDefinition(def, name, postsFile)) return true;
  } catch (const std::exception& e) {
    Tell(ui, e.what(), MsgIcon::Error);
    return false;
  }
  Tell(ui, "Post Processor " + std::string(name) + " not found!", MsgIcon::Warning);
  return false;
}

bool EditorSavePost(UserInterface& ui, const TTNPostProcessor& current,
                    const PostGeneralFields& fields, std::string_view name,
                    const std::filesystem::path& postsFile) {
  // The settings file drops the blanks around a section name.
  const std::string trimmed(TrimBlanks(name));
  if (!IsEditablePostName(trimmed)) {
    Tell(ui, "Enter a unique name for this processor", MsgIcon::Warning);
    return false;
  }
  try {
    const bool exists = PostExists(trimmed, postsFile);
    if (exists && !Ask(ui, "Post <" + trimmed + "> Exists!  Overwrite it?")) return false;
    // An existing section keeps its hand-maintained keys; a new one gets
    // the current definition's, or the copy would have no tool change.
    SavePostDefinition(PostToSave(current, fields), trimmed, postsFile,
                       exists ? PostSaveKeys::Editor : PostSaveKeys::All);
  } catch (const std::exception& e) {
    Tell(ui, e.what(), MsgIcon::Error);
    return false;
  }
  Tell(ui, trimmed + " Saved!");
  return true;
}

bool EditorDeletePost(UserInterface& ui, std::string_view name,
                      const std::filesystem::path& postsFile) {
  const std::string trimmed(TrimBlanks(name));
  if (!IsEditablePostName(trimmed)) return false;
  if (!Ask(ui, "Are you sure you want to delete " + trimmed)) return false;
  try {
    DeletePostDefinition(trimmed, postsFile);
  } catch (const std::exception& e) {
    Tell(ui, e.what(), MsgIcon::Error);
  }
  return true;
}

}  // namespace tarnak
