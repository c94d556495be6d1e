#include "base/settings_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <unistd.h>

namespace tarnak {
namespace {

namespace fs = std::filesystem;

// Each test gets its own scratch folder and finds the environment as it was.
class SettingsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVariables) {
      const char* value = std::getenv(name);
      saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    }
    std::random_device rd;
    scratch_ = fs::temp_directory_path() /
               ("tarnak_settings_" + std::to_string(::getpid()) + "_" + std::to_string(rd()));
    fs::create_directories(scratch_ / "bin");
    exe_ = scratch_ / "bin" / "tarnak";
    std::ofstream(exe_) << "";
    ::unsetenv("TARNAK_HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", (scratch_ / "home").c_str(), 1);
  }
  void TearDown() override {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) ::setenv(kVariables[i], saved_[i]->c_str(), 1);
      else ::unsetenv(kVariables[i]);
    }
    std::error_code ec;
    fs::remove_all(scratch_, ec);
  }

  static constexpr const char* kVariables[] = {"TARNAK_HOME", "XDG_CONFIG_HOME", "HOME"};
  std::vector<std::optional<std::string>> saved_;
  fs::path scratch_;
  fs::path exe_;
};

TEST_F(SettingsFolderTest, DefaultsToTheConfigFolderUnderHomeAndCreatesIt) {
  const fs::path expected = scratch_ / "home" / ".config" / "tarnak";
  EXPECT_EQ(SettingsFolder(exe_), expected);
  EXPECT_TRUE(fs::is_directory(expected));
}

TEST_F(SettingsFolderTest, XdgConfigHomeWhenAbsolute) {
  ::setenv("XDG_CONFIG_HOME", (scratch_ / "xdg").c_str(), 1);
  EXPECT_EQ(SettingsFolder(exe_), scratch_ / "xdg" / "tarnak");
  EXPECT_TRUE(fs::is_directory(scratch_ / "xdg" / "tarnak"));
  ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(SettingsFolder(exe_), scratch_ / "home" / ".config" / "tarnak");
  ::setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(SettingsFolder(exe_), scratch_ / "home" / ".config" / "tarnak");
}

TEST_F(SettingsFolderTest, ProgramFolderHoldingPostsCfgIsUsed) {
  std::ofstream(scratch_ / "bin" / "Posts.Cfg") << "[Default]\r\n";
  EXPECT_EQ(SettingsFolder(exe_), scratch_ / "bin");
  EXPECT_FALSE(fs::exists(scratch_ / "home"));
}

TEST_F(SettingsFolderTest, TarnakHomeComesFirstUnlessEmpty) {
  std::ofstream(scratch_ / "bin" / "Posts.Cfg") << "";
  ::setenv("TARNAK_HOME", (scratch_ / "mine").c_str(), 1);
  EXPECT_EQ(SettingsFolder(exe_), scratch_ / "mine");
  EXPECT_TRUE(fs::is_directory(scratch_ / "mine"));
  ::setenv("TARNAK_HOME", "", 1);
  EXPECT_EQ(SettingsFolder(exe_), scratch_ / "bin");
}

TEST_F(SettingsFolderTest, ExecutablePathIsThisProgram) {
  const fs::path self = ExecutablePath();
  ASSERT_FALSE(self.empty());
  EXPECT_TRUE(self.is_absolute());
  EXPECT_TRUE(fs::is_regular_file(self));
  EXPECT_TRUE(fs::equivalent(self, "/proc/self/exe"));
}

}  // namespace
}  // namespace tarnak
