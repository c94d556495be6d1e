#include "post/post_definition.h"

#include <system_error>
#include <utility>

#include "base/numbers.h"
#include "base/profile_file.h"
#include "base/text.h"

namespace tarnak {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTokenSlotNames[kTokenCount] = {
    "Xt", "Yt", "Zt", "It", "Jt", "Rt", "Nt", "Ft",
    "St", "Tt", "Ct", "Misc1t", "Misc2t", "Misc3t", "Misc4t", "Misc5t"};

constexpr std::string_view kVariableNames[kVariableCount] = {
    "(none)", "Sx", "Sy", "Sz", "Ex", "Ey", "Ez", "Sa", "Ea", "Rad",
    "Cx", "Cy", "Ii", "Ji", "Cv", "Nv", "Fr", "Ss", "Tn"};

// Defaults of the keys that are missing from a section.
constexpr std::string_view kDefaultExtension = "Dnc";
constexpr std::string_view kDefaultComment = "(";
constexpr int kDefaultMaxBlock = 99999999;
constexpr std::string_view kDefaultDecimalCharacter = "T";

// A whole decimal number; unlike a cleared edit field, empty text is none.
bool StrictInteger(std::string_view text, int& value) {
  const std::string_view t = TrimBlanks(text);
  if (t.empty() || t == "-" || t == "+") return false;
  return TryTextToInt(t, value);
}

[[noreturn]] void ThrowNotInteger(std::string_view text) {
  throw ConvertError("'" + std::string(text) + "' is not a valid integer value");
}

int ScriptItemToken(std::string_view field) {
  const std::string_view t = TrimBlanks(field);
  if (t.empty() || t == kNullCommand) return 0;
  int value = 0;
  if (!StrictInteger(t, value)) ThrowNotInteger(field);
  // The NC writer looks the slot up among the 16 tokens; a negative number
  // means the script's Command.
  if (value >= kTokenCount) {
    throw ConvertError("'" + std::string(field) + "' is not a token slot (0 to " +
                       std::to_string(kTokenCount - 1) + ")");
  }
  return value;
}

std::string Numbered(std::string_view prefix, int number) {
  return std::string(prefix) + std::to_string(number);
}

class SectionReader {
 public:
  SectionReader(ProfileFile& file, std::string_view section, std::string_view name)
      : file_(file), section_(section), name_(name) {}

  std::string String(std::string_view key, std::string_view defaultValue) {
    return file_.ReadString(section_, key, defaultValue);
  }
  bool Exists(std::string_view key) { return file_.ValueExists(section_, key); }

  // Lines key0, key1, ... up to the first missing number, at most 26.
  void Lines(std::string_view prefix, std::vector<std::string>& lines) {
    lines.clear();
    for (int i = 0; i < kMaxPostLines; ++i) {
      const std::string key = Numbered(prefix, i);
      if (!Exists(key)) break;
      lines.push_back(String(key, ""));
    }
  }

  [[noreturn]] void Fail(std::string_view key, std::string_view value, std::string_view why) {
    throw PostError("Cannot load post \"" + name_ + "\" from '" + file_.path().string() +
                    "': " + std::string(key) + "=" + std::string(value) + ": " + std::string(why));
  }

 private:
  ProfileFile& file_;
  std::string section_;
  std::string name_;
};

void ApplyTokenLine(SectionReader& reader, std::string_view key, const std::string& line,
                    TTNToken& token) {
  const std::vector<std::string> fields = SplitFields(line);
  if (fields.size() <= 3) return;
  int variable = 0;
  if (!StrictInteger(fields[0], variable)) {
    reader.Fail(key, line, "'" + fields[0] + "' is not a valid integer value");
  }
  token.Variable = variable;
  token.Designation = fields[1];
  token.Format = fields[2];
  token.Plus = !(fields[3] == "F" || fields[3] == "f");
}

void ApplyScriptLine(SectionReader& reader, std::string_view key, TTNScript& script) {
  const std::string line = reader.String(key, "");
  try {
    ParseScriptLine(SplitFields(line), script);
  } catch (const ConvertError& e) {
    reader.Fail(key, line, e.what());
  }
}

// ---- writing ----------------------------------------------------------

bool HasLineBreak(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Characters as the settings file counts them when it cuts long values.
std::size_t CharacterCount(std::string_view s) {
  std::size_t count = 0;
  for (const char c : s) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

class SaveCheck {
 public:
  explicit SaveCheck(std::string_view name) : name_(name) {}

  void Value(std::string_view what, std::string_view value) {
    if (HasLineBreak(value)) Fail(std::string(what) + " holds a line break");
    if (CharacterCount(value) > ProfileFile::kMaxValueLength) {
      Fail(std::string(what) + " is longer than " + std::to_string(ProfileFile::kMaxValueLength) +
           " characters");
    }
  }
  // A field of a token or script line: the line is split at '*'.
  void Field(std::string_view what, std::string_view value) {
    if (value.find('*') != std::string_view::npos) {
      Fail(std::string(what) + " \"" + std::string(value) + "\" contains '*'");
    }
  }
  void Lines(std::string_view prefix, const std::vector<std::string>& lines) {
    if (lines.size() > static_cast<std::size_t>(kMaxPostLines)) {
      Fail("the " + std::string(prefix) + " has " + std::to_string(lines.size()) +
           " lines; at most " + std::to_string(kMaxPostLines) + " can be kept");
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      Value(std::string(prefix) + " line " + std::to_string(i + 1), lines[i]);
    }
  }

  [[noreturn]] void Fail(const std::string& why) {
    throw PostError("Cannot save post \"" + name_ + "\": " + why + ".");
  }

 private:
  std::string name_;
};

void CheckScript(SaveCheck& check, const TTNScript& script, const std::string& label) {
  check.Field(label + " command", script.Command);
  for (const TTNScriptItem& item : script.Items) {
    if (item.Token >= kTokenCount) {
      check.Fail(label + " uses token " + std::to_string(item.Token) + ", which does not exist");
    }
  }
  check.Value(label, ScriptLine(script));
}

bool IsEmptyScript(const TTNScript& script) { return script.Command.empty() && script.Items.empty(); }

void CheckSavable(const TTNPostProcessor& def, std::string_view name, PostSaveKeys keys) {
  SaveCheck check(name);
  const std::string_view trimmed = TrimBlanks(name);
  if (trimmed.empty()) check.Fail("a post needs a name");
  if (trimmed == "New") check.Fail("\"New\" is not a name a post can be loaded by");
  if (HasLineBreak(name)) check.Fail("the name holds a line break");
  check.Value("Extension", def.Extension);
  check.Value("Comment", def.Comment);
  check.Value("EndComment", def.EndComment);
  for (int slot = 0; slot < kTokenCount; ++slot) {
    const TTNToken& token = def.Tokens[static_cast<std::size_t>(slot)];
    const std::string label = "the token " + std::string(TokenSlotName(slot));
    check.Field(label + " address", token.Designation);
    check.Field(label + " format", token.Format);
    check.Value(label, TokenLine(token));
  }
  for (int slot = 0; slot < kScriptCount; ++slot) {
    CheckScript(check, def.Scripts[static_cast<std::size_t>(slot)],
                "the script Scripts" + std::to_string(slot));
  }
  check.Lines("Header", def.Header);
  check.Lines("Footer", def.Footer);
  if (keys != PostSaveKeys::All) return;
  check.Value("ToolChange", def.ToolChange);
  check.Lines("ToolHeader", def.ToolBlock.ToolHeader);
  check.Lines("ToolFooter", def.ToolBlock.ToolFooter);
  for (int slot = 0; slot < kToolScriptCount; ++slot) {
    const TTNScript& script = def.ToolBlock.ToolScripts[static_cast<std::size_t>(slot)];
    if (!IsEmptyScript(script)) {
      CheckScript(check, script, "the tool script ToolScripts" + std::to_string(slot));
    }
  }
}

}  // namespace

std::string_view TokenSlotName(int slot) {
  if (slot < 0 || slot >= kTokenCount) return {};
  return kTokenSlotNames[slot];
}

std::string_view VariableName(int variable) {
  if (variable < 0 || variable >= kVariableCount) return {};
  return kVariableNames[variable];
}

void CreatePostDefinition(TTNPostProcessor& def) {
  def.Header.clear();
  def.Footer.clear();
  def.ToolBlock.ToolHeader.clear();
  def.ToolBlock.ToolFooter.clear();
}

void FreePostDefinition(TTNPostProcessor& def) {
  std::vector<std::string>().swap(def.Header);
  std::vector<std::string>().swap(def.Footer);
  std::vector<std::string>().swap(def.ToolBlock.ToolHeader);
  std::vector<std::string>().swap(def.ToolBlock.ToolFooter);
}

bool TextToBool(std::string_view text) {
  return !text.empty() && (text.front() == 'T' || text.front() == 't');
}

std::vector<std::string> SplitFields(std::string_view text, char separator) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      // A separator at the very end ends the last field without opening
      // another; an empty text is one empty field.
      if (start < text.size() || fields.empty()) fields.emplace_back(text.substr(start));
      break;
    }
    fields.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

void ParseScriptLine(const std::vector<std::string>& fields, TTNScript& script) {
  if (fields.size() < 3) {
    script.Items.clear();
    return;
  }
  // Built aside so that a bad field leaves the script as it was.
  TTNScriptArray items;
  for (std::size_t i = 2; i + 1 < fields.size(); i += 2) {
    items.push_back(TTNScriptItem{ScriptItemToken(fields[i]), TextToBool(fields[i + 1])});
  }
  script.Command = fields[1];
  script.Items = std::move(items);
}

bool LoadPostDefinition(TTNPostProcessor& def, std::string_view name, const fs::path& path) {
  if (name.empty() || name == "New") return false;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  ProfileFile file(path);
  if (!file.SectionExists(name)) return false;
  SectionReader reader(file, name, name);

  def.Extension = reader.String("Extension", kDefaultExtension);
  def.ToolChange = reader.String("ToolChange", "");
  def.Comment = reader.String("Comment", kDefaultComment);
  def.EndComment = reader.String("EndComment", "");
  def.IncludeComment = file.ReadBool(name, "IncludeComment", true);
  def.MaxBlock = file.ReadInteger(name, "MaxBlock", kDefaultMaxBlock);
  def.Start = file.ReadInteger(name, "Start", 1);
  def.Increment = file.ReadInteger(name, "Increment", 1);
  if (def.Increment < 0) def.Increment = 1;
  def.DecimalPoint = TextToBool(reader.String("DecimalCharacter", kDefaultDecimalCharacter));
  // Every number the program writes or reads as text follows the post.
  SetDecimalSeparator(def.DecimalPoint ? '.' : ',');
  def.Name = std::string(name);

  for (int slot = 0; slot < kTokenCount; ++slot) {
    const std::string key = Numbered("Tokens", slot);
    if (reader.Exists(key)) {
      ApplyTokenLine(reader, key, reader.String(key, ""), def.Tokens[static_cast<std::size_t>(slot)]);
    }
  }
  for (int slot = 0; slot < kScriptCount; ++slot) {
    const std::string key = Numbered("Scripts", slot);
    if (reader.Exists(key)) ApplyScriptLine(reader, key, def.Scripts[static_cast<std::size_t>(slot)]);
  }

  reader.Lines("Header", def.Header);
  reader.Lines("Footer", def.Footer);
  reader.Lines("ToolHeader", def.ToolBlock.ToolHeader);
  reader.Lines("ToolFooter", def.ToolBlock.ToolFooter);

  for (int slot = 0; slot < kToolScriptCount; ++slot) {
    TTNScript& script = def.ToolBlock.ToolScripts[static_cast<std::size_t>(slot)];
    script = TTNScript{};
    const std::string key = Numbered("ToolScripts", slot);
    if (reader.Exists(key)) ApplyScriptLine(reader, key, script);
  }
  return true;
}

std::string TokenLine(const TTNToken& token) {
  return std::to_string(token.Variable) + "*" + token.Designation + "*" + token.Format + "*" +
         (token.Plus ? "T" : "F");
}

std::string ScriptLine(const TTNScript& script) {
  std::string line = "F*" + script.Command;
  for (const TTNScriptItem& item : script.Items) {
    line += "*" + std::to_string(item.Token) + "*" + (item.Modal ? "T" : "F");
  }
  // Without items the line would have only two fields, and a line that
  // short leaves the Command unread; an empty third field keeps it.
  if (script.Items.empty()) line += "**";
  return line;
}

void SavePostDefinition(const TTNPostProcessor& def, std::string_view name, const fs::path& path,
                        PostSaveKeys keys) {
  CheckSavable(def, name, keys);
  ProfileFile file(path);
  ProfileFile::Update update(file);
  auto put = [&](std::string_view key, std::string_view value) {
    try {
      file.WriteString(name, key, value);
    } catch (const std::invalid_argument& e) {
      throw PostError("Cannot save post \"" + std::string(name) + "\": " + e.what());
    }
  };
  put("Extension", def.Extension);
  put("Comment", def.Comment);
  put("EndComment", def.EndComment);
  put("IncludeComment", def.IncludeComment ? "1" : "0");
  put("MaxBlock", std::to_string(def.MaxBlock));
  put("DecimalCharacter", def.DecimalPoint ? "T" : "F");
  for (int slot = 0; slot < kTokenCount; ++slot) {
    put(Numbered("Tokens", slot), TokenLine(def.Tokens[static_cast<std::size_t>(slot)]));
  }
  for (int slot = 0; slot < kScriptCount; ++slot) {
    put(Numbered("Scripts", slot), ScriptLine(def.Scripts[static_cast<std::size_t>(slot)]));
  }
  auto putLines = [&](std::string_view prefix, const std::vector<std::string>& lines) {
    int number = 0;
    for (const std::string& line : lines) put(Numbered(prefix, number++), line);
    // Lines left from a longer version would be read back after the new ones.
    for (; number < kMaxPostLines; ++number) {
      const std::string key = Numbered(prefix, number);
      if (!file.ValueExists(name, key)) break;
      file.DeleteKey(name, key);
    }
  };
  putLines("Header", def.Header);
  putLines("Footer", def.Footer);
  if (keys == PostSaveKeys::All) {
    put("ToolChange", def.ToolChange);
    put("Start", std::to_string(def.Start));
    put("Increment", std::to_string(def.Increment));
    putLines("ToolHeader", def.ToolBlock.ToolHeader);
    putLines("ToolFooter", def.ToolBlock.ToolFooter);
    for (int slot = 0; slot < kToolScriptCount; ++slot) {
      const TTNScript& script = def.ToolBlock.ToolScripts[static_cast<std::size_t>(slot)];
      const std::string key = Numbered("ToolScripts", slot);
      if (!IsEmptyScript(script)) {
        put(key, ScriptLine(script));
      } else if (file.ValueExists(name, key)) {
        file.DeleteKey(name, key);
      }
    }
  }
  update.Commit();
}

std::vector<std::string> ListPostNames(const fs::path& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return {};
  return ProfileFile(path).ReadSections();
}

bool PostExists(std::string_view name, const fs::path& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return false;
  return ProfileFile(path).SectionExists(name);
}

void DeletePostDefinition(std::string_view name, const fs::path& path) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return;
  ProfileFile(path).EraseSection(name);
}

}  // namespace tarnak
