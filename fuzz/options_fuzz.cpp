// Feeds arbitrary bytes to the settings-file service as "Options.cfg" and
// loads the options from it: neither may crash, hang or read out of
// bounds, and what the service writes it must read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "settings_fuzz_util.h"
#include "base/options.h"
#include "base/profile_file.h"

namespace {

bool SameAsciiName(const std::string& a, const char* b) {
  const std::string_view other(b);
  if (a.size() != other.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (fold(a[i]) != fold(other[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path file = tarnak::fuzz::InputFile("Options.cfg", data, size);
  tarnak::ProgramOptions options;
  (void)tarnak::LoadOptions(options, file);

  tarnak::ProfileFile ini(file);
  const std::vector<std::string> sections = ini.ReadSections();
  for (const std::string& section : sections) {
    for (const std::string& key : ini.ReadSection(section)) {
      (void)ini.ReadString(section, key, "");
      (void)ini.ReadFloat(section, key, 0.0);
      (void)ini.ReadInteger(section, key, 0);
    }
  }
  // A write is read back as written, and every other key keeps its value.
  if (!sections.empty() && size < 4096) {
    const std::string& section = sections.front();
    const std::vector<std::string> keys = ini.ReadSection(section);
    std::vector<std::string> before;
    for (const std::string& key : keys) before.push_back(ini.ReadString(section, key, ""));
    try {
      ini.WriteString(section, "FuzzKey", "fuzz value");
    } catch (const std::invalid_argument&) {
      return 0;  // a section name the file cannot hold (a line break)
    }
    if (ini.ReadString(section, "FuzzKey", "") != "fuzz value") std::abort();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      // Key names match without regard to ASCII case, so "FUZZKEY" is the
      // same entry and has just been overwritten on purpose.
      if (SameAsciiName(keys[i], "FuzzKey")) continue;
      if (ini.ReadString(section, keys[i], "") != before[i]) std::abort();
    }
  }
  return 0;
}
