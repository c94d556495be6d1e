#include "editor/renumber.h"

#include "base/numbers.h"

namespace tarnak {

namespace {
bool BeginsWith(const std::string& line, std::string_view prefix) {
  return !prefix.empty() && std::string_view(line).substr(0, prefix.size()) == prefix;
}
}  // namespace

void RemoveLineNumbers(std::vector<std::string>& lines, const TTNPostProcessor& post) {
  const std::string& nt = post.Tokens[TokenSlot::Nt].Designation;
  for (std::string& line : lines) {
    if (!BeginsWith(line, nt)) continue;
    for (std::size_t i = 1; i < line.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(line[i]);
      const bool keep = (c >= 1 && c <= 32) || c == '.' || (c >= '0' && c <= '9');
      if (!keep) {
        line.erase(0, i);
        break;
      }
    }
  }
}

void AddLineNumbers(std::vector<std::string>& lines, const TTNPostProcessor& post,
                    const RenumberSettings& settings) {
  const int start = TextToInt(settings.Start);
  const int increment = TextToInt(settings.Increment);
  // Wide enough that start - increment and the sums cannot overflow.
  long long n = static_cast<long long>(start) - increment;
  const TTNToken& nt = post.Tokens[TokenSlot::Nt];
  for (std::string& line : lines) {
    if (BeginsWith(line, post.Comment)) continue;
    n += increment;
    if (n > post.MaxBlock) n = start;
    std::string prefix = FormatTokenValue(nt, static_cast<double>(n));
    if (settings.AddSpace) prefix += ' ';
    line.insert(0, prefix);
  }
}

void Renumber(std::vector<std::string>& lines, const TTNPostProcessor& post,
              const RenumberSettings& settings) {
  RemoveLineNumbers(lines, post);
  AddLineNumbers(lines, post, settings);
}

std::vector<std::string> SplitLines(std::string_view text, bool& crlf) {
  std::vector<std::string> lines;
  crlf = text.find("\r\n") != std::string_view::npos;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t lf = text.find('\n', from);
    if (lf == std::string_view::npos) lf = text.size();
    std::size_t end = lf;
    if (end > from && text[end - 1] == '\r') --end;
    lines.emplace_back(text.substr(from, end - from));
    from = lf + 1;
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines, bool crlf) {
  std::string out;
  for (const std::string& l : lines) {
    out += l;
    out += crlf ? "\r\n" : "\n";
  }
  return out;
}

}  // namespace tarnak
