#include "base/profile_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "base/numbers.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedSeparator_ = DecimalSeparator();
    SetDecimalSeparator('.');
    std::random_device rd;
    folder_ = fs::temp_directory_path() /
              ("tarnak_profile_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(folder_);
    file_ = folder_ / "Posts.Cfg";
  }
  void TearDown() override {
    SetDecimalSeparator(savedSeparator_);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  void WriteRaw(const std::string& bytes) {
    std::ofstream out(file_, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string ReadRaw() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder_)) names.push_back(e.path().filename().string());
    return names;
  }

  fs::path folder_;
  fs::path file_;

 private:
  char savedSeparator_ = '.';
};

TEST_F(ProfileFileTest, MissingFileReadsAsEmptyAndIsNotCreatedByReading) {
  ProfileFile ini(file_);
  EXPECT_EQ(ini.ReadString("Options", "Post", "Default"), "Default");
  EXPECT_EQ(ini.ReadInteger("Options", "Overlap", 50), 50);
  EXPECT_FALSE(ini.SectionExists("Options"));
  EXPECT_FALSE(ini.ValueExists("Options", "Post"));
  EXPECT_TRUE(ini.ReadSections().empty());
  ini.DeleteKey("Options", "Post");
  ini.EraseSection("Options");
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(ProfileFileTest, NewFileIsWrittenWithCrLf) {
  ProfileFile ini(file_);
  ini.WriteString("Options", "Overlap", "50");
  ini.WriteString("Options", "Post", "Default");
  ini.WriteString("Fanuc", "Extension", "NC");
  EXPECT_EQ(ReadRaw(),
            "[Options]\r\nOverlap=50\r\nPost=Default\r\n\r\n[Fanuc]\r\nExtension=NC\r\n");
  // Every write is on disk at once: a second reader sees it.
  EXPECT_EQ(ProfileFile(file_).ReadString("fanuc", "extension", ""), "NC");
}

TEST_F(ProfileFileTest, NamesIgnoreAsciiCaseOnly) {
  WriteRaw("[Posts]\nExtension=NC\n[Straße]\nGröße=1\n[ポスト]\nキー=値\n");
  ProfileFile ini(file_);
  EXPECT_EQ(ini.ReadString("POSTS", "extension", "?"), "NC");
  EXPECT_TRUE(ini.SectionExists("posts"));
  EXPECT_EQ(ini.ReadString("STRAßE", "GRößE", "?"), "1");
  EXPECT_EQ(ini.ReadString("STRASSE", "Größe", "?"), "?");
  EXPECT_EQ(ini.ReadString("ポスト", "キー", "?"), "値");
  ini.WriteString("posts", "EXTENSION", "TAP");
  EXPECT_EQ(ReadRaw(), "[Posts]\nExtension=TAP\n[Straße]\nGröße=1\n[ポスト]\nキー=値\n");
}

TEST_F(ProfileFileTest, BlanksAroundNamesAndValuesAreDropped) {
  WriteRaw("[ Options ]\r\n  Post  =  Mach 3 mill  \r\n\tTab\t=\tx\t\r\nEmpty=\r\n");
  ProfileFile ini(file_);
  EXPECT_EQ(ini.ReadString("Options", "Post", ""), "Mach 3 mill");
  EXPECT_EQ(ini.ReadString(" Options ", " Tab ", ""), "x");
  EXPECT_TRUE(ini.ValueExists("Options", "Empty"));
  EXPECT_EQ(ini.ReadString("Options", "Empty", "dflt"), "");
  EXPECT_EQ(ini.ReadInteger("Options", "Empty", 9), 9);
  EXPECT_EQ(ini.ReadSection("Options"), (std::vector<std::string>{"Post", "Tab", "Empty"}));
}

TEST_F(ProfileFileTest, ReadsEveryLineEndStyleAndKeepsIt) {
  const std::pair<const char*, const char*> styles[] = {{"\n", "LF"}, {"\r\n", "CRLF"}, {"\r", "CR"}};
  for (const auto& [nl, label] : styles) {
    const std::string n = nl;
    WriteRaw("[A]" + n + "x=1" + n + "[B]" + n + "y=2" + n);
    ProfileFile ini(file_);
    EXPECT_EQ(ini.ReadString("A", "x", ""), "1") << label;
    EXPECT_EQ(ini.ReadString("B", "y", ""), "2") << label;
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"A", "B"})) << label;
    ini.WriteString("A", "z", "3");
    ini.WriteString("C", "w", "4");
    EXPECT_EQ(ReadRaw(), "[A]" + n + "x=1" + n + "z=3" + n + "[B]" + n + "y=2" + n + n + "[C]" + n +
                             "w=4" + n)
        << label;
  }
}

TEST_F(ProfileFileTest, OtherLinesSurviveByteForByte) {
  const std::string head =
      "\xEF\xBB\xBF; settings written by hand\r\n"
      "stray=before any section\r\n"
      "\r\n"
      "[Fanuc]   ; the mill in the back\r\n"
      "# a hash comment\r\n"
      "Extension = NC\r\n"
      "  just some junk without equals  \r\n"
      "=no key\r\n"
      "Header0=%\r\n";
  const std::string tail =
      "\r\n"
      "; next one\r\n"
      "[Haas]\r\n"
      "Extension=TAP";
  WriteRaw(head + tail);
  ProfileFile ini(file_);
  EXPECT_EQ(ini.ReadString("Fanuc", "Extension", ""), "NC");
  EXPECT_FALSE(ini.ValueExists("Fanuc", "just some junk without equals"));
  EXPECT_EQ(ini.ReadSection("Fanuc"), (std::vector<std::string>{"Extension", "Header0"}));
  ini.WriteString("Fanuc", "Header1", "G90");
  EXPECT_EQ(ReadRaw(), head + "Header1=G90\r\n" + tail + "\r\n");
  ini.DeleteKey("Fanuc", "Header1");
  EXPECT_EQ(ReadRaw(), head + tail + "\r\n");
}

TEST_F(ProfileFileTest, ReplacingAValueKeepsItsPlace) {
  WriteRaw("[A]\r\nx=1\r\ny=2\r\n[B]\r\nx=9\r\n");
  ProfileFile ini(file_);
  ini.WriteString("a", "X", "10");
  EXPECT_EQ(ReadRaw(), "[A]\r\nx=10\r\ny=2\r\n[B]\r\nx=9\r\n");
  ini.WriteInteger("A", "y", -5);
  ini.WriteBool("B", "flag", true);
  EXPECT_EQ(ReadRaw(), "[A]\r\nx=10\r\ny=-5\r\n[B]\r\nx=9\r\nflag=1\r\n");
}

TEST_F(ProfileFileTest, LongValuesAreCutOnReading) {
  const std::string longValue(3000, 'a');
  ProfileFile ini(file_);
  ini.WriteString("S", "k", longValue);
  EXPECT_EQ(ini.ReadString("S", "k", ""), std::string(2047, 'a'));
  EXPECT_NE(ReadRaw().find(longValue), std::string::npos);
  ini.WriteString("S", "exact", std::string(2047, 'b'));
  EXPECT_EQ(ini.ReadString("S", "exact", "").size(), 2047u);
  // A multi-byte character counts once and is never split.
  std::string wide;
  for (int i = 0; i < 2100; ++i) wide += "é";
  ini.WriteString("S", "wide", wide);
  EXPECT_EQ(ini.ReadString("S", "wide", ""), wide.substr(0, 2047 * 2));
}

TEST_F(ProfileFileTest, FirstOfDuplicateSectionsAndKeysWins) {
  WriteRaw("[A]\nx=1\nx=5\n[B]\nb=1\n[a]\nx=2\ny=3\n");
  ProfileFile ini(file_);
  EXPECT_EQ(ini.ReadString("A", "x", ""), "1");
  EXPECT_FALSE(ini.ValueExists("A", "y"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(ini.ReadSection("A"), std::vector<std::string>{"x"});
  ini.WriteString("A", "y", "4");
  EXPECT_EQ(ini.ReadString("A", "y", ""), "4");
  ini.DeleteKey("A", "x");
  EXPECT_FALSE(ini.ValueExists("A", "x"));
  EXPECT_EQ(ReadRaw(), "[A]\ny=4\n[B]\nb=1\n[a]\nx=2\ny=3\n");
  ini.EraseSection("a");
  EXPECT_FALSE(ini.SectionExists("A"));
  EXPECT_EQ(ReadRaw(), "[B]\nb=1\n");
}

TEST_F(ProfileFileTest, EraseSectionTakesItsLinesUpToTheNext) {
  WriteRaw("[A]\r\nx=1\r\n; about A\r\n\r\n[B]\r\ny=2\r\n[C]\r\nz=3\r\n");
  ProfileFile ini(file_);
  ini.EraseSection("A");
  EXPECT_EQ(ReadRaw(), "[B]\r\ny=2\r\n[C]\r\nz=3\r\n");
  ini.EraseSection("C");
  EXPECT_EQ(ReadRaw(), "[B]\r\ny=2\r\n");
  ini.EraseSection("missing");
  EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"B"});
}

TEST_F(ProfileFileTest, BrokenHeaderStillEndsThePreviousSection) {
  WriteRaw("[A]\nx=1\n[B\ny=2\n[C]]\nz=3\n");
  ProfileFile ini(file_);
  EXPECT_FALSE(ini.ValueExists("A", "y"));
  EXPECT_EQ(ini.ReadString("B", "y", ""), "2");
  EXPECT_EQ(ini.ReadString("C]", "z", ""), "3");
}

TEST_F(ProfileFileTest, TypedReadsFallBackToTheDefault) {
  WriteRaw(
      "[O]\nI=42\nBad=4x\nNeg=-7\nF=0.5\nComma=1,5\nExp=5E-5\nB1=1\nB0=0\nB2=2\nBx=yes\nDash=-\n");
  ProfileFile ini(file_);
  EXPECT_EQ(ini.ReadInteger("O", "I", 0), 42);
  EXPECT_EQ(ini.ReadInteger("O", "Bad", 3), 3);
  EXPECT_EQ(ini.ReadInteger("O", "Neg", 0), -7);
  EXPECT_EQ(ini.ReadInteger("O", "Dash", 8), 8);
  EXPECT_EQ(ini.ReadInteger("O", "F", 6), 6);
  EXPECT_EQ(ini.ReadFloat("O", "F", 9), 0.5);
  EXPECT_EQ(ini.ReadFloat("O", "Comma", 9), 1.5);  // written under the other separator
  EXPECT_EQ(ini.ReadFloat("O", "Exp", 9), 0.00005);
  EXPECT_EQ(ini.ReadFloat("O", "Bad", 9), 9);
  EXPECT_EQ(ini.ReadFloat("O", "Dash", 9), 9);
  EXPECT_EQ(ini.ReadFloat("O", "Missing", 0.25), 0.25);
  EXPECT_TRUE(ini.ReadBool("O", "B1", false));
  EXPECT_FALSE(ini.ReadBool("O", "B0", true));
  EXPECT_TRUE(ini.ReadBool("O", "B2", false));
  EXPECT_TRUE(ini.ReadBool("O", "Bx", true));
  EXPECT_FALSE(ini.ReadBool("O", "Bx", false));
  SetDecimalSeparator(',');
  EXPECT_EQ(ini.ReadFloat("O", "F", 9), 0.5);
  ini.WriteFloat("O", "W", 0.5);
  ini.WriteFloat("O", "Tol", 0.00005);
  EXPECT_EQ(ini.ReadString("O", "W", ""), "0,5");
  EXPECT_EQ(ini.ReadString("O", "Tol", ""), "5E-5");
  SetDecimalSeparator('.');
  EXPECT_EQ(ini.ReadFloat("O", "W", 9), 0.5);
}

TEST_F(ProfileFileTest, WritesGoThroughATemporaryFileThatIsRenamed) {
  WriteRaw("[A]\r\nx=1\r\n");
  ::chmod(file_.c_str(), 0640);
  // A second name for the old file: replacing the file leaves it untouched,
  // rewriting it in place would not.
  fs::create_hard_link(file_, folder_ / "old");
  ProfileFile ini(file_);
  for (int i = 0; i < 50; ++i) ini.WriteInteger("A", "n" + std::to_string(i % 7), i);
  EXPECT_EQ(ProfileFile(folder_ / "old").ReadSection("A"), std::vector<std::string>{"x"});
  EXPECT_EQ(ini.ReadInteger("A", "n0", -1), 49);
  struct stat after {};
  ASSERT_EQ(::stat(file_.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  std::vector<std::string> entries = FolderEntries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"Posts.Cfg", "old"}));
}

TEST_F(ProfileFileTest, WritingThroughASymbolicLinkKeepsTheLink) {
  const fs::path real = folder_ / "real.cfg";
  fs::create_symlink(real, file_);
  ProfileFile ini(file_);
  ini.WriteString("A", "x", "1");
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_EQ(ProfileFile(real).ReadString("A", "x", ""), "1");
}

TEST_F(ProfileFileTest, FailuresNameTheFileAndTheReason) {
  ProfileFile missingFolder(folder_ / "no such folder" / "Options.cfg");
  try {
    missingFolder.WriteString("Options", "Post", "x");
    FAIL();
  } catch (const FileError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("no such folder/Options.cfg"), std::string::npos) << what;
    EXPECT_NE(what.find("No such file or directory"), std::string::npos) << what;
  }
  ProfileFile folderAsFile(folder_);
  EXPECT_THROW(folderAsFile.ReadString("A", "b", ""), FileError);
  EXPECT_EQ(FolderEntries().size(), 0u);
}

TEST_F(ProfileFileTest, NamesAndValuesTheFileCannotHoldAreRefused) {
  WriteRaw("[A]\r\nx=1\r\n");
  ProfileFile ini(file_);
  EXPECT_THROW(ini.WriteString("A", "x", "1\r\n[Evil]"), std::invalid_argument);
  EXPECT_THROW(ini.WriteString("A", "x=y", "1"), std::invalid_argument);
  EXPECT_THROW(ini.WriteString("A", ";x", "1"), std::invalid_argument);
  EXPECT_THROW(ini.WriteString("A", " ", "1"), std::invalid_argument);
  EXPECT_THROW(ini.WriteString("", "x", "1"), std::invalid_argument);
  EXPECT_THROW(ini.WriteString("A\nB", "x", "1"), std::invalid_argument);
  EXPECT_EQ(ReadRaw(), "[A]\r\nx=1\r\n");
}

TEST_F(ProfileFileTest, ChangesOnDiskAreSeen) {
  ProfileFile first(file_);
  ProfileFile second(file_);
  first.WriteString("A", "x", "1");
  EXPECT_EQ(second.ReadString("A", "x", ""), "1");
  second.WriteString("A", "x", "2");
  EXPECT_EQ(first.ReadString("A", "x", ""), "2");
  // Same size, rewritten in place by some other program.
  WriteRaw("[A]\r\nx=3\r\n");
  EXPECT_EQ(first.ReadString("A", "x", ""), "3");
  fs::remove(file_);
  EXPECT_FALSE(first.SectionExists("A"));
}

// Whatever a file holds, adding a section only appends to it.
TEST_F(ProfileFileTest, ArbitraryContentIsNeverDisturbed) {
  std::mt19937 rng(99);
  const std::string alphabet = "[]=;# \t\r\nabAB\xC3\xA9";
  for (int round = 0; round < 40; ++round) {
    std::string content;
    const int length = static_cast<int>(rng() % 200);
    for (int i = 0; i < length; ++i) content += alphabet[rng() % alphabet.size()];
    WriteRaw(content);
    ProfileFile ini(file_);
    (void)ini.ReadSections();
    ini.WriteString("Zz9New", "key", "value");
    const std::string after = ReadRaw();
    ASSERT_EQ(after.substr(0, content.size()), content) << round;
    ASSERT_EQ(ini.ReadString("zz9new", "KEY", ""), "value") << round;
  }
}

// A file of 20 posts of 100 keys each: every key of the last section is
// found. (How fast is for a benchmark to say, not a timed test.)
TEST_F(ProfileFileTest, LargePostFileFindsEveryKeyOfTheLastSection) {
  std::string content;
  for (int s = 0; s < 20; ++s) {
    content += "[Post" + std::to_string(s) + "]\r\n";
    for (int k = 0; k < 100; ++k)
      content += "Key" + std::to_string(k) + "=" + std::string(40, 'v') + "\r\n";
  }
  WriteRaw(content);
  ProfileFile ini(file_);
  int found = 0;
  for (int k = 0; k < 100; ++k) found += ini.ValueExists("Post19", "Key" + std::to_string(k));
  EXPECT_EQ(found, 100);
}

}  // namespace
}  // namespace tarnak

namespace tarnak {
namespace {

// Writes grouped in an update reach the file once, together.
TEST(ProfileFileUpdate, WritesOnceAtTheEnd) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("tarnak-update-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto path = dir / "Batch.cfg";
  std::filesystem::remove(path);
  {
    ProfileFile f(path);
    ProfileFile::Update update(f);
    f.WriteString("S", "A", "1");
    f.WriteString("S", "B", "2");
    // Reads inside the update see the pending values...
    EXPECT_EQ(f.ReadString("S", "A", ""), "1");
    // ...but nothing is on disk yet.
    EXPECT_FALSE(std::filesystem::exists(path));
    {
      ProfileFile::Update nested(f);
      f.DeleteKey("S", "A");
      nested.Commit();
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    update.Commit();
  }
  ProfileFile again(path);
  EXPECT_FALSE(again.ValueExists("S", "A"));
  EXPECT_EQ(again.ReadString("S", "B", ""), "2");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarnak
