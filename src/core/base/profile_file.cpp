#include "base/profile_file.h"

#include <chrono>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/atomic_file.h"
#include "base/numbers.h"
#include "base/text.h"

namespace tarnak {

namespace {

std::string_view Trim(std::string_view s) { return TrimBlanks(s); }

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// Cuts a value to kMaxValueLength characters, counting a UTF-8 sequence as
// one character so that a cut never splits one.
std::string CutValue(const std::string& value) {
  if (value.size() <= ProfileFile::kMaxValueLength) return value;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(value[i]);
    const bool continuation = (c & 0xC0) == 0x80;
    if (!continuation && ++characters > ProfileFile::kMaxValueLength) return value.substr(0, i);
  }
  return value;
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string SystemReason(int error) { return std::strerror(error); }

}  // namespace

ProfileFile::ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

// ---- loading -----------------------------------------------------------

void ProfileFile::BeginUpdate() {
  if (updateDepth_ == 0) Refresh();
  ++updateDepth_;
}

void ProfileFile::EndUpdate() {
  if (updateDepth_ == 0) return;
  if (--updateDepth_ > 0 || !pending_) return;
  pending_ = false;
  Save();
}

void ProfileFile::Refresh() {
  // Inside an update the lines in memory are the newest state.
  if (updateDepth_ > 0) return;
  // Taken before looking at the file: any later change gets a modification
  // time at or after this moment (less the file system's timestamp
  // granularity).
  const long long startNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
  FileStamp now;
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0) {
    now.exists = true;
    now.device = st.st_dev;
    now.inode = st.st_ino;
    now.size = st.st_size;
    now.mtimeSec = st.st_mtim.tv_sec;
    now.mtimeNsec = st.st_mtim.tv_nsec;
  } else if (errno != ENOENT && errno != ENOTDIR) {
    const int error = errno;
    throw FileError(path_, "Cannot read '" + path_.string() + "': " + SystemReason(error));
  }
  if (loaded_ && settled_ && now == stamp_) return;

  std::string content;
  if (now.exists) {
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      if (error != ENOENT) {
        throw FileError(path_, "Cannot read '" + path_.string() + "': " + SystemReason(error));
      }
      now = FileStamp{};
    } else {
      char buffer[65536];
      for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
          const int error = errno;
          ::close(fd);
          throw FileError(path_, "Cannot read '" + path_.string() + "': " + SystemReason(error));
        }
        if (got == 0) break;
        content.append(buffer, static_cast<std::size_t>(got));
      }
      // The stamp of what was actually read, in case the file was replaced
      // between the stat above and the open.
      if (::fstat(fd, &st) == 0) {
        now.device = st.st_dev;
        now.inode = st.st_ino;
        now.size = st.st_size;
        now.mtimeSec = st.st_mtim.tv_sec;
        now.mtimeNsec = st.st_mtim.tv_nsec;
      }
      ::close(fd);
    }
  }
  // Reading is cheap; parsing is what a run of calls on a young file would
  // repeat, so it is done only when the bytes differ.
  if (!loaded_ || content != content_) {
    Parse(content);
    content_ = std::move(content);
  }
  stamp_ = now;
  loaded_ = true;
  // Timestamps are coarse: a file changed again within the same tick keeps
  // its time and may keep its size. Only a file whose last change lies well
  // before this read can be trusted by its stamp; a younger one is read
  // again on every call until it has aged.
  constexpr long long kSettleNs = 2'000'000'000LL;
  settled_ = now.exists && now.mtimeSec * 1'000'000'000LL + now.mtimeNsec + kSettleNs < startNs;
}

void ProfileFile::Parse(const std::string& content) {
  lines_.clear();
  bom_.clear();
  std::string_view rest(content);
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
    bom_ = "\xEF\xBB\xBF";
    rest.remove_prefix(3);
  }
  while (!rest.empty()) {
    Line line;
    const std::size_t end = rest.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      line.text = rest;
      rest = {};
    } else {
      line.text = rest.substr(0, end);
      const std::size_t endingLength = (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n') ? 2 : 1;
      line.ending = rest.substr(end, endingLength);
      rest.remove_prefix(end + endingLength);
    }
    const std::string_view t = Trim(line.text);
    if (!t.empty() && t.front() == '[') {
      // The name runs to the last ']'; a header missing it still starts a
      // section, so that its keys are not taken for the previous one's.
      const std::size_t close = t.rfind(']');
      line.kind = LineKind::Section;
      line.name = Trim(close == std::string_view::npos || close == 0 ? t.substr(1)
                                                                     : t.substr(1, close - 1));
    } else if (!t.empty() && t.front() != ';' && t.front() != '#') {
      const std::size_t eq = t.find('=');
      if (eq != std::string_view::npos && !Trim(t.substr(0, eq)).empty()) {
        line.kind = LineKind::Value;
        line.name = Trim(t.substr(0, eq));
        line.value = Trim(t.substr(eq + 1));
      }
    }
    lines_.push_back(std::move(line));
  }
}

// ---- saving ------------------------------------------------------------

std::string ProfileFile::DefaultEnding() const {
  for (const Line& line : lines_) {
    if (!line.ending.empty()) return line.ending;
  }
  return "\r\n";
}

std::string ProfileFile::Serialize() const {
  const std::string ending = DefaultEnding();
  std::string out = bom_;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].text;
    if (!lines_[i].ending.empty()) out += lines_[i].ending;
    else if (i + 1 < lines_.size()) out += ending;
  }
  return out;
}

void ProfileFile::Save() {
  if (updateDepth_ > 0) {
    pending_ = true;
    return;
  }
  const std::string content = Serialize();
  try {
    // Through a temporary file renamed into place, symbolic links followed.
    AtomicFile::WriteWhole(path_, content);
  } catch (const AtomicFileError& e) {
    loaded_ = false;  // memory may now differ from the disk: read again next time
    throw FileError(path_, e.what());
  }

  // The lines in memory are what is now on disk; the new file is too young
  // for its stamp to tell later changes apart, so the next call reads it.
  content_ = content;
  settled_ = false;
}

// ---- lookups -----------------------------------------------------------

long ProfileFile::FindSection(std::string_view section) const {
  section = Trim(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::Section && SameName(lines_[i].name, section))
      return static_cast<long>(i);
  }
  return -1;
}

std::size_t ProfileFile::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != LineKind::Section) ++i;
  return i;
}

long ProfileFile::FindKey(std::size_t header, std::string_view key) const {
  key = Trim(key);
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == LineKind::Value && SameName(lines_[i].name, key))
      return static_cast<long>(i);
  }
  return -1;
}

const ProfileFile::Line* ProfileFile::FindValue(std::string_view section, std::string_view key) {
  Refresh();
  if (Trim(section).empty() || Trim(key).empty()) return nullptr;
  const long h = FindSection(section);
  if (h < 0) return nullptr;
  const long k = FindKey(static_cast<std::size_t>(h), key);
  return k < 0 ? nullptr : &lines_[static_cast<std::size_t>(k)];
}

// ---- reading -----------------------------------------------------------

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) {
  const Line* line = FindValue(section, key);
  return line ? CutValue(line->value) : std::string(defaultValue);
}

int ProfileFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) {
  const std::string text = ReadString(section, key, "");
  int value = 0;
  if (text.empty() || text == "-" || !TryTextToInt(text, value)) return defaultValue;
  return value;
}

double ProfileFile::ReadFloat(std::string_view section, std::string_view key,
                              double defaultValue) {
  const std::string text = ReadString(section, key, "");
  double value = 0.0;
  if (text.empty() || text == "-" || !TryTextToFloatAnySeparator(text, value)) return defaultValue;
  return value;
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool ProfileFile::SectionExists(std::string_view section) {
  Refresh();
  return !Trim(section).empty() && FindSection(section) >= 0;
}

bool ProfileFile::ValueExists(std::string_view section, std::string_view key) {
  return FindValue(section, key) != nullptr;
}

std::vector<std::string> ProfileFile::ReadSections() {
  Refresh();
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (line.kind != LineKind::Section || line.name.empty()) continue;
    bool seen = false;
    for (const std::string& n : names) seen = seen || SameName(n, line.name);
    if (!seen) names.push_back(line.name);
  }
  return names;
}

std::vector<std::string> ProfileFile::ReadSection(std::string_view section) {
  Refresh();
  std::vector<std::string> keys;
  if (Trim(section).empty()) return keys;
  const long h = FindSection(section);
  if (h < 0) return keys;
  const std::size_t end = SectionEnd(static_cast<std::size_t>(h));
  for (std::size_t i = static_cast<std::size_t>(h) + 1; i < end; ++i) {
    if (lines_[i].kind != LineKind::Value) continue;
    bool seen = false;
    for (const std::string& k : keys) seen = seen || SameName(k, lines_[i].name);
    if (!seen) keys.push_back(lines_[i].name);
  }
  return keys;
}

// ---- writing -----------------------------------------------------------

void ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || HasLineBreak(section))
    throw std::invalid_argument("Invalid section name '" + std::string(section) + "' for '" +
                                path_.string() + "'");
  if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos ||
      key.front() == '[' || key.front() == ';' || key.front() == '#')
    throw std::invalid_argument("Invalid key name '" + std::string(key) + "' for '" +
                                path_.string() + "'");
  if (HasLineBreak(value))
    throw std::invalid_argument("The value of '" + std::string(key) + "' for '" +
                                path_.string() + "' holds a line break");

  Refresh();
  const long h = FindSection(section);
  if (h < 0) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Line{});
    Line header;
    header.text = "[" + std::string(section) + "]";
    header.kind = LineKind::Section;
    header.name = section;
    lines_.push_back(std::move(header));
  }
  const std::size_t headerIndex = h < 0 ? lines_.size() - 1 : static_cast<std::size_t>(h);
  const long k = FindKey(headerIndex, key);
  if (k >= 0) {
    Line& line = lines_[static_cast<std::size_t>(k)];
    if (line.value == value) return;  // already on disk as asked
    line.text = line.name + "=" + std::string(value);
    line.value = Trim(value);
  } else {
    // After the section's last key, so that blank lines and comments that
    // lead into the next section stay where they are.
    std::size_t at = headerIndex + 1;
    const std::size_t end = SectionEnd(headerIndex);
    for (std::size_t i = headerIndex + 1; i < end; ++i) {
      if (lines_[i].kind == LineKind::Value) at = i + 1;
    }
    Line line;
    line.text = std::string(key) + "=" + std::string(value);
    line.kind = LineKind::Value;
    line.name = key;
    line.value = Trim(value);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
  }
  // Every line a writer adds must end, including the last.
  const std::string ending = DefaultEnding();
  for (Line& line : lines_) {
    if (line.ending.empty()) line.ending = ending;
  }
  Save();
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  WriteString(section, key, FloatToStr(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
  Refresh();
  if (Trim(section).empty() || Trim(key).empty()) return;
  const long h = FindSection(section);
  if (h < 0) return;
  bool removed = false;
  for (long k; (k = FindKey(static_cast<std::size_t>(h), key)) >= 0;) {
    lines_.erase(lines_.begin() + k);
    removed = true;
  }
  if (removed) Save();
}

void ProfileFile::EraseSection(std::string_view section) {
  Refresh();
  if (Trim(section).empty()) return;
  bool removed = false;
  for (long h; (h = FindSection(section)) >= 0;) {
    const std::size_t end = SectionEnd(static_cast<std::size_t>(h));
    lines_.erase(lines_.begin() + h, lines_.begin() + static_cast<std::ptrdiff_t>(end));
    removed = true;
  }
  if (removed) Save();
}

}  // namespace tarnak
