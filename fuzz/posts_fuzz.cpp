// Feeds arbitrary bytes to the post definition loader as "Posts.Cfg" and
// spells every token of every post it loads with FormatToken: neither may
// crash, hang or read out of bounds; refusing a token is an answer.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "post/post_definition.h"
#include "settings_fuzz_util.h"
#include "base/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path file = tarnak::fuzz::InputFile("Posts.Cfg", data, size);
  tarnak::TTNVariables values{};
  const double samples[] = {0.0, 1.5, -3.25, 12345.678, -0.0005, 99999.0, 1e-9};
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = samples[i % 7];
  for (const std::string& name : tarnak::ListPostNames(file)) {
    tarnak::TTNPostProcessor post;
    try {
      (void)tarnak::LoadPostDefinition(post, name, file);
    } catch (const std::exception&) {
      // What was read before the bad line stays applied: spell that too.
    }
    for (const tarnak::TTNToken& token : post.Tokens) {
      for (double v : samples) {
        try {
          (void)tarnak::FormatTokenValue(token, v);
        } catch (const std::exception&) {
        }
      }
      try {
        (void)tarnak::FormatToken(token, values);
      } catch (const std::exception&) {
      }
    }
  }
  // Loading set the decimal separator; the next input starts afresh.
  tarnak::SetDecimalSeparator('.');
  return 0;
}
