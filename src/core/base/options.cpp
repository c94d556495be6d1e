#include "base/options.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "base/numbers.h"
#include "base/profile_file.h"
#include "base/user_interface.h"
#include "base/text.h"

namespace tarnak {

namespace {

// What "EndPointTolerence" and "JoinTolerence" have always held; the
// program no longer reads them, but other tools reading the file may.
constexpr double kEndPointTolerance = 0.00005;
constexpr double kJoinTolerance = 0.001;

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Line numbers (1-based) of the keys of the first "Options" section, found
// the way the settings file reader finds them: lines end at CR LF, LF or
// CR, names are trimmed and compared without ASCII case, the first of a
// repeated key counts. Only needed to point at a bad value.
std::map<std::string, int> KeyLines(const std::filesystem::path& file) {
  std::map<std::string, int> lines;
  std::ifstream in(file, std::ios::binary);
  if (!in) return lines;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  std::string_view rest = bytes.view();
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
  const std::string wanted = LowerAscii(kOptionsSection);
  enum { Before, Inside, After } state = Before;
  for (int number = 1; !rest.empty() && state != After; ++number) {
    const std::size_t end = rest.find_first_of("\r\n");
    const std::string_view text = TrimBlanks(rest.substr(0, end));
    if (end == std::string_view::npos) {
      rest = {};
    } else {
      const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
      rest.remove_prefix(end + (crlf ? 2 : 1));
    }
    if (!text.empty() && text.front() == '[') {
      if (state == Inside) {
        state = After;
        continue;
      }
      const std::size_t close = text.rfind(']');
      const std::string_view name =
          TrimBlanks(close == std::string_view::npos || close == 0 ? text.substr(1)
                                                                   : text.substr(1, close - 1));
      if (LowerAscii(name) == wanted) state = Inside;
    } else if (state == Inside && !text.empty() && text.front() != ';' && text.front() != '#') {
      const std::size_t eq = text.find('=');
      if (eq == std::string_view::npos) continue;
      const std::string key = LowerAscii(TrimBlanks(text.substr(0, eq)));
      if (!key.empty()) lines.emplace(key, number);
    }
  }
  return lines;
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// Reads the keys of the "Options" section one by one. A value that cannot
// be used gives the default it was asked with and leaves a message.
class SectionReader {
 public:
  SectionReader(ProfileFile& file, std::vector<std::string>& problems)
      : file_(file), problems_(problems) {}

  bool Bool(std::string_view key, bool def) {
    int value = 0;
    const std::optional<std::string> raw = Raw(key);
    if (!raw) return def;
    if (!TryInteger(*raw, value))
      return Bad(key, *raw, "is not a whole number", def ? "1" : "0", def);
    return value != 0;
  }

  int Integer(std::string_view key, int def, int lowest, int highest) {
    const std::optional<std::string> raw = Raw(key);
    if (!raw) return def;
    int value = 0;
    if (!TryInteger(*raw, value))
      return Bad(key, *raw, "is not a whole number", std::to_string(def), def);
    if (value < lowest || value > highest)
      return Bad(key, *raw,
                 "is outside " + std::to_string(lowest) + " to " + std::to_string(highest),
                 std::to_string(def), def);
    return value;
  }

  Colour ColourValue(std::string_view key, Colour def) {
    const std::optional<std::string> raw = Raw(key);
    if (!raw) return def;
    int value = 0;
    if (!TryInteger(*raw, value))
      return Bad(key, *raw, "is not a whole number", std::to_string(def), def);
    if (value < 0 || static_cast<Colour>(value) > kColourMax)
      return Bad(key, *raw, "is not a colour (0 to 16777215)", std::to_string(def), def);
    return static_cast<Colour>(value);
  }

  EditorStyle Style(std::string_view key, EditorStyle def) {
    const int value = Integer(key, static_cast<int>(def), 0, 2);
    return static_cast<EditorStyle>(value);
  }

  enum class Range { Any, NotNegative, Positive };

  double Float(std::string_view key, double def, Range range) {
    const std::optional<std::string> raw = Raw(key);
    if (!raw) return def;
    double value = 0.0;
    if (TrimBlanks(*raw).empty() || *raw == "-" || !TryTextToFloatAnySeparator(*raw, value))
      return Bad(key, *raw, "is not a number", FloatToStr(def), def);
    if (range == Range::NotNegative && value < 0.0)
      return Bad(key, *raw, "is negative", FloatToStr(def), def);
    if (range == Range::Positive && !(value > 0.0))
      return Bad(key, *raw, "is not above 0", FloatToStr(def), def);
    return value;
  }

  // The file holds percent; the program works with the fraction.
  double Percent(std::string_view key, double defFraction) {
    return Float(key, defFraction * 100.0, Range::NotNegative) / 100.0;
  }

  std::string Text(std::string_view key, const std::string& def) {
    const std::optional<std::string> raw = Raw(key);
    if (!raw) return def;
    if (raw->empty()) return Bad(key, *raw, "is empty", Quoted(def), def);
    return *raw;
  }

 private:
  std::optional<std::string> Raw(std::string_view key) {
    if (!file_.ValueExists(kOptionsSection, key)) return std::nullopt;
    return file_.ReadString(kOptionsSection, key, "");
  }

  static bool TryInteger(const std::string& raw, int& value) {
    if (TrimBlanks(raw).empty() || raw == "-") return false;
    return TryTextToInt(raw, value);
  }

  template <typename T>
  T Bad(std::string_view key, const std::string& raw, const std::string& why,
        const std::string& defText, T def) {
    if (!lines_) lines_ = KeyLines(file_.path());
    std::string where = file_.path().string();
    if (const auto it = lines_->find(LowerAscii(key)); it != lines_->end())
      where += " line " + std::to_string(it->second);
    problems_.push_back(where + ": " + Quoted(key) + " value " + Quoted(raw) + " " + why + "; " +
                        defText + " is used instead.");
    return def;
  }

  ProfileFile& file_;
  std::vector<std::string>& problems_;
  std::optional<std::map<std::string, int>> lines_;
};

void ReadSection(ProfileFile& file, ProgramOptions& o, std::vector<std::string>& problems) {
  const ProgramOptions d = OptionsFileDefaults();
  SectionReader r(file, problems);
  using Range = SectionReader::Range;

  TTNViewOptions& v = o.View;
  v.UnClosed = r.ColourValue("UnClosed", d.View.UnClosed);
  v.UnOpen = r.ColourValue("UnOpen", d.View.UnOpen);
  v.Closed = r.ColourValue("Closed", d.View.Closed);
  v.Island = r.ColourValue("Island", d.View.Island);
  v.Open = r.ColourValue("Open", d.View.Open);
  v.RTool = r.ColourValue("RTool", d.View.RTool);
  v.FTool = r.ColourValue("FTool", d.View.FTool);
  v.Back = r.ColourValue("Back", d.View.Back);
  v.DrawBoundaries = r.Bool("DrawBoundaries", d.View.DrawBoundaries);
  v.MarkDirs = r.Bool("MarkDirs", d.View.MarkDirs);
  v.GridSize = r.Float("GridSize", d.View.GridSize, Range::Positive);

  TTNEditorColouring& e = o.Editor;
  e.CommandColor = r.ColourValue("CommandColor", d.Editor.CommandColor);
  e.AddressColor = r.ColourValue("AddressColor", d.Editor.AddressColor);
  e.CommentColor = r.ColourValue("CommentColor", d.Editor.CommentColor);
  e.CommandStyle = r.Style("CommandStyle", d.Editor.CommandStyle);
  e.AddressStyle = r.Style("AddressStyle", d.Editor.AddressStyle);
  e.CommentStyle = r.Style("CommentStyle", d.Editor.CommentStyle);

  o.RoughTolerances.MinArcLength = r.Float("MinArcLengthRough", 0.0, Range::NotNegative);
  o.RoughTolerances.TanDev = r.Float("TanDevRough", 0.0, Range::NotNegative);
  o.RoughTolerances.MinArcRad = r.Float("MinArcRadRough", 0.0, Range::NotNegative);
  o.FinishTolerances.MinArcLength = r.Float("MinArcLengthFinish", 0.0, Range::NotNegative);
  o.FinishTolerances.TanDev = r.Float("TanDevFinish", 0.0, Range::NotNegative);
  o.FinishTolerances.MinArcRad = r.Float("MinArcRadFinish", 0.0, Range::NotNegative);

  TTNOptions& p = o.Program;
  p.Dir = r.Bool("Dir", d.Program.Dir);
  p.Trace = r.Bool("Trace", d.Program.Trace);
  p.PocketDir = r.Bool("PocketDir", d.Program.PocketDir);
  p.Fix = r.Bool("Fix", d.Program.Fix);
  p.ExpandBlocks = r.Bool("ExpandBlocks", d.Program.ExpandBlocks);
  p.Overlap = r.Percent("Overlap", d.Program.Overlap);
  p.StlOverlap = r.Percent("StlOverlap", d.Program.StlOverlap);
  p.Post = r.Text("Post", d.Program.Post);
  p.Font = r.Text("Font", d.Program.Font);
  p.FontBold = r.Bool("FontBold", d.Program.FontBold);
  p.FontItalic = r.Bool("FontItalic", d.Program.FontItalic);
  p.FontPrecision = r.Integer("FontPrecision", d.Program.FontPrecision,
                              std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  p.STLDepth = r.Float("STLDepth", d.Program.STLDepth, Range::Any);
  p.Air = r.Bool("Air", d.Program.Air);
  p.Offset = r.Integer("Offset", d.Program.Offset, 0, 1000);
  p.NCRead = r.Integer("NCRead", d.Program.NCRead, 0, 1);
}

// Nearest whole number, an exact half going to the even neighbour.
double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  if (std::fabs(value - std::trunc(value)) == 0.5) return 2.0 * std::round(value / 2.0);
  return std::round(value);
}

// Whole percent, written without a decimal separator for every sane value
// and still readable (as a float) for absurd ones.
std::string PercentText(double fraction) { return FloatToStr(RoundHalfEven(fraction * 100.0)); }

bool HasLineBreak(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string RecentFileKey(std::size_t number) { return "File" + std::to_string(number); }

std::vector<std::string> ReadRecentFiles(ProfileFile& file) {
  std::vector<std::string> list;
  for (std::size_t n = 1; n <= kMaxRecentFiles; ++n) {
    const std::string key = RecentFileKey(n);
    if (!file.ValueExists(kRecentFilesSection, key)) break;
    const std::string path = file.ReadString(kRecentFilesSection, key, "");
    bool known = false;
    for (const std::string& p : list) known = known || p == path;
    if (!path.empty() && !known) list.push_back(path);
  }
  return list;
}

void WriteRecentFiles(ProfileFile& file, const std::vector<std::string>& list) {
  for (std::size_t n = 1; n <= kMaxRecentFiles; ++n) {
    if (n <= list.size())
      file.WriteString(kRecentFilesSection, RecentFileKey(n), list[n - 1]);
    else
      file.DeleteKey(kRecentFilesSection, RecentFileKey(n));
  }
}

}  // namespace

ProgramOptions OptionsFileDefaults() {
  ProgramOptions d;
  d.Program.Dir = true;
  d.Program.Trace = false;
  d.Program.PocketDir = true;
  d.Program.StlOverlap = 0.5;
  d.Program.Post = "Default";
  d.Program.Font = "Arial";
  return d;
}

std::filesystem::path OptionsFilePath(const std::filesystem::path& settingsFolder) {
  return settingsFolder / std::string(kOptionsFileName);
}

std::vector<std::string> LoadOptions(ProgramOptions& options, const std::filesystem::path& file) {
  std::vector<std::string> problems;
  ProfileFile profile(file);
  try {
    // Read into a copy: a file that turns unreadable half-way leaves the
    // options as they were rather than half loaded.
    ProgramOptions loaded = options;
    if (profile.SectionExists(kRecentFilesSection)) loaded.RecentFiles = ReadRecentFiles(profile);
    if (profile.SectionExists(kOptionsSection)) ReadSection(profile, loaded, problems);
    options = std::move(loaded);
  } catch (const FileError& e) {
    problems.push_back(std::string(e.what()) + "; the options were not loaded.");
  }
  return problems;
}

void LoadOptions(ProgramOptions& options, const std::filesystem::path& file, UserInterface& ui) {
  const std::vector<std::string> problems = LoadOptions(options, file);
  if (problems.empty()) return;
  std::string text;
  for (const std::string& p : problems) {
    if (!text.empty()) text += "\n";
    text += p;
  }
  ui.Message(text, "Options", MsgButtons::Ok, MsgIcon::Warning);
}

void SaveOptions(ProgramOptions& options, std::string_view postListText,
                 const std::filesystem::path& file) {
  // Checked before anything is written, so that a bad name leaves the file
  // as it was instead of half saved.
  if (HasLineBreak(postListText) || HasLineBreak(options.Program.Font)) {
    throw FileError(file, "Cannot save the options to '" + file.string() +
                              "': the post or font name holds a line break");
  }
  options.Program.Post = std::string(postListText);

  const ProgramOptions& o = options;
  ProfileFile f(file);
  const std::string_view s = kOptionsSection;
  const auto colour = [&](std::string_view key, Colour c) {
    f.WriteInteger(s, key, static_cast<int>(c & kColourMax));
  };
  const auto style = [&](std::string_view key, EditorStyle st) {
    f.WriteInteger(s, key, static_cast<int>(st));
  };
  ProfileFile::Update update(f);
  try {
    colour("UnClosed", o.View.UnClosed);
    colour("UnOpen", o.View.UnOpen);
    colour("Closed", o.View.Closed);
    colour("Open", o.View.Open);
    colour("Island", o.View.Island);
    colour("RTool", o.View.RTool);
    colour("FTool", o.View.FTool);
    colour("Back", o.View.Back);
    colour("CommandColor", o.Editor.CommandColor);
    colour("AddressColor", o.Editor.AddressColor);
    colour("CommentColor", o.Editor.CommentColor);
    style("CommandStyle", o.Editor.CommandStyle);
    style("AddressStyle", o.Editor.AddressStyle);
    style("CommentStyle", o.Editor.CommentStyle);
    f.WriteString(s, "Overlap", PercentText(o.Program.Overlap));
    f.WriteBool(s, "DrawBoundaries", o.View.DrawBoundaries);
    f.WriteBool(s, "MarkDirs", o.View.MarkDirs);
    f.WriteBool(s, "Dir", o.Program.Dir);
    f.WriteBool(s, "PocketDir", o.Program.PocketDir);
    f.WriteBool(s, "Fix", o.Program.Fix);
    f.WriteBool(s, "Trace", o.Program.Trace);
    f.WriteBool(s, "FontBold", o.Program.FontBold);
    f.WriteBool(s, "FontItalic", o.Program.FontItalic);
    f.WriteFloat(s, "EndPointTolerence", kEndPointTolerance);
    f.WriteFloat(s, "JoinTolerence", kJoinTolerance);
    f.WriteFloat(s, "MinArcLengthRough", o.RoughTolerances.MinArcLength);
    f.WriteFloat(s, "MinArcLengthFinish", o.FinishTolerances.MinArcLength);
    f.WriteFloat(s, "MinArcRadRough", o.RoughTolerances.MinArcRad);
    f.WriteFloat(s, "MinArcRadFinish", o.FinishTolerances.MinArcRad);
    f.WriteFloat(s, "TanDevRough", o.RoughTolerances.TanDev);
    f.WriteFloat(s, "TanDevFinish", o.FinishTolerances.TanDev);
    f.WriteString(s, "Post", o.Program.Post);
    f.WriteString(s, "Font", o.Program.Font);
    f.WriteInteger(s, "FontPrecision", o.Program.FontPrecision);
    f.WriteFloat(s, "STLDepth", o.Program.STLDepth);
    f.WriteFloat(s, "GridSize", o.View.GridSize);
    f.WriteString(s, "StlOverlap", PercentText(o.Program.StlOverlap));
    f.WriteInteger(s, "Offset", o.Program.Offset);
    f.WriteBool(s, "Air", o.Program.Air);
    f.WriteInteger(s, "NCRead", o.Program.NCRead);
    f.WriteBool(s, "ExpandBlocks", o.Program.ExpandBlocks);
    WriteRecentFiles(f, o.RecentFiles);
    update.Commit();
  } catch (const std::invalid_argument& e) {
    throw FileError(file, e.what());
  }
}

bool AddRecentFile(std::vector<std::string>& list, const std::string& path) {
  if (path.empty() || HasLineBreak(path) || TrimBlanks(path).size() != path.size() ||
      path.size() > ProfileFile::kMaxValueLength)
    return false;
  std::erase(list, path);
  list.insert(list.begin(), path);
  if (list.size() > kMaxRecentFiles) list.resize(kMaxRecentFiles);
  return true;
}

void SaveRecentFiles(const ProgramOptions& options, const std::filesystem::path& file) {
  ProfileFile f(file);
  ProfileFile::Update update(f);
  try {
    WriteRecentFiles(f, options.RecentFiles);
    update.Commit();
  } catch (const std::invalid_argument& e) {
    throw FileError(file, e.what());
  }
}

}  // namespace tarnak
