// Settings files are never seen half-written: a save killed at any moment
// leaves the old or the new file, the next save clears what the killed one
// left behind, links stay links and failures name the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

#include "kill_while_writing.h"
#include "test_files.h"
#include "base/atomic_file.h"
#include "base/profile_file.h"

namespace tarnak {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) { return testing::ReadAll(p); }
void Put(const fs::path& p, const std::string& text) { testing::WriteAll(p, text); }
int Temporaries(const fs::path& folder) { return testing::TemporariesIn(folder); }

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    folder_ = fs::temp_directory_path() /
              ("tarnak_atomic_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  fs::path folder_;
};

TEST_F(AtomicFileTest, SettingsSaveKilledAtRandomMomentsLeavesTheOldOrTheNewFile) {
  // A settings file big enough for a save to take a while.
  std::string old = "[LAST]\r\n";
  for (int i = 0; i < 20000; ++i) old += "Key" + std::to_string(i) + "=value number " + std::to_string(i) + "\r\n";
  const fs::path file = folder_ / "Configurations.cfg";
  const auto save = [&] { ProfileFile(file).WriteString("LAST", "Key7", "changed"); };

  Put(file, old);
  save();
  const std::string fresh = Read(file);
  ASSERT_NE(fresh, old);
  ASSERT_EQ(Temporaries(folder_), 0);

  Put(file, old);
  const auto full = testing::TimeOfOneWrite(save);
  std::mt19937 rng(17);
  std::uniform_int_distribution<long> delay(0, full.count() * 2);
  int kept = 0, replaced = 0;
  for (int run = 0; run < 50; ++run) {
    Put(file, old);
    testing::RunAndKill(save, std::chrono::microseconds(delay(rng)));
    const std::string now = Read(file);
    ASSERT_TRUE(now == old || now == fresh) << "run " << run << ": " << now.size() << " bytes";
    (now == old ? kept : replaced)++;
  }
  // Under load a save may outlast every delay; a kill that never lands
  // mid-write, though, would prove nothing.
  EXPECT_GT(kept, 0) << "no save was stopped: the test proves nothing";
  RecordProperty("replaced", replaced);

  // What killed saves left behind goes with the next save; a temporary
  // file of a program still running (process 1) stays.
  const fs::path living = folder_ / ".Configurations.cfg.tmp1-0";
  Put(living, "x");
  save();
  EXPECT_EQ(Read(file), fresh);
  EXPECT_EQ(Temporaries(folder_), 1);
  EXPECT_TRUE(fs::exists(living));
}

TEST_F(AtomicFileTest, LinksDevicesAndFailures) {
  // A linked settings file is written through the link.
  fs::create_directories(folder_ / "real");
  const fs::path target = folder_ / "real" / "Options.cfg";
  const fs::path link = folder_ / "Options.cfg";
  Put(target, "[Options]\r\nPost=Default\r\n");
  fs::create_symlink(fs::path("real") / "Options.cfg", link);
  ProfileFile(link).WriteString("Options", "Post", "Hobby");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Read(target), "[Options]\r\nPost=Hobby\r\n");
  EXPECT_EQ(Temporaries(folder_ / "real"), 0);

  // Appending keeps the old content in front; a write not committed leaves
  // the file alone and no temporary file.
  const fs::path nc = folder_ / "part.nc";
  Put(nc, "old\r\n");
  {
    AtomicFile f(nc, AtomicFile::Mode::Append);
    f.Write("new\r\n");
    EXPECT_EQ(Read(nc), "old\r\n");
    f.Commit();
  }
  EXPECT_EQ(Read(nc), "old\r\nnew\r\n");
  {
    AtomicFile f(nc);
    f.Write("lost");
  }
  EXPECT_EQ(Read(nc), "old\r\nnew\r\n");
  EXPECT_EQ(Temporaries(folder_), 0);

  // A device is written into, not replaced.
  AtomicFile::WriteWhole("/dev/null", "nothing");
  EXPECT_FALSE(fs::is_regular_file("/dev/null"));

  // Failures name the file and the reason and leave the old file.
  struct Case {
    fs::path Path;
    const char* Reason;
  };
  for (const Case& c : {Case{folder_ / "no folder" / "a.cfg", "No such file or directory"},
                        Case{folder_, "Is a directory"}}) {
    try {
      AtomicFile::WriteWhole(c.Path, "x");
      ADD_FAILURE() << c.Path << ": no error";
    } catch (const AtomicFileError& e) {
      EXPECT_EQ(e.file(), c.Path);
      EXPECT_NE(std::string(e.what()).find(c.Path.string()), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos) << e.what();
    }
  }
  if (fs::exists("/dev/full")) {
    EXPECT_THROW(AtomicFile::WriteWhole("/dev/full", "x"), AtomicFileError);
  }
}

}  // namespace
}  // namespace tarnak
