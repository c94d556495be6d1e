// Windows-style initialisation files ("[Section]" lines followed by
// "key=value" lines), the format of every settings file of the program.
//
// Section and key names are compared without regard to ASCII case; other
// bytes (UTF-8 names) are compared as they are. Blanks around names and
// values are dropped, values are cut to 2047 characters on reading. Lines
// that are not sections or key=value pairs (comments, blank lines, anything
// else) are kept exactly as they were. When a section appears twice, the
// first one is the one that is read and written.
//
// Every change is on disk before the call returns: the whole file is
// written to a temporary file in the same folder, flushed to the disk and
// renamed over the old one, so a crash leaves either the old or the new
// file, never a mixture. The file is re-read whenever it changed on disk
// since the last access, so two ProfileFile objects (or another program)
// working on the same file see each other's changes.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "base/errors.h"

namespace tarnak {

class ProfileFile {
 public:
  // Longest value handed out by ReadString; longer values are cut.
  static constexpr std::size_t kMaxValueLength = 2047;

  // Nothing is read yet: a missing file simply reads as empty, and writing
  // creates it (the folder must exist).
  explicit ProfileFile(std::filesystem::path path);

  const std::filesystem::path& path() const { return path_; }

  // Reading. Missing keys give the default. ReadInteger, ReadFloat and
  // ReadBool also give the default for an empty or unreadable value;
  // ReadFloat takes both '.' and ',' as decimal separator; ReadBool is true
  // for any non-zero integer. Throws FileError when the file exists but
  // cannot be read.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue);
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue);
  double ReadFloat(std::string_view section, std::string_view key, double defaultValue);
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue);

  // Writing. The key is replaced in place or added at the end of its
  // section; a missing section is added at the end of the file. Floats are
  // written with FloatToStr (current decimal separator), booleans as "1" or
  // "0". Throws FileError when the file cannot be written and
  // std::invalid_argument for a name or value that the file could not hold
  // (empty names, line breaks, a key with '=' or starting with '[', ';',
  // '#').
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteFloat(std::string_view section, std::string_view key, double value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  bool SectionExists(std::string_view section);
  bool ValueExists(std::string_view section, std::string_view key);
  // Section names in file order (each name once, as first spelled).
  std::vector<std::string> ReadSections();
  // Key names of a section in file order (each once, as first spelled).
  std::vector<std::string> ReadSection(std::string_view section);

  // Removes the key from its section; nothing happens when it is missing.
  void DeleteKey(std::string_view section, std::string_view key);
  // Removes every section of that name with all its lines (up to the next
  // section); nothing happens when it is missing.
  void EraseSection(std::string_view section);

  // Groups several writes into one save: between BeginUpdate and the
  // matching EndUpdate the changes stay in memory and the file is written
  // once at the end (still through a temporary file renamed into place), so
  // a dialog saving thirty keys neither waits for thirty disk flushes nor
  // leaves a half-updated section when it fails part-way. Updates nest.
  void BeginUpdate();
  void EndUpdate();

  // BeginUpdate/EndUpdate for a scope. The destructor saves what was
  // changed; call Commit() to see a failure as an exception first.
  class Update {
   public:
    explicit Update(ProfileFile& file) : file_(&file) { file_->BeginUpdate(); }
    ~Update() {
      if (file_) {
        try {
          file_->EndUpdate();
        } catch (...) {
          // Nothing can be reported from a destructor; Commit() reports.
        }
      }
    }
    void Commit() {
      ProfileFile* f = file_;
      file_ = nullptr;
      f->EndUpdate();
    }
    Update(const Update&) = delete;
    Update& operator=(const Update&) = delete;

   private:
    ProfileFile* file_;
  };

 private:
  enum class LineKind { Other, Section, Value };
  struct Line {
    std::string text;    // the line as in the file, without its line end
    std::string ending;  // "\r\n", "\n", "\r" or "" (last line)
    LineKind kind = LineKind::Other;
    std::string name;    // section name or key, trimmed
    std::string value;   // trimmed value of a key line
  };
  struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long mtimeSec = 0;
    long long mtimeNsec = 0;
    bool operator==(const FileStamp&) const = default;
  };

  void Refresh();
  void Parse(const std::string& content);
  std::string Serialize() const;
  void Save();
  // Index of the first section header of that name, or -1.
  long FindSection(std::string_view section) const;
  // One past the last line belonging to the section starting at `header`.
  std::size_t SectionEnd(std::size_t header) const;
  // Index of the key's first line in the section starting at `header`, or -1.
  long FindKey(std::size_t header, std::string_view key) const;
  const Line* FindValue(std::string_view section, std::string_view key);
  std::string DefaultEnding() const;

  std::filesystem::path path_;
  std::string content_;  // the bytes lines_ were parsed from
  std::string bom_;      // a UTF-8 byte-order mark at the start, kept on writing
  std::vector<Line> lines_;
  FileStamp stamp_;
  int updateDepth_ = 0;   // open BeginUpdate calls
  bool pending_ = false;  // changes made during an update, not yet saved
  bool loaded_ = false;   // lines_ reflect the file as of stamp_
  bool settled_ = false;  // stamp_ is old enough to detect every later change
};

}  // namespace tarnak
