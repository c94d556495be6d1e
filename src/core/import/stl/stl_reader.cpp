#include "import/stl/stl_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cerrno>
#include <cfloat>
#include <cstring>
#include <fstream>
#include <new>
#include <system_error>
#include <vector>

namespace tarnak {

namespace {

constexpr uint64_t kHeaderSize = 84;
constexpr uint64_t kFacetSize = 50;
constexpr uint64_t kFacetData = 48;  // without the attribute
// A line is kept up to this length; the rest of it is passed over.
constexpr size_t kMaxLineLength = 4096;
// The detection looks at no more than this much of the file.
constexpr size_t kDetectBytes = 65536;

class FileSource : public StlByteSource {
 public:
  FileSource(const std::string& path) : path_(path), in_(path, std::ios::binary) {
    if (!in_) {
      const int error = errno;
      throw StlReadError("Cannot open file \"" + path + "\": " +
                         std::error_code(error, std::generic_category()).message());
    }
    in_.seekg(0, std::ios::end);
    const std::streamoff end = in_.tellg();
    if (!in_ || end < 0) throw StlReadError("Cannot read file \"" + path + "\"");
    size_ = static_cast<uint64_t>(end);
  }
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, char* buffer, size_t count) override {
    if (offset >= size_) return 0;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(buffer, static_cast<std::streamsize>(count));
    const auto n = static_cast<size_t>(in_.gcount());
    if (n < count && offset + n < size_) throw StlReadError("Error reading file \"" + path_ + "\"");
    return n;
  }

 private:
  std::string path_;
  std::ifstream in_;
  uint64_t size_ = 0;
};

class MemorySource : public StlByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  size_t ReadAt(uint64_t offset, char* buffer, size_t count) override {
    if (offset >= bytes_.size()) return 0;
    const size_t n = std::min(count, bytes_.size() - static_cast<size_t>(offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

 private:
  std::string_view bytes_;
};

// Looks for Escape once every twentieth of the file.
class CancelCheck {
 public:
  CancelCheck(const StlCancel& cancel, uint64_t size)
      : cancel_(cancel), step_(std::max<uint64_t>(size / 20, 1)), next_(step_) {
    if (cancel_.Ui) cancel_.Ui->ProgressStart(20);
  }
  ~CancelCheck() {
    if (cancel_.Ui) cancel_.Ui->ProgressEnd();
  }
  // True when the reading is to stop.
  bool At(uint64_t position) {
    if (position < next_) return false;
    while (next_ <= position) next_ += step_;
    if (cancel_.Ui) cancel_.Ui->ProgressStep();
    return cancel_.Token && cancel_.Token->Poll();
  }

 private:
  const StlCancel& cancel_;
  uint64_t step_;
  uint64_t next_;
};

inline uint32_t LittleU32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
  return v;
}

inline float LittleFloat(const char* p) { return std::bit_cast<float>(LittleU32(p)); }

// NaN and infinities have all exponent bits set.
inline bool Finite(float f) { return (std::bit_cast<uint32_t>(f) & 0x7f800000u) != 0x7f800000u; }

void ReserveOrFail(TTNTriangleArray& triangles, size_t room, const std::string& name) {
  try {
    triangles.reserve(room);
  } catch (const std::exception&) {
    triangles.clear();
    throw StlReadError("Not enough memory to read \"" + name + "\"");
  }
}

// ------------------------------------------------------------ text lines

class LineReader {
 public:
  explicit LineReader(StlByteSource& source) : source_(source), buf_(65536) {}

  // The next line without its end (LF, CR or CR LF); false at the end.
  bool Next(std::string_view& line) {
    line_.clear();
    bool any = false;
    for (;;) {
      if (start_ == len_ && !Fill()) {
        if (!any) return false;
        break;
      }
      if (skipLf_) {
        skipLf_ = false;
        if (buf_[start_] == '\n') {
          ++start_;
          continue;
        }
      }
      any = true;
      size_t end = start_;
      while (end < len_ && buf_[end] != '\n' && buf_[end] != '\r') ++end;
      const size_t room = kMaxLineLength - std::min(kMaxLineLength, line_.size());
      line_.append(buf_.data() + start_, std::min(room, end - start_));
      if (end < len_) {
        skipLf_ = buf_[end] == '\r';
        start_ = end + 1;
        break;
      }
      start_ = len_;
    }
    ++lineNo_;
    line = line_;
    return true;
  }
  int LineNo() const { return lineNo_; }
  uint64_t Position() const { return pos_ - (len_ - start_); }

 private:
  bool Fill() {
    len_ = source_.ReadAt(pos_, buf_.data(), buf_.size());
    start_ = 0;
    pos_ += len_;
    return len_ > 0;
  }

  StlByteSource& source_;
  std::vector<char> buf_;
  size_t start_ = 0, len_ = 0;
  uint64_t pos_ = 0;
  bool skipLf_ = false;
  std::string line_;
  int lineNo_ = 0;
};

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\0'; }

// Splits at runs of blanks; at most `max` tokens are kept.
size_t Tokens(std::string_view line, std::string_view* out, size_t max) {
  size_t n = 0, i = 0;
  while (n < max) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    const size_t b = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    out[n++] = line.substr(b, i - b);
  }
  return n;
}

bool EqualsUpper(std::string_view token, std::string_view upper) {
  if (token.size() != upper.size()) return false;
  for (size_t i = 0; i < token.size(); ++i) {
    char c = token[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

bool ContainsUpper(std::string_view line, std::string_view upper) {
  if (line.size() < upper.size()) return false;
  for (size_t i = 0; i + upper.size() <= line.size(); ++i)
    if (EqualsUpper(line.substr(i, upper.size()), upper)) return true;
  return false;
}

class TextStlReader {
 public:
  TextStlReader(StlByteSource& source, const std::string& name, TTNTriangleArray& triangles,
                const StlCancel& cancel)
      : lines_(source), name_(name), triangles_(triangles), check_(cancel, source.Size()) {}

  bool Run() {
    std::string_view line;
    std::array<std::string_view, 5> tok;
    TTNTriangle previous;  // vertices a facet leaves out come from here
    float normalZ = 0.0f;
    while (lines_.Next(line)) {
      if (check_.At(lines_.Position())) return false;
      const size_t n = Tokens(line, tok.data(), tok.size());
      if (n == 0) continue;
      if (EqualsUpper(tok[0], "FACET")) {
        if (n < 5) Fail("a facet normal needs three numbers");
        const float z = Number(tok[4], false);
        normalZ = Finite(z) ? z : 0.0f;
        continue;
      }
      if (!ContainsUpper(line, "OUTER LOOP") &&
          !(n >= 2 && EqualsUpper(tok[0], "OUTER") && EqualsUpper(tok[1], "LOOP")))
        continue;
      TTNTriangle t = previous;
      TTNVertex* vertices[3] = {&t.V0, &t.V1, &t.V2};
      for (TTNVertex* v : vertices) {
        if (!lines_.Next(line)) break;
        const size_t k = Tokens(line, tok.data(), tok.size());
        if (k == 0 || !EqualsUpper(tok[0], "VERTEX")) continue;
        if (k < 4) Fail("a vertex needs three numbers");
        v->X = Number(tok[1], true);
        v->Y = Number(tok[2], true);
        v->Z = Number(tok[3], true);
      }
      previous = t;
      t.NormalZ = normalZ;
      SortTriangleVertices(t);
      if (triangles_.capacity() - triangles_.size() < 10) {
        // Steps of 1000, larger on big files so that growing stays linear.
        const size_t step = std::max<size_t>(1000, triangles_.size() / 2000 * 1000);
        ReserveOrFail(triangles_, triangles_.capacity() + step, name_);
      }
      triangles_.push_back(t);
    }
    if (triangles_.empty()) throw StlReadError("No facets in \"" + name_ + "\"");
    return true;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw StlReadError("Line " + std::to_string(lines_.LineNo()) + " of \"" + name_ + "\": " +
                       what);
  }

  // A number with '.' as the decimal point; coordinates must be finite.
  float Number(std::string_view token, bool coordinate) const {
    std::string_view t = token;
    if (t.size() > 1 && t[0] == '+' && t[1] != '-') t.remove_prefix(1);
    double v = 0.0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec == std::errc::result_out_of_range && end == t.data() + t.size()) {
      if (coordinate) Fail("'" + std::string(token) + "' is out of range");
      return 0.0f;
    }
    if (ec != std::errc() || end != t.data() + t.size())
      Fail("'" + std::string(token) + "' is not a number");
    // Beyond the range of a float the conversion itself would be undefined.
    if (!std::isfinite(v) || std::fabs(v) > static_cast<double>(FLT_MAX)) {
      if (coordinate) Fail("'" + std::string(token) + "' is not a finite coordinate");
      return 0.0f;
    }
    return static_cast<float>(v);
  }

  LineReader lines_;
  const std::string& name_;
  TTNTriangleArray& triangles_;
  CancelCheck check_;
};

}  // namespace

std::unique_ptr<StlByteSource> OpenStlFileSource(const std::string& path) {
  return std::make_unique<FileSource>(path);
}

std::unique_ptr<StlByteSource> StlMemorySource(std::string_view bytes) {
  return std::make_unique<MemorySource>(bytes);
}

bool IsBinaryStl(StlByteSource& source) {
  const uint64_t size = source.Size();
  std::vector<char> head(static_cast<size_t>(std::min<uint64_t>(size, kDetectBytes)));
  const size_t got = head.empty() ? 0 : source.ReadAt(0, head.data(), head.size());
  head.resize(got);
  if (got >= kHeaderSize) {
    const uint64_t count = LittleU32(head.data() + 80);
    // A header may say anything, even "facet normal"; a size that fits
    // the count to the byte does not happen by chance in a text file.
    if (size == kHeaderSize + kFacetSize * count) return true;
  }
  std::string_view rest(head.data(), head.size());
  for (int line = 0; line < 5 && !rest.empty(); ++line) {
    size_t end = rest.find_first_of("\r\n");
    const std::string_view text = rest.substr(0, end);
    if (text.find("facet normal") != std::string_view::npos) return false;
    if (end == std::string_view::npos) break;
    if (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n') ++end;
    rest.remove_prefix(end + 1);
  }
  return true;
}

bool ReadBinaryStl(StlByteSource& source, const std::string& name, TTNTriangleArray& triangles,
                   const StlCancel& cancel) {
  triangles.clear();
  const uint64_t size = source.Size();
  // Room from the size: the count field is not trusted.
  ReserveOrFail(triangles, static_cast<size_t>(size / kFacetData), name);
  CancelCheck check(cancel, size);

  constexpr size_t kChunkFacets = 8192;
  std::vector<char> buf(kChunkFacets * kFacetSize);
  uint64_t pos = kHeaderSize;
  uint64_t facet = 0;
  for (;;) {
    const size_t n = pos < size ? source.ReadAt(pos, buf.data(), buf.size()) : 0;
    size_t off = 0;
    // The attribute of the very last facet may be missing.
    for (; off + kFacetData <= n; off += kFacetSize, ++facet) {
      if (check.At(pos + off)) {
        triangles.clear();
        return false;
      }
      const char* p = buf.data() + off;
      TTNTriangle t;
      const float normalZ = LittleFloat(p + 8);
      t.NormalZ = Finite(normalZ) ? normalZ : 0.0f;
      TTNVertex* vertices[3] = {&t.V0, &t.V1, &t.V2};
      bool finite = true;
      for (int i = 0; i < 3; ++i) {
        const char* q = p + 12 + 12 * i;
        TTNVertex& v = *vertices[i];
        v.X = LittleFloat(q);
        v.Y = LittleFloat(q + 4);
        v.Z = LittleFloat(q + 8);
        finite = finite && Finite(v.X) && Finite(v.Y) && Finite(v.Z);
      }
      if (!finite) {
        triangles.clear();
        throw StlReadError("Facet " + std::to_string(facet + 1) + " of \"" + name +
                           "\" has a coordinate that is not a finite number");
      }
      SortTriangleVertices(t);
      triangles.push_back(t);
    }
    if (n < buf.size()) break;
    pos += n;
  }
  if (triangles.empty()) throw StlReadError("No facets in \"" + name + "\"");
  return true;
}

bool ReadTextStl(StlByteSource& source, const std::string& name, TTNTriangleArray& triangles,
                 const StlCancel& cancel) {
  triangles.clear();
  try {
    TextStlReader reader(source, name, triangles, cancel);
    if (reader.Run()) return true;
  } catch (...) {
    triangles.clear();
    throw;
  }
  triangles.clear();
  return false;
}

}  // namespace tarnak
