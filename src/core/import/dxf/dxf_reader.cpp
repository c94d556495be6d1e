#include "import/dxf/dxf_reader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "geometry/primitives.h"
#include "base/text.h"

namespace tarnak {

namespace {

constexpr const char* kNoEntities = "No Entities or invalid Entities section in DXF file";
constexpr const char* kInsertNote =
    "A \"BLOCK\" was read but not inserted.  Explode all Blocks before loading.";
constexpr const char* kSplineNote =
    "A SPLINE was detected but not read.  Explode all SPLINE's before loading";
constexpr const char* kNoteCaption = "Tarnak";
constexpr const char* kWarningCaption = "DXF read error warning";
constexpr const char* kReadErrorCaption = "DXF Read Error";
constexpr const char* kErrorCaption = "Error";
constexpr double kSamePoint = 0.0005;
// Vertex flag of a spline-fitted polyline's frame control point.
constexpr int kSplineFrameVertex = 16;
constexpr double kDegToRad = kPi / 180.0;

// Anything from NUL to blank counts as white space around a value, so that
// tabs and stray control characters (a DOS end-of-file mark) are ignored.
inline std::string_view Trim(std::string_view s) { return TrimBlanks(s, Blanks::SpaceAndControls); }

// Removes an optional leading '+' (but not "+-").
bool StripPlus(std::string_view& s) {
  if (!s.empty() && s[0] == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s[0] == '-') return false;
  }
  return !s.empty();
}

// For a number text that from_chars found out of range: true when it is too
// small (underflow), false when too large.
bool IsTinyNumber(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && s[i] == '-') ++i;
  long intDigits = 0;       // significant digits before the point
  long leadingZeros = 0;    // zeros after the point before the first non-zero digit
  bool seenNonZero = false, afterPoint = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '.') {
      afterPoint = true;
    } else if (c >= '0' && c <= '9') {
      if (c != '0') seenNonZero = true;
      if (!afterPoint) {
        if (seenNonZero) ++intDigits;
      } else if (!seenNonZero) {
        ++leadingZeros;
      }
    } else {
      break;
    }
  }
  long exp = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) exp = std::min(exp * 10 + (s[i] - '0'), 1000000L);
    if (neg) exp = -exp;
  }
  const long magnitude = intDigits > 0 ? intDigits - 1 : -leadingZeros - 1;
  return magnitude + exp < 0;
}

// Up to eight ASCII digits from p on, but no further than `avail` bytes:
// how many there are, and their value in `value`. Loads the 8 bytes at p
// in one go, so those must be readable even where the text ends sooner.
__attribute__((always_inline)) inline unsigned DigitRun(const char* p, size_t avail,
                                                        uint64_t& value) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  // Digits become 0..9; every other byte becomes 10 or more.
  const uint64_t x = w ^ 0x3030303030303030ULL;
  // High bit of a byte set when it is 10 or more: no carry crosses bytes
  // since 0x7F + 0x76 < 0x100.
  const uint64_t nonDigit =
      (((x & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | x) & 0x8080808080808080ULL;
  size_t n = nonDigit ? static_cast<size_t>(__builtin_ctzll(nonDigit)) / 8 : 8;
  if (n > avail) n = avail;
  if (n == 0) {
    value = 0;
    return 0;
  }
  // Loaded little-end first, the first digit is the lowest byte: moving the
  // n digits to the top leaves zeros as leading digits of an 8-digit field.
  uint64_t v = x << (8 * (8 - n));
  v = (v * 10) + (v >> 8);
  v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
       (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
      32;
  value = v;
  return static_cast<unsigned>(n);
}

constexpr uint64_t kIntPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// A run of digits of any length from p on (up to e) into m; false as soon
// as more than 15 digits have been counted in `digits`, whatever follows.
// `n` digits (the first chunk) were taken already.
inline bool MoreDigitsInto(const char*& p, const char* e, uint64_t& m, size_t& digits, unsigned n) {
  while (n == 8) {
    if (digits > 15) return false;
    uint64_t chunk;
    n = DigitRun(p, static_cast<size_t>(e - p), chunk);
    m = m * kIntPow10[n] + chunk;
    p += n;
    digits += n;
  }
  return digits <= 15;
}

// Plain decimals ("-12.5", "3", ".25") of at most 15 digits: the digits
// form an exact integer and one division by an exact power of ten rounds
// correctly, giving the same value as the general parser, only faster.
// `s` is trimmed, without its '+', not empty, and 8 bytes past its end are
// readable.
inline bool FastDecimalPadded(std::string_view s, double& value) {
  const char* p = s.data();
  const char* const e = p + s.size();
  const bool negative = *p == '-';
  if (negative) ++p;
  uint64_t m = 0;
  unsigned n = DigitRun(p, static_cast<size_t>(e - p), m);
  p += n;
  size_t digits = n;
  // Coordinates seldom have eight digits before the point.
  if (n == 8 && !MoreDigitsInto(p, e, m, digits, n)) return false;
  size_t decimals = 0;
  if (p < e && *p == '.') {
    ++p;
    uint64_t f = 0;
    n = DigitRun(p, static_cast<size_t>(e - p), f);
    p += n;
    m = m * kIntPow10[n] + f;
    const size_t intDigits = digits;
    digits += n;
    if (n == 8 && !MoreDigitsInto(p, e, m, digits, n)) return false;
    decimals = digits - intDigits;
  }
  if (p != e || digits == 0 || digits > 15) return false;
  // Fewer than 16 digits: m fits a signed 64-bit integer, whose conversion
  // is one instruction.
  const double v = static_cast<double>(static_cast<int64_t>(m)) / kPow10[decimals];
  value = negative ? -v : v;
  return true;
}

// Everything FastDecimalPadded does not take: exponents, long mantissas,
// and texts that are no number at all. `s` as for FastDecimalPadded.
bool GeneralDouble(std::string_view s, double& value) {
  const char* end = s.data() + s.size();
  double v = 0.0;
  const auto r = std::from_chars(s.data(), end, v, std::chars_format::general);
  if (r.ptr != end) return false;
  if (r.ec == std::errc::result_out_of_range) {
    const bool negative = s[0] == '-';
    const double big = std::numeric_limits<double>::infinity();
    v = IsTinyNumber(s) ? 0.0 : big;
    value = negative ? -v : v;
    return true;
  }
  if (r.ec != std::errc()) return false;
  value = v;
  return true;
}

// The longest text FastDecimalPadded can take: '-', 15 digits and '.'.
constexpr size_t kLongestPlainDecimal = 17;

}  // namespace

// ---------------------------------------------------------------- numbers

bool ParseDxfInt(std::string_view text, int& value) {
  std::string_view s = Trim(text);
  if (!StripPlus(s)) return false;
  const char* end = s.data() + s.size();
  const auto r = std::from_chars(s.data(), end, value);
  return r.ec == std::errc() && r.ptr == end;
}

bool ParseDxfDouble(std::string_view text, double& value) {
  std::string_view s = Trim(text);
  if (!StripPlus(s)) return false;
  if (s.size() <= kLongestPlainDecimal) {
    // A copy with room behind it for the 8-byte loads.
    char padded[kLongestPlainDecimal + 8] = {};
    std::memcpy(padded, s.data(), s.size());
    if (FastDecimalPadded(std::string_view(padded, s.size()), value)) return true;
  }
  return GeneralDouble(s, value);
}

// ---------------------------------------------------------------- errors

const char* NotAsciiDxf(std::string_view head) {
  if (head.empty()) return "the file is empty";
  if (head.size() >= 2 && ((head[0] == '\xFF' && head[1] == '\xFE') ||
                           (head[0] == '\xFE' && head[1] == '\xFF')))
    return "the file is UTF-16 text; save the drawing as ASCII DXF";
  if (head.substr(0, 18) == "AutoCAD Binary DXF")
    return "the file is a binary DXF; save the drawing as ASCII DXF";
  // Text has no NUL bytes; almost any other kind of file has them early.
  // Padding after the end of the drawing (some systems fill the last
  // block) does not count.
  const std::size_t end = head.find("\nEOF");
  if (head.substr(0, end).find('\0') != std::string_view::npos)
    return "the file is not a text file (binary data); open an ASCII DXF drawing";
  return nullptr;
}

DXF_read_exception::DXF_read_exception(const std::string& message, int line)
    : std::runtime_error(line >= 0 ? message + "\r\nError occured at or near line number " +
                                         std::to_string(line)
                                   : message),
      message_(message),
      line_(line) {}

// ---------------------------------------------------------------- byte sources

namespace {

class FileSource : public DxfByteSource {
 public:
  explicit FileSource(const std::string& path) : path_(path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
      throw DxfFileError("Cannot open file \"" + path + "\": " +
                         std::make_error_code(std::errc::is_a_directory).message());
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
      const int err = errno;
      throw DxfFileError("Cannot open file \"" + path + "\": " +
                         std::generic_category().message(err));
    }
    // The reader asks for whole blocks into its own buffer.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    const uintmax_t size = std::filesystem::file_size(path, ec);
    size_ = ec ? 0 : static_cast<uint64_t>(size);
  }
  ~FileSource() override {
    if (file_) std::fclose(file_);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  uint64_t Size() const override { return size_; }

  size_t ReadAt(uint64_t offset, char* buffer, size_t count) override {
    if (offset != position_) {
      if (offset > static_cast<uint64_t>(std::numeric_limits<long>::max()) ||
          std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
        Fail();
      position_ = offset;
    }
    const size_t n = std::fread(buffer, 1, count, file_);
    if (n < count && std::ferror(file_)) Fail();
    position_ += n;
    return n;
  }

 private:
  [[noreturn]] void Fail() {
    const int err = errno;
    throw DxfFileError("Error reading file \"" + path_ + "\": " +
                       std::generic_category().message(err));
  }

  std::string path_;
  std::FILE* file_ = nullptr;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
};

class MemorySource : public DxfByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  size_t ReadAt(uint64_t offset, char* buffer, size_t count) override {
    if (offset >= bytes_.size()) return 0;
    const size_t n = std::min<uint64_t>(count, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

 private:
  std::string_view bytes_;
};

// Shows a hint for as long as it lives.
class HintGuard {
 public:
  HintGuard(UserInterface& ui, const std::string& text) : ui_(ui) { ui_.SetHint(text); }
  ~HintGuard() { ui_.SetHint(""); }
  HintGuard(const HintGuard&) = delete;
  HintGuard& operator=(const HintGuard&) = delete;

 private:
  UserInterface& ui_;
};

bool SamePoint3(const DxfPoint& a, const DxfPoint& b) {
  return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}

// Appends a copy of the first vertex when the last one does not already
// lie on it, so that a closed outline ends where it starts.
void CloseVertices(std::vector<DxfPoint>& v) {
  if (v.empty()) return;
  const DxfPoint& first = v.front();
  const DxfPoint& last = v.back();
  if (std::fabs(last.X - first.X) > kSamePoint || std::fabs(last.Y - first.Y) > kSamePoint) {
    const DxfPoint copy = first;
    v.push_back(copy);
  }
}

// Brings an angle in degrees into range by one turn at most.
double OneTurn(double degrees) {
  if (degrees > 360.0) return degrees - 360.0;
  if (degrees < 0.0) return degrees + 360.0;
  return degrees;
}

}  // namespace

// ---------------------------------------------------------------- reader

DXF_Reader::DXF_Reader(DxfByteSource& source, UserInterface& ui, DxfReadOptions options)
    : source_(source), ui_(ui), options_(options) {}

bool DXF_Reader::FillBuffer() {
  bufStart_ += bufLen_;
  bufPos_ = 0;
  bufLen_ = 0;
  if (ioFailed_) return false;
  size_t n = 0;
  try {
    n = source_.ReadAt(bufStart_, buf_.data(), kBlockSize);
  } catch (...) {
    // Reported once; from here on the file simply ends.
    ioFailed_ = true;
    ended_ = true;
    throw;
  }
  bufLen_ = std::min(n, kBlockSize);
  if (bufLen_ == 0) return false;
  if (bufStart_ + bufLen_ > furthest_) {
    furthest_ = bufStart_ + bufLen_;
    ui_.ProgressStep();
  }
  return true;
}

namespace {

// Index of the first LF or CR among the 8 bytes loaded little-end first
// into w, or 8 when there is none.
inline unsigned FirstLineEnd(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  const uint64_t lf = w ^ (kOnes * '\n');
  const uint64_t cr = w ^ (kOnes * '\r');
  const uint64_t hit = ((lf - kOnes) & ~lf & kHigh) | ((cr - kOnes) & ~cr & kHigh);
  if (hit == 0) return 8;
  // Only bytes above the first true hit can be false hits, so the lowest
  // set bit is exact.
  return static_cast<unsigned>(__builtin_ctzll(hit)) / 8;
}

}  // namespace

inline bool DXF_Reader::ReadLine() {
  // Usual case: the whole line lies in the buffer and is used in place.
  const char* const base = buf_.data();
  const char* const p = base + bufPos_;
  const char* const end = base + bufLen_;
  const char* q = p;
  while (q < end) {
    uint64_t w;
    std::memcpy(&w, q, 8);  // may look at the spare bytes behind the block
    const unsigned i = FirstLineEnd(w);
    if (i < 8) {
      q += i;
      break;
    }
    q += 8;
  }
  if (q < end && (*q == '\n' || q + 1 < end)) {
    ++lineNo_;
    size_t len = static_cast<size_t>(q - p);
    if (len > kMaxLineLength) len = kMaxLineLength;  // the rest of a long line is dropped
    line_view_ = std::string_view(p, len);
    bufPos_ = static_cast<size_t>(q - base) + 1;
    if (*q == '\r' && buf_[bufPos_] == '\n') ++bufPos_;
    return true;
  }
  return ReadLineSlow();
}

bool DXF_Reader::ReadLineSlow() {
  if (bufPos_ >= bufLen_ && !FillBuffer()) return false;
  ++lineNo_;
  const char* const base = buf_.data();
  // The line runs past the buffer (or ends in a CR at its very end): copy it.
  size_t n = 0;
  char* const line = line_.data();
  for (;;) {
    const char* p = base + bufPos_;
    const char* const end = base + bufLen_;
    const char* q = p;
    while (q < end && *q != '\n' && *q != '\r') ++q;
    size_t take = static_cast<size_t>(q - p);
    if (take > kMaxLineLength - n) take = kMaxLineLength - n;
    std::memcpy(line + n, p, take);
    n += take;
    bufPos_ = static_cast<size_t>(q - base);
    if (q < end) {
      const char c = *q;
      ++bufPos_;
      if (c == '\r') {
        if (bufPos_ >= bufLen_) FillBuffer();
        if (bufPos_ < bufLen_ && buf_[bufPos_] == '\n') ++bufPos_;
      }
      break;
    }
    if (!FillBuffer()) break;  // the end of the file ends the line
  }
  line_view_ = std::string_view(line, n);
  return true;
}

// The usual group code line, a few blanks and up to four digits ("  10"),
// with its line end among the next 8 bytes of the buffer: taken in one
// pass without copying or trimming. Anything else (blank lines, tabs,
// signs, trailing blanks, a line near the block's end) is left, untouched,
// to the general reading.
inline bool DXF_Reader::QuickCode(int& code) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  // Nine bytes: the line end among the first eight and the byte after it,
  // which tells CR LF from CR.
  if (bufPos_ + 9 > bufLen_) return false;
  const char* const p = buf_.data() + bufPos_;
  // Most writers put the code right-aligned in three columns: "  8" and
  // " 10" are told by four bytes.
  const char after = p[3];
  if (p[0] == ' ' && (after == '\n' || (after == '\r' && p[4] == '\n'))) {
    const unsigned tens = static_cast<unsigned char>(p[1]);
    const unsigned d1 = tens == ' ' ? 0u : tens - '0';
    const unsigned d2 = static_cast<unsigned>(static_cast<unsigned char>(p[2])) - '0';
    if (d1 <= 9 && d2 <= 9) {
      bufPos_ += after == '\n' ? size_t{4} : size_t{5};
      ++lineNo_;
      code = static_cast<int>(10 * d1 + d2);
      return true;
    }
  }
  uint64_t w;
  std::memcpy(&w, p, 8);
  const unsigned end = FirstLineEnd(w);
  if (end == 8) return false;
  // High bit of each byte that is not a blank.
  const uint64_t sp = w ^ (kOnes * ' ');
  const uint64_t nonBlank = (((sp & kLow7) + kLow7) | sp) & kHigh;
  // The line end itself is no blank, so nonBlank is not 0.
  const unsigned lead = static_cast<unsigned>(__builtin_ctzll(nonBlank)) / 8;
  if (lead >= end || end - lead > 4) return false;
  const uint64_t x = w ^ (kOnes * '0');
  const uint64_t nonDigit = ((((x & kLow7) + 0x7676767676767676ULL) | x) & kHigh) >> (8 * lead);
  // The first byte after the blanks that is no digit must be the line end.
  if (static_cast<unsigned>(__builtin_ctzll(nonDigit)) / 8 != end - lead) return false;
  const unsigned n = end - lead;
  uint64_t v = (x >> (8 * lead)) << (8 * (8 - n));
  v = (v * 10) + (v >> 8);
  v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
       (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
      32;
  size_t next = bufPos_ + end + 1;
  if (p[end] == '\r' && p[end + 1] == '\n') ++next;
  bufPos_ = next;
  ++lineNo_;
  code = static_cast<int>(v);
  return true;
}

// The usual value of a coordinate group: a plain decimal ("-12.5", "3",
// ".25") of at most seven digits before and seven after the point, its
// line end right behind it, well inside the block. The number is taken
// while its line end is looked for, instead of finding the line end first,
// trimming the line and then reading the number; it comes out as
// FastDecimalPadded gives it (the same digits, the same one division).
// Anything else (blanks, a '+', exponents, more digits, a line near the
// block's end) is left, untouched, to the general reading.
inline bool DXF_Reader::QuickNumber() {
  // The farthest byte looked at lies 17 bytes on (an LF after the CR
  // behind a sign, 7 digits, the point and 7 decimals).
  if (bufPos_ + 24 > bufLen_) return false;
  const char* const start = buf_.data() + bufPos_;
  const char* p = start;
  const bool negative = *p == '-';
  if (negative) ++p;
  uint64_t m = 0;
  const unsigned whole = DigitRun(p, 8, m);
  if (whole == 8) return false;  // perhaps more digits
  p += whole;
  unsigned decimals = 0;
  if (*p == '.') {
    ++p;
    uint64_t f = 0;
    decimals = DigitRun(p, 8, f);
    if (decimals == 8) return false;
    p += decimals;
    m = m * kIntPow10[decimals] + f;
  }
  if (whole + decimals == 0) return false;
  const char* next = p + 1;
  if (*p == '\r') {
    if (p[1] == '\n') ++next;
  } else if (*p != '\n') {
    return false;  // not the end of the line
  }
  const double v = static_cast<double>(static_cast<int64_t>(m)) / kPow10[decimals];
  // Below 1e7: in range, so FloatValue needs no further check.
  number_ = negative ? -v : v;
  numberReady_ = true;
  value_ = std::string_view(start, static_cast<size_t>(p - start));
  bufPos_ = static_cast<size_t>(next - buf_.data());
  ++lineNo_;
  return true;
}

namespace {

// Codes whose values are real numbers: coordinates, distances, angles,
// scales (10 to 59) and the extrusion direction (210 to 239).
inline bool IsRealCode(int code) {
  // In unsigned arithmetic: a code near the int limits must not overflow.
  const unsigned u = static_cast<unsigned>(code);
  return u - 10u < 50u || u - 210u < 30u;
}

}  // namespace

inline int DXF_Reader::NextGroup() {
  if (pushedBack_) {
    pushedBack_ = false;
    return code_;
  }
  code_ = -2;
  value_ = std::string_view();
  numberReady_ = false;
  if (ended_) return -2;
  int code = 0;
  if (!QuickCode(code)) {
    std::string_view text;
    for (;;) {
      if (!ReadLine()) {
        ended_ = true;
        return -2;
      }
      text = Trim(line_view_);
      if (!text.empty()) break;
    }
    // Nearly every code is a short run of digits: take those directly.
    if (text.size() <= 4 && std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; })) {
      for (char c : text) code = code * 10 + (c - '0');
    } else if (!ParseDxfInt(text, code)) {
      ended_ = true;  // a code that is not a number ends the file here
      return -2;
    }
  }
  if (IsRealCode(code) && QuickNumber()) {
    code_ = code;
    return code;
  }
  if (!ReadLine()) {
    ended_ = true;
    return -2;
  }
  value_ = Trim(line_view_);
  code_ = code;
  return code;
}

int DXF_Reader::ReadGroup() { return NextGroup(); }

void DXF_Reader::FailFloat() const {
  throw DXF_read_exception("Invalid Floating point conversion", lineNo_);
}

void DXF_Reader::FailRange() const {
  // No drawing measures a billion units; such a number (or "nan", "inf",
  // "1e308") is damage, and would reach the NC file as an unusable word.
  throw DXF_read_exception("Number out of range (not finite or beyond 1e9)", lineNo_);
}

double DXF_Reader::FloatValue() const {
  if (numberReady_) return number_;
  // The value is trimmed already, and lies in the block buffer or the line
  // copy, both with spare bytes behind it for the 8-byte loads.
  std::string_view s = value_;
  double v = 0.0;
  if (!StripPlus(s) || !(FastDecimalPadded(s, v) || GeneralDouble(s, v))) FailFloat();
  if (!std::isfinite(v) || std::fabs(v) > kMaxDxfMagnitude) FailRange();
  return v;
}

int DXF_Reader::IntValue() const {
  int v = 0;
  if (!ParseDxfInt(value_, v)) throw DXF_read_exception("Invalid Integer conversion", lineNo_);
  return v;
}

void DXF_Reader::SetMark() {
  markPos_ = bufStart_ + bufPos_;
  markLine_ = lineNo_;
}

void DXF_Reader::ReturnToMark() {
  bufStart_ = markPos_;
  bufLen_ = 0;
  bufPos_ = 0;
  lineNo_ = markLine_;
  pushedBack_ = false;
  ended_ = ioFailed_;
}

void DXF_Reader::Fail(const char* message) const { throw DXF_read_exception(message, lineNo_); }

// ---------------------------------------------------------------- structure

void DXF_Reader::Run() {
  const uint64_t blocks = source_.Size() / kBlockSize;
  ui_.ProgressStart(static_cast<int>(std::min<uint64_t>(blocks, INT_MAX)));
  try {
    // Editors on some systems put a UTF-8 byte-order mark before the first
    // line; it is not part of the drawing.
    char bom[3] = {};
    if (source_.ReadAt(0, bom, 3) == 3 && std::string_view(bom, 3) == "\xEF\xBB\xBF") bufStart_ = 3;
    ReadFile();
  } catch (const DXF_read_exception& e) {
    ui_.Message(e.what(), kReadErrorCaption, MsgButtons::Ok, MsgIcon::Warning);
  } catch (const std::exception& e) {
    ui_.Message(e.what(), kErrorCaption, MsgButtons::Ok, MsgIcon::Error);
  }
  ui_.ProgressEnd();
}

void DXF_Reader::ReadFile() {
  SetMark();
  bool blocksEmpty = false;
  // Blocks come before the entities in a drawing file; a drawing without
  // blocks need not be read through twice.
  if (options_.ExpandBlocks) {
    // Every block is kept for the inserts; the entities follow the blocks.
    if (FindSection("BLOCKS", "ENTITIES")) blocksEmpty = ReadAllBlocks();
  } else if (FindSection("BLOCKS", "ENTITIES")) {
    ReadBlocksPass(blocksEmpty);
  }
  // After an empty BLOCKS section the entities follow; otherwise look for
  // them from the start again.
  if (!blocksEmpty) ReturnToMark();
  SetMark();
  if (!FindSection("ENTITIES")) throw DXF_read_exception(kNoEntities, -1);
  SetMark();
  HintGuard hint(ui_, "Reading DXF file...");
  ReadEntitiesSection();
}

bool DXF_Reader::FindSection(std::string_view name, std::string_view stopAt) {
  for (;;) {
    int code = ReadGroup();
    if (code < 0) return false;
    if (code != 0 || Value() != "SECTION") continue;
    code = ReadGroup();
    if (code < 0) return false;
    if (code == 2 && Value() == name) return true;
    if (code == 2 && !stopAt.empty() && Value() == stopAt) return false;
    PushBack();  // may itself start the next section
  }
}

void DXF_Reader::ReadBlocksPass(bool& sectionEmpty) {
  try {
    for (;;) {
      int code = ReadGroup();
      if (code < 0) return;
      if (code != 0) continue;
      if (Value() == "ENDSEC") {
        sectionEmpty = true;
        return;
      }
      if (Value() != "BLOCK") continue;
      if (!ReadRecord(rec_)) return;
      auto block = std::make_unique<Block_>();
      SetCommon(*block, rec_, false);
      block->Name = rec_.Name;
      block->Base = rec_.P[0];
      int made = 0;
      Add(LayerIndex("0"), std::move(block), true, made);
      // Its entities are read up to the first that gives an entity object,
      // which is not kept.
      for (;;) {
        code = ReadGroup();
        if (code < 0) return;
        if (code != 0) continue;
        const Tag tag = Classify(Value());
        if (tag == Tag::EndBlk || tag == Tag::EndSec) return;
        if (ReadEntity(tag, false) > 0) return;
      }
    }
  } catch (const DXF_read_exception&) {
    // Only the first block's header is wanted here; a fault inside the
    // block must not keep the drawing's entities from being read.
  }
}

void DXF_Reader::ReadEntitiesSection() {
  for (;;) {
    bool atEnd = false;
    try {
      const int code = ReadGroup();
      if (code < 0) {
        atEnd = true;
      } else if (code == 0) {
        const Tag tag = Classify(Value());
        if (tag == Tag::EndSec) return;
        ReadEntity(tag, true);
      }
    } catch (const DXF_read_exception& e) {
      if (ui_.Message(e.what(), kWarningCaption, MsgButtons::OkCancel, MsgIcon::Warning) ==
          MsgResult::Cancel)
        throw DXF_read_exception("User aborted", -1);
    } catch (const std::exception& e) {
      ui_.Message(e.what(), kErrorCaption, MsgButtons::Ok, MsgIcon::Error);
    }
    if (atEnd) throw DXF_read_exception(kNoEntities, -1);
  }
}

DXF_Reader::Tag DXF_Reader::Classify(std::string_view n) {
  switch (n.size()) {
    case 3:
      if (n == "ARC") return Tag::Arc;
      break;
    case 4:
      if (n == "LINE") return Tag::Line;
      if (n == "TEXT") return Tag::Text;
      break;
    case 5:
      if (n == "POINT") return Tag::Point;
      if (n == "SOLID") return Tag::Solid;
      if (n == "TRACE") return Tag::Trace;
      if (n == "MTEXT") return Tag::MText;
      break;
    case 6:
      if (n == "CIRCLE") return Tag::Circle;
      if (n == "INSERT") return Tag::Insert;
      if (n == "3DFACE") return Tag::Face3D;
      if (n == "SPLINE") return Tag::Spline;
      if (n == "ATTDEF") return Tag::Attdef;
      if (n == "ATTRIB") return Tag::Attrib;
      if (n == "ENDSEC") return Tag::EndSec;
      if (n == "ENDBLK") return Tag::EndBlk;
      break;
    case 7:
      if (n == "ELLIPSE") return Tag::Ellipse;
      break;
    case 8:
      if (n == "POLYLINE") return Tag::Polyline;
      break;
    case 10:
      if (n == "LWPOLYLINE") return Tag::LwPolyline;
      break;
    default:
      break;
  }
  return Tag::Other;
}

int DXF_Reader::ReadEntity(Tag tag, bool keep) {
  switch (tag) {
    case Tag::Point:
      return ReadPoint(keep);
    case Tag::Insert:
      if (options_.ExpandBlocks) return ReadInsert(keep);
      if (!insertShown_) {
        insertShown_ = true;
        ui_.Message(kInsertNote, kNoteCaption, MsgButtons::Ok, MsgIcon::None);
      }
      if (!ReadRecord(rec_)) Fail("Error reading INSERT entity");
      return 0;
    case Tag::Text:
    case Tag::MText:
    case Tag::Attdef:
    case Tag::Attrib:
      return ReadText(tag, keep);
    case Tag::Line:
      return ReadLineEntity(keep);
    case Tag::Polyline:
      return ReadPolyline(keep);
    case Tag::LwPolyline:
      return ReadLwPolyline(keep);
    case Tag::Face3D:
      return ReadFace3D(keep);
    case Tag::Solid:
    case Tag::Trace:
      return ReadSolid(keep);
    case Tag::Circle:
      return ReadCircle(keep);
    case Tag::Ellipse:
      return ReadEllipse(keep);
    case Tag::Arc:
      return ReadArc(keep);
    case Tag::Spline:
      if (options_.ExpandBlocks) return ReadSpline(keep);
      if (!splineShown_) {
        splineShown_ = true;
        ui_.Message(kSplineNote, kNoteCaption, MsgButtons::Ok, MsgIcon::None);
      }
      return 0;
    default:
      return 0;  // its groups are passed over by the next reads
  }
}

// ---------------------------------------------------------------- records

namespace {

void NormaliseExtrusion(DxfPoint& e) {
  const double len = std::sqrt(e.X * e.X + e.Y * e.Y + e.Z * e.Z);
  if (len == 0.0) {
    e = DxfPoint{0.0, 0.0, 1.0, 0.0};  // no direction at all: the usual one
  } else if (std::isfinite(len) && len != 1.0) {
    e.X /= len;
    e.Y /= len;
    e.Z /= len;
  }
}

}  // namespace

bool DXF_Reader::ReadRecord(Record& r, bool stopAt10) {
  for (DxfPoint& p : r.P) p = DxfPoint{};
  r.Elevation = r.Thickness = r.V40 = r.V41 = r.V42 = r.V43 = r.A50 = r.A51 = 0.0;
  r.Extrusion = DxfPoint{0.0, 0.0, 1.0, 0.0};
  r.Colour = r.VerticesFollow = r.Flags = r.I71 = r.I72 = r.I73 = r.I74 = r.Count90 = 0;
  r.HasP2 = false;
  r.Layer = -1;
  r.Text1.clear();
  r.Name.clear();
  r.Text3.clear();
  bool hasLayer = false;
  bool extrusionSeen = false;

  for (;;) {
    const int code = NextGroup();
    if (code < 0) return false;
    double* slot = nullptr;
    switch (code) {
      case 0:
        PushBack();
        goto done;
      case 1: r.Text1.assign(Value()); break;
      case 101:
        // An embedded object (MTEXT of newer files) repeats groups 10, 11,
        // 40 ... with other meanings: none of it belongs to the entity.
        for (;;) {
          const int skipped = ReadGroup();
          if (skipped < 0) return false;
          if (skipped == 0) {
            PushBack();
            goto done;
          }
        }
      case 2: r.Name.assign(Value()); break;
      case 3: r.Text3.assign(Value()); break;
      case 8: {
        const std::string_view v = Value();
        layerName_.resize(v.size());
        for (size_t i = 0; i < v.size(); ++i) {
          const char c = v[i];
          layerName_[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
        hasLayer = true;
        break;
      }
      case 10:
        if (stopAt10) {
          PushBack();
          goto done;
        }
        slot = &r.P[0].X;
        break;
      case 20: slot = &r.P[0].Y; break;
      case 30: slot = &r.P[0].Z; break;
      case 11: slot = &r.P[1].X; r.HasP2 = true; break;
      case 21: slot = &r.P[1].Y; r.HasP2 = true; break;
      case 31: slot = &r.P[1].Z; r.HasP2 = true; break;
      case 12: slot = &r.P[2].X; break;
      case 22: slot = &r.P[2].Y; break;
      case 32: slot = &r.P[2].Z; break;
      case 13: slot = &r.P[3].X; break;
      case 23: slot = &r.P[3].Y; break;
      case 33: slot = &r.P[3].Z; break;
      case 38: slot = &r.Elevation; break;
      case 39: slot = &r.Thickness; break;
      case 40: slot = &r.V40; break;
      case 41: slot = &r.V41; break;
      case 42: slot = &r.V42; break;
      case 43: slot = &r.V43; break;
      case 50: slot = &r.A50; break;
      case 51: slot = &r.A51; break;
      case 62: r.Colour = IntValue(); break;
      case 66: r.VerticesFollow = IntValue(); break;
      case 70: r.Flags = IntValue(); break;
      case 71: r.I71 = IntValue(); break;
      case 72: r.I72 = IntValue(); break;
      case 73: r.I73 = IntValue(); break;
      case 74: r.I74 = IntValue(); break;
      case 90:  // vertex count of a light polyline: only a hint for reserving room
        if (!ParseDxfInt(Value(), r.Count90)) r.Count90 = 0;
        break;
      case 210: slot = &r.Extrusion.X; extrusionSeen = true; break;
      case 220: slot = &r.Extrusion.Y; extrusionSeen = true; break;
      case 230: slot = &r.Extrusion.Z; extrusionSeen = true; break;
      default: break;
    }
    // One place that reads numbers, so that it can be inlined.
    if (slot) *slot = FloatValue();
  }
done:
  // An extrusion not given is (0, 0, 1), which normalising leaves as it is.
  if (extrusionSeen) NormaliseExtrusion(r.Extrusion);
  r.Layer = LayerIndex(hasLayer ? std::string_view(layerName_) : std::string_view());
  return true;
}

int DXF_Reader::LayerIndex(std::string_view name) {
  if (lastLayer_ >= 0 && layers_[static_cast<size_t>(lastLayer_)]->Name == name) return lastLayer_;
  for (size_t i = 0; i < layers_.size(); ++i) {
    if (layers_[i]->Name == name) {
      lastLayer_ = static_cast<int>(i);
      return lastLayer_;
    }
  }
  auto layer = std::make_unique<DXF_Layer>();
  layer->Name = std::string(name);
  layers_.push_back(std::move(layer));
  listsByKind_.emplace_back();
  listsByKind_.back().fill(nullptr);
  lastLayer_ = static_cast<int>(layers_.size() - 1);
  return lastLayer_;
}

void DXF_Reader::Add(int layer, std::unique_ptr<DXF_Entity> entity, bool keep, int& made) {
  ++made;
  if (!keep) return;
  if (blockSink_) {
    blockSink_->Entities.emplace_back(layer, std::move(entity));
    return;
  }
  const size_t l = static_cast<size_t>(layer);
  const size_t k = static_cast<size_t>(entity->Kind());
  Entity_List*& list = listsByKind_[l][k];
  if (!list) list = &layers_[l]->ListFor(entity->ClassName());
  list->Entities.push_back(std::move(entity));
}

void DXF_Reader::SetCommon(DXF_Entity& e, const Record& rec, bool withOcs) const {
  e.SetColourFromNumber(rec.Colour);
  e.Extrusion = rec.Extrusion;
  if (withOcs) e.Ocs = MakeOcs(rec.Extrusion);
}

// ---------------------------------------------------------------- entities

int DXF_Reader::ReadPoint(bool keep) {
  if (!ReadRecord(rec_)) Fail("Error reading POINT entity");
  auto e = std::make_unique<Point_>();
  SetCommon(*e, rec_, true);
  e->P1 = rec_.P[0];  // a point's location is in world coordinates already
  int made = 0;
  Add(rec_.Layer, std::move(e), keep, made);
  return made;
}

int DXF_Reader::ReadText(Tag tag, bool keep) {
  if (!ReadRecord(rec_)) Fail(tag == Tag::Attdef   ? "Error reading ATTDEF entity"
                              : tag == Tag::Attrib ? "Error reading ATTRIB entity"
                                                   : "Error reading TEXT entity");
  std::unique_ptr<Text_> e;
  if (tag == Tag::Attdef)
    e = std::make_unique<Attdef_>();
  else if (tag == Tag::Attrib)
    e = std::make_unique<Attrib_>();
  else
    e = std::make_unique<Text_>();
  SetCommon(*e, rec_, true);
  // MTEXT places itself in world coordinates; the others in their own.
  e->P1 = (e->Ocs && tag != Tag::MText) ? e->Ocs->ToWorld(rec_.P[0]) : rec_.P[0];
  e->Height = rec_.V40;
  e->Rotation = rec_.A50;
  e->Text = rec_.Text1;
  const DxfPoint& p2 = rec_.P[1];
  e->Align = (p2.X == 0.0 && p2.Y == 0.0 && p2.Z == 0.0) ? rec_.P[0] : p2;
  e->HAlign = rec_.I72;
  int made = 0;
  Add(rec_.Layer, std::move(e), keep, made);
  return made;
}

int DXF_Reader::ReadLineEntity(bool keep) {
  if (!ReadRecord(rec_)) Fail("Error reading LINE entity");
  auto e = std::make_unique<Line_>();
  SetCommon(*e, rec_, false);
  e->P1 = rec_.P[0];
  e->P2 = rec_.P[1];
  int made = 0;
  Add(rec_.Layer, std::move(e), keep, made);
  return made;
}

// An arc or circle of radius 0 has no shape to cut: stored as an Element
// it would become a line to its angle pair. It is left out, with one note
// per file saying where the first one was.
bool DXF_Reader::DegenerateRadius(double radius, int line) {
  if (std::fabs(radius) >= kDegenerateRadius) return false;
  if (!zeroRadiusShown_) {
    zeroRadiusShown_ = true;
    const DXF_read_exception note("ARC or CIRCLE of radius 0 left out (and any more like it)",
                                  line);
    ui_.Message(note.what(), kWarningCaption, MsgButtons::Ok, MsgIcon::Warning);
  }
  return true;
}

int DXF_Reader::ReadCircle(bool keep) {
  const int line = lineNo_;  // of the entity's name
  if (!ReadRecord(rec_)) Fail("Error reading CIRCLE entity");
  if (DegenerateRadius(rec_.V40, line)) return 0;
  auto e = std::make_unique<Circle_>();
  SetCommon(*e, rec_, true);
  e->P1 = e->Ocs ? e->Ocs->ToWorld(rec_.P[0]) : rec_.P[0];
  e->Radius = rec_.V40;
  int made = 0;
  Add(rec_.Layer, std::move(e), keep, made);
  return made;
}

int DXF_Reader::ReadArc(bool keep) {
  const int line = lineNo_;  // of the entity's name
  if (!ReadRecord(rec_)) Fail("Error reading ARC entity");
  if (DegenerateRadius(rec_.V40, line)) return 0;
  auto e = std::make_unique<Arc_>();
  SetCommon(*e, rec_, true);
  e->Radius = rec_.V40;
  const double a1 = OneTurn(rec_.A50) * kDegToRad;
  const double a2 = OneTurn(rec_.A51) * kDegToRad;
  if (!e->Ocs) {
    e->P1 = rec_.P[0];
    e->StartAngle = a1;
    e->EndAngle = a2;
  } else {
    const DxfPoint& c = rec_.P[0];
    const double r = rec_.V40;
    const OcsMatrix& m = *e->Ocs;
    const DxfPoint cw = m.ToWorld(c);
    const DxfPoint sw = m.ToWorld(DxfPoint{c.X + r * std::cos(a1), c.Y + r * std::sin(a1), c.Z, 0});
    const DxfPoint ew = m.ToWorld(DxfPoint{c.X + r * std::cos(a2), c.Y + r * std::sin(a2), c.Z, 0});
    e->P1 = cw;
    double start = PointAngle(Point2{cw.X, cw.Y}, Point2{sw.X, sw.Y});
    double end = PointAngle(Point2{cw.X, cw.Y}, Point2{ew.X, ew.Y});
    // Arcs run counter-clockwise about their extrusion direction; seen
    // from above an arc whose direction points down runs the other way,
    // so its world start is the transformed end point.
    if (rec_.Extrusion.Z < 0.0) std::swap(start, end);
    e->StartAngle = start;
    e->EndAngle = end;
  }
  int made = 0;
  Add(rec_.Layer, std::move(e), keep, made);
  return made;
}

int DXF_Reader::ReadEllipse(bool keep) {
  if (!ReadRecord(rec_)) Fail("Error reading ELLIPSE entity");
  auto e = std::make_unique<Ellipse_>();
  SetCommon(*e, rec_, true);
  // Centre and major axis are world coordinates already.
  e->P1 = rec_.P[0];
  e->P2 = rec_.P[1];
  e->Ratio = rec_.V40;
  e->RotationValue = rec_.A50;
  e->StartParam = rec_.V41;
  e->EndParam = rec_.V42;
  if (rec_.Extrusion.Z < 0.0) {
    // The parameter runs counter-clockwise about the extrusion direction;
    // seen from above it runs clockwise. The same points, counter-clockwise
    // about +Z, lie between the negated parameters.
    e->StartParam = -rec_.V42;
    e->EndParam = -rec_.V41;
  }
  int made = 0;
  Add(rec_.Layer, std::move(e), keep, made);
  return made;
}

int DXF_Reader::ReadFace3D(bool keep) {
  if (!ReadRecord(rec_)) Fail("Error reading 3DFACE entity");
  auto e = std::make_unique<Face3D_>();
  SetCommon(*e, rec_, false);
  e->Closed = true;
  const int corners = SamePoint3(rec_.P[2], rec_.P[3]) ? 3 : 4;
  e->Vertices.assign(rec_.P, rec_.P + corners);
  int made = 0;
  Add(rec_.Layer, std::move(e), keep, made);
  return made;
}

int DXF_Reader::ReadSolid(bool keep) {
  if (!ReadRecord(rec_)) Fail("Error reading SOLID entity");
  DxfPoint p[4] = {rec_.P[0], rec_.P[1], rec_.P[2], rec_.P[3]};
  const bool triangle = SamePoint3(p[2], p[3]);
  // The corners are given in the entity's own coordinate system; the
  // edges are world lines.
  if (const auto ocs = MakeOcs(rec_.Extrusion)) {
    for (DxfPoint& q : p) q = ocs->ToWorld(q);
  }
  static constexpr int kTriangle[3][2] = {{0, 1}, {1, 2}, {0, 2}};
  static constexpr int kQuad[4][2] = {{0, 1}, {1, 3}, {3, 2}, {2, 0}};
  const int count = triangle ? 3 : 4;
  int made = 0;
  for (int i = 0; i < count; ++i) {
    const int* edge = triangle ? kTriangle[i] : kQuad[i];
    auto e = std::make_unique<Line_>();
    e->SetColourFromNumber(rec_.Colour);
    e->P1 = p[edge[0]];
    e->P2 = p[edge[1]];
    Add(rec_.Layer, std::move(e), keep, made);
  }
  return made;
}

int DXF_Reader::ReadPolyline(bool keep) {
  static constexpr const char* kMessage = "Error reading POLYLINE entity";
  if (!ReadRecord(rec_)) Fail(kMessage);
  const int layer = rec_.Layer;
  const int flags = rec_.Flags;
  const int colour = rec_.Colour;
  const DxfPoint extrusion = rec_.Extrusion;
  const double width = rec_.V40 / 2.0;
  const int m = rec_.I71, n = rec_.I72;
  const bool grid = (flags & 16) != 0;
  const bool faces = !grid && (flags & 64) != 0;

  std::vector<DxfPoint> vertices;
  std::vector<Polyface_mesh_::Face> faceList;
  for (;;) {
    const int code = ReadGroup();
    if (code < 0) Fail(kMessage);
    if (code != 0) continue;
    if (Value() == "VERTEX") {
      if (!ReadRecord(vrec_)) Fail(kMessage);
      DxfPoint v = vrec_.P[0];
      v.W = vrec_.V42;
      const int vf = vrec_.Flags;
      if (grid) {
        if ((vf & 64) == 0) Fail(kMessage);
        vertices.push_back(v);
      } else if (faces) {
        if ((vf & 192) == 192) {
          vertices.push_back(v);
        } else if ((vf & 128) != 0) {
          Polyface_mesh_::Face f;
          const int raw[4] = {vrec_.I71, vrec_.I72, vrec_.I73, vrec_.I74};
          for (int i = 0; i < 4; ++i)
            f.V[i] = static_cast<int>(std::llabs(static_cast<long long>(raw[i])) - 1);
          faceList.push_back(f);
        } else {
          Fail(kMessage);
        }
      } else if ((vf & kSplineFrameVertex) == 0) {
        // A spline-fitted polyline keeps the control points it was fitted
        // to as vertices of its own; they are the frame, not the outline.
        vertices.push_back(v);
      }
      continue;
    }
    // SEQEND closes the vertex list. Any other entity means its SEQEND is
    // missing: end the list here and leave that entity to be read.
    if (Value() != "SEQEND") PushBack();
    break;
  }

  std::unique_ptr<Polyline_> e;
  if (grid) {
    // Sizes come from the file: multiply in 64 bits.
    if (static_cast<long long>(m) * static_cast<long long>(n) !=
        static_cast<long long>(vertices.size()))
      return 0;  // an inconsistent mesh is dropped
    auto mesh = std::make_unique<Polygon_mesh_>();
    mesh->M = m;
    mesh->N = n;
    mesh->ClosedM = (flags & 1) != 0;
    mesh->ClosedN = (flags & 32) != 0;
    e = std::move(mesh);
  } else if (faces) {
    auto mesh = std::make_unique<Polyface_mesh_>();
    mesh->Faces = std::move(faceList);
    e = std::move(mesh);
  } else {
    e = std::make_unique<Polyline_>();
    e->Ocs = MakeOcs(extrusion);
    if (flags & 1) {
      e->Closed = true;
      CloseVertices(vertices);
    }
  }
  e->SetColourFromNumber(colour);
  e->Extrusion = extrusion;
  e->Width = width;
  e->Vertices = std::move(vertices);
  int made = 0;
  Add(layer, std::move(e), keep, made);
  return made;
}

int DXF_Reader::ReadLwPolyline(bool keep) {
  static constexpr const char* kMessage = "Error reading POLYLINE entity";
  if (!ReadRecord(rec_, true)) Fail(kMessage);
  if (rec_.Flags & (16 | 64)) Fail(kMessage);
  std::vector<DxfPoint> vertices;
  bool extrusionSeen = false;
  if (rec_.Count90 > 0) vertices.reserve(static_cast<size_t>(std::min(rec_.Count90, 65536)) + 1);
  bool more = true;
  while (more) {
    int code = ReadGroup();
    if (code < 0) {
      if (vertices.empty()) Fail(kMessage);
      break;
    }
    if (code != 10) {  // the next entity: no more vertices
      PushBack();
      break;
    }
    DxfPoint v;
    v.X = FloatValue();
    bool complete = false;
    while (!complete) {
      code = ReadGroup();
      switch (code) {
        case 20: v.Y = FloatValue(); break;
        case 30: v.Z = FloatValue(); break;
        case 40:
        case 41: FloatValue(); break;  // widths: checked, not kept
        case 42: v.W = FloatValue(); break;
        // The extrusion follows the vertices in an LWPOLYLINE; without it a
        // polyline drawn in a mirrored plane would be taken as unmirrored.
        case 210: rec_.Extrusion.X = FloatValue(); extrusionSeen = true; break;
        case 220: rec_.Extrusion.Y = FloatValue(); extrusionSeen = true; break;
        case 230: rec_.Extrusion.Z = FloatValue(); extrusionSeen = true; break;
        case 10:  // the next vertex
          PushBack();
          complete = true;
          break;
        case 0:  // the next entity
          PushBack();
          complete = true;
          more = false;
          break;
        default:
          if (code < 0) complete = true;
          break;
      }
    }
    if (code < 0) {
      // A vertex cut off by the end of the file ends the polyline.
      if (vertices.empty()) Fail(kMessage);
      break;
    }
    vertices.push_back(v);
  }
  if (extrusionSeen) NormaliseExtrusion(rec_.Extrusion);
  auto e = std::make_unique<Polyline_>();
  SetCommon(*e, rec_, true);
  e->Width = rec_.V40 / 2.0;
  if (rec_.Flags & 1) {
    e->Closed = true;
    CloseVertices(vertices);
  }
  e->Vertices = std::move(vertices);
  int made = 0;
  Add(rec_.Layer, std::move(e), keep, made);
  return made;
}

// ---------------------------------------------------------------- expansion

namespace {

// The layer name of a group 8 value, upper-cased as the reader keeps it.
std::string UpperName(std::string_view v) {
  std::string s(v);
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace

bool DXF_Reader::EntityGroup(const char* message, int& code) {
  code = ReadGroup();
  if (code < 0) Fail(message);
  if (code != 0) return true;
  PushBack();  // the next entity's name
  return false;
}

bool DXF_Reader::ReadAllBlocks() {
  for (;;) {
    int code = ReadGroup();
    if (code < 0) return false;
    if (code != 0) continue;
    if (Value() == "ENDSEC") return true;
    if (Value() != "BLOCK") continue;
    try {
      if (!ReadRecord(rec_)) return false;
    } catch (const DXF_read_exception& e) {
      if (ui_.Message(e.what(), kWarningCaption, MsgButtons::OkCancel, MsgIcon::Warning) ==
          MsgResult::Cancel)
        throw DXF_read_exception("User aborted", -1);
      continue;
    }
    // A later block of the same name replaces an earlier one.
    BlockDef& block = blocks_[UpperName(rec_.Name)];
    block = BlockDef{};
    block.Base = rec_.P[0];
    blockSink_ = &block;
    struct SinkGuard {
      BlockDef*& sink;
      ~SinkGuard() { sink = nullptr; }
    } guard{blockSink_};
    for (;;) {
      try {
        code = ReadGroup();
        if (code < 0) return false;
        if (code != 0) continue;
        const Tag tag = Classify(Value());
        if (tag == Tag::EndSec) return true;
        if (tag == Tag::EndBlk) break;
        ReadEntity(tag, true);
      } catch (const DXF_read_exception& e) {
        if (ui_.Message(e.what(), kWarningCaption, MsgButtons::OkCancel, MsgIcon::Warning) ==
            MsgResult::Cancel)
          throw DXF_read_exception("User aborted", -1);
      }
    }
  }
}

int DXF_Reader::ReadInsert(bool keep) {
  static constexpr const char* kMessage = "Error reading INSERT entity";
  auto ins = std::make_unique<Insert_>();
  DxfPoint extrusion{0.0, 0.0, 1.0, 0.0};
  std::string layer;
  for (int code; EntityGroup(kMessage, code);) {
    switch (code) {
      case 2: ins->Name = UpperName(Value()); break;
      case 8: layer = UpperName(Value()); break;
      case 10: ins->At.X = FloatValue(); break;
      case 20: ins->At.Y = FloatValue(); break;
      case 30: ins->At.Z = FloatValue(); break;
      case 41: ins->ScaleX = FloatValue(); break;
      case 42: ins->ScaleY = FloatValue(); break;
      case 43: ins->ScaleZ = FloatValue(); break;
      case 44: ins->ColumnSpacing = FloatValue(); break;
      case 45: ins->RowSpacing = FloatValue(); break;
      case 50: ins->Rotation = FloatValue(); break;
      case 62: ins->SetColourFromNumber(IntValue()); break;
      case 70: ins->Columns = IntValue(); break;
      case 71: ins->Rows = IntValue(); break;
      case 210: extrusion.X = FloatValue(); break;
      case 220: extrusion.Y = FloatValue(); break;
      case 230: extrusion.Z = FloatValue(); break;
      default: break;
    }
  }
  ins->Columns = std::max(ins->Columns, 1);
  ins->Rows = std::max(ins->Rows, 1);
  ins->Extrusion = extrusion;
  ins->Ocs = MakeOcs(extrusion);
  const int layerIndex = LayerIndex(layer);
  int made = 0;
  if (blockSink_) {
    Add(layerIndex, std::move(ins), keep, made);  // placed when its block is
    return made;
  }
  std::vector<std::string> nesting;
  ExpandInsert(*ins, DxfAffine{}, layerIndex, keep, nesting, made);
  return made;
}

void DXF_Reader::ExpandInsert(const Insert_& insert, const DxfAffine& outer, int layer, bool keep,
                              std::vector<std::string>& nesting, int& made) {
  const auto found = blocks_.find(insert.Name);
  if (found == blocks_.end()) return;  // no such block: nothing to place
  if (std::find(nesting.begin(), nesting.end(), insert.Name) != nesting.end()) {
    if (std::find(selfInsertShown_.begin(), selfInsertShown_.end(), insert.Name) ==
        selfInsertShown_.end()) {
      selfInsertShown_.push_back(insert.Name);
      ui_.Message("The block \"" + insert.Name + "\" inserts itself; that insert was left out.",
                  kWarningCaption, MsgButtons::Ok, MsgIcon::Warning);
    }
    return;
  }
  const BlockDef& block = found->second;
  if (block.Entities.empty()) return;
  // Every copy counts against the budget too, so that a huge array of a
  // block that places nothing still ends.
  auto overBudget = [this] {
    if (++expanded_ <= kMaxExpandedEntities) return false;
    if (!tooManyShown_) {
      tooManyShown_ = true;
      ui_.Message("The drawing's blocks give more than " + std::to_string(kMaxExpandedEntities) +
                      " entities; the rest were left out.",
                  kWarningCaption, MsgButtons::Ok, MsgIcon::Warning);
    }
    return true;
  };
  nesting.push_back(insert.Name);
  std::vector<std::unique_ptr<DXF_Entity>> placed;
  for (int row = 0; row < insert.Rows; ++row) {
    for (int col = 0; col < insert.Columns; ++col) {
      if (overBudget()) {
        nesting.pop_back();
        return;
      }
      const DxfAffine t = outer.After(InsertPlacement(insert, block.Base, col, row));
      for (const auto& [entityLayer, entity] : block.Entities) {
        // Entities drawn on layer "0" take the layer of their insert.
        const int target = layers_[static_cast<size_t>(entityLayer)]->Name == "0" ? layer : entityLayer;
        if (entity->Kind() == DxfKind::Insert) {
          ExpandInsert(static_cast<const Insert_&>(*entity), t, target, keep, nesting, made);
          continue;
        }
        placed.clear();
        PlaceEntity(*entity, t, options_.Tolerance, placed);
        for (auto& p : placed) {
          if (overBudget()) {
            nesting.pop_back();
            return;
          }
          Add(target, std::move(p), keep, made);
        }
      }
    }
  }
  nesting.pop_back();
}

int DXF_Reader::ReadSpline(bool keep) {
  static constexpr const char* kMessage = "Error reading SPLINE entity";
  SplineData sp;
  std::string layer;
  int colour = 0;
  for (int code; EntityGroup(kMessage, code);) {
    switch (code) {
      case 8: layer = UpperName(Value()); break;
      case 62: colour = IntValue(); break;
      case 70: sp.Flags = IntValue(); break;
      case 71: sp.Degree = IntValue(); break;
      case 40: sp.Knots.push_back(FloatValue()); break;
      case 41: sp.Weights.push_back(FloatValue()); break;
      case 10: sp.Control.push_back(DxfPoint{FloatValue(), 0, 0, 0}); break;
      case 20: if (!sp.Control.empty()) sp.Control.back().Y = FloatValue(); break;
      case 30: if (!sp.Control.empty()) sp.Control.back().Z = FloatValue(); break;
      case 11: sp.Fit.push_back(DxfPoint{FloatValue(), 0, 0, 0}); break;
      case 21: if (!sp.Fit.empty()) sp.Fit.back().Y = FloatValue(); break;
      case 31: if (!sp.Fit.empty()) sp.Fit.back().Z = FloatValue(); break;
      case 12: sp.StartTangent.X = FloatValue(); sp.HasStartTangent = true; break;
      case 22: sp.StartTangent.Y = FloatValue(); break;
      case 32: sp.StartTangent.Z = FloatValue(); break;
      case 13: sp.EndTangent.X = FloatValue(); sp.HasEndTangent = true; break;
      case 23: sp.EndTangent.Y = FloatValue(); break;
      case 33: sp.EndTangent.Z = FloatValue(); break;
      default: break;
    }
  }
  std::vector<DxfPoint> v = SplineToBulgeVertices(sp, options_.Tolerance);
  if (v.size() < 2) return 0;
  auto e = std::make_unique<Polyline_>();
  e->SetColourFromNumber(colour);
  const DxfPoint& a = v.front();
  const DxfPoint& b = v.back();
  e->Closed = std::fabs(a.X - b.X) <= kSamePoint && std::fabs(a.Y - b.Y) <= kSamePoint;
  e->Vertices = std::move(v);
  int made = 0;
  Add(LayerIndex(layer), std::move(e), keep, made);
  return made;
}

// ---------------------------------------------------------------- drawing object

std::unique_ptr<DXF_Object> ReadDxfFile(const std::string& path, UserInterface& ui,
                                        const DxfReadOptions& options) {
  FileSource source(path);
  // What cannot be an ASCII drawing at all is said so up front, instead of
  // a search for an ENTITIES section that cannot succeed.
  char head[DXF_Reader::kBlockSize];
  const size_t got = source.ReadAt(0, head, sizeof head);
  if (const char* why = NotAsciiDxf(std::string_view(head, got)))
    throw DxfFileError("Cannot read file \"" + path + "\": " + why);
  auto drawing = std::make_unique<DXF_Object>();
  drawing->Name = std::filesystem::path(path).filename().string();
  DXF_Reader reader(source, ui, options);
  reader.Run();
  drawing->Layers = reader.TakeLayers();
  return drawing;
}

std::unique_ptr<DXF_Object> ReadDxfBuffer(const std::string& name, std::string_view bytes,
                                          UserInterface& ui, const DxfReadOptions& options) {
  MemorySource source(bytes);
  auto drawing = std::make_unique<DXF_Object>();
  drawing->Name = std::filesystem::path(name).filename().string();
  DXF_Reader reader(source, ui, options);
  reader.Run();
  drawing->Layers = reader.TakeLayers();
  return drawing;
}

}  // namespace tarnak
