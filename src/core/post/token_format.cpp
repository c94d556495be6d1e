// FormatToken and FormatTokenValue: every word of a written NC program goes
// through here, millions of times for a big program, so the usual formats
// (fixed "%W.Pf" and integer "%d") take a fast path that works on the
// binary value directly. Anything else goes to FormatNumber /
// FormatInteger, which define the results; the fast path is checked
// against them whenever a token's Format is parsed, and a format on which
// they disagree stays on the slow path. The NC writer spells each token
// through a ShortWordSpeller, which looks at the token once per program
// and then writes a plain fixed format by a routine made for its number of
// decimals (the same digits and layout as PlainWord).
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "post/post_definition.h"
#include "base/numbers.h"

namespace tarnak {

namespace {

using post_detail::ParsedTokenFormat;
__extension__ typedef unsigned __int128 U128;

using post_detail::FormatKind;
constexpr FormatKind kEmpty = FormatKind::Empty;
constexpr FormatKind kFast = FormatKind::Fast;
constexpr FormatKind kSlow = FormatKind::Slow;
constexpr FormatKind kBad = FormatKind::Bad;

// Limits of the fast path: beyond them the general formatter is used.
constexpr int kMaxFastDecimals = 9;
constexpr int kMaxFastIntegerDigits = 20;
constexpr int kMaxFastWidth = 40;
constexpr int kMaxFastAffix = 24;  // literal text before or after the number
constexpr int kMaxFastBody = 48;   // digits, separator and decimals
constexpr std::size_t kMaxFastDesignation = 64;
constexpr double kMaxFastMagnitude = 1e15;
// Digits of the decimal expansion that rounding looks at, as FormatNumber.
constexpr int kSignificantDigits = 18;

constexpr std::uint64_t kPow10[19] = {1ULL,
                                      10ULL,
                                      100ULL,
                                      1000ULL,
                                      10000ULL,
                                      100000ULL,
                                      1000000ULL,
                                      10000000ULL,
                                      100000000ULL,
                                      1000000000ULL,
                                      10000000000ULL,
                                      100000000000ULL,
                                      1000000000000ULL,
                                      10000000000000ULL,
                                      100000000000000ULL,
                                      1000000000000000ULL,
                                      10000000000000000ULL,
                                      100000000000000000ULL,
                                      1000000000000000000ULL};

// ---- errors ---------------------------------------------------------------

std::string TokenLabel(const TTNToken& token) {
  std::string label = "Token \"" + token.Designation + "\" (variable ";
  const std::string_view name = VariableName(token.Variable);
  label += name.empty() ? std::to_string(token.Variable) : std::string(name);
  label += ")";
  return label;
}

[[noreturn]] void ThrowTokenError(const TTNToken& token, std::string_view message) {
  throw FormatError(TokenLabel(token) + ": " + std::string(message));
}

// Nearest integer, halves to even, as the integer formats want it.
long long RoundHalfEven(const TTNToken& token, double value) {
  if (!std::isfinite(value)) {
    ThrowTokenError(token, "value " + FloatToStr(value) + " cannot be written with the format '" +
                               token.Format + "'");
  }
  double r = std::floor(value);
  const double diff = value - r;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) {
    ThrowTokenError(token, "value " + FloatToStr(value) + " is too large for the format '" +
                               token.Format + "'");
  }
  return static_cast<long long>(r);
}

// ---- the fast path ----------------------------------------------------------

// Reads the parts of a format that FormatNumber has already accepted.
// False for anything the fast path does not handle.
bool ParseFastFormat(std::string_view f, ParsedTokenFormat& p) {
  NumberFormat form;
  try {
    form = ParseNumberFormat(f);
  } catch (const FormatError&) {
    return false;
  }
  if (form.width > kMaxFastWidth || form.precision > kMaxFastIntegerDigits) return false;
  switch (form.conversion) {
    case 'f': case 'F':
      if (form.precision > kMaxFastDecimals) return false;
      break;
    case 'd': case 'D':
      p.IntConversion = true;
      break;
    default:
      return false;
  }
  p.Left = form.left;
  p.PlusFlag = form.plus;
  p.Space = form.space;
  p.Zero = form.zero;
  p.Width = static_cast<std::int16_t>(form.width);
  p.Precision = static_cast<std::int16_t>(form.precision);
  p.Prefix = std::move(form.prefix);
  p.Suffix = std::move(form.suffix);
  return p.Prefix.size() <= kMaxFastAffix && p.Suffix.size() <= kMaxFastAffix;
}

// |value| x 10^decimals rounded the way FormatNumber rounds: the value's
// decimal expansion is first cut to 18 significant digits (nearest), then
// rounded at `decimals` with halves away from zero. Works exactly on the
// binary value x = m / 2^k. False when the value is outside the range this
// handles (then nothing is known about the result).
bool ScaledDigits(double x, int decimals, std::uint64_t& result) {
  if (x == 0.0) {
    result = 0;
    return true;
  }
  if (!(x < kMaxFastMagnitude)) return false;
  // x = m / 2^k with m the 53-bit significand.
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>(bits >> 52);  // x > 0: no sign bit
  std::uint64_t m = bits & ((1ULL << 52) - 1);
  int k = 1074;  // subnormal
  if (biased != 0) {
    m |= 1ULL << 52;
    k = 1075 - biased;  // x < 2^50, so k >= 3
  }
  if (k > 64) {
    const int drop = std::min(std::countr_zero(m), k - 64);
    m >>= drop;
    k -= drop;
    if (k > 64) return false;
  }
  const U128 mm = m;
  const U128 one = static_cast<U128>(1) << k;

  // Decimal exponent of x: x lies in [10^E, 10^(E+1)).
  int exponent = 0;
  const std::uint64_t whole = static_cast<std::uint64_t>(mm >> k);
  if (whole > 0) {
    // From the bit length (log10(2) ~ 1233 / 4096), corrected by one table look-up.
    exponent = ((64 - std::countl_zero(whole)) * 1233) >> 12;
    if (whole < kPow10[exponent]) --exponent;
  } else {
    exponent = -1;
    for (U128 t = mm * 10; t < one; t *= 10) --exponent;
  }
  // Decimals of the 18-digit expansion beyond the ones kept.
  const int extra = kSignificantDigits - 1 - exponent - decimals;
  if (extra < 1 || extra > 18) return false;

  const U128 scaled = mm * kPow10[decimals];
  U128 q = scaled >> k;
  const U128 r = scaled & (one - 1);
  // The fraction r / 2^k, cut to `extra` decimals, reaches one half exactly
  // when r / 2^k >= 1/2 - 1/(2 x 10^extra); it cannot fall on that bound
  // (a power of two is no multiple of 5), so no tie has to be broken.
  // r < 2^k <= 2^64 and 10^extra < 2^60: one 64 x 64 bit product.
  const std::uint64_t p = kPow10[extra];
  if (2 * (static_cast<U128>(p) * static_cast<std::uint64_t>(r)) >= (static_cast<U128>(p - 1) << k)) ++q;
  if (q >= kPow10[18]) return false;
  result = static_cast<std::uint64_t>(q);
  return true;
}

// ScaledDigits for the usual coordinates and feeds, cheaper: for x in
// [2^-12, 10^(16 - decimals)) the 18-digit expansion keeps more than one
// decimal beyond the ones written, so it can round only where the
// fraction left over is within 1/20 below one half; anywhere else the
// first dropped binary digits decide alone, and the decimal exponent of x
// is not needed. Near one half, and outside that range, ScaledDigits
// decides.
__attribute__((always_inline)) inline bool QuickScaledDigits(double x, int decimals,
                                                             std::uint64_t& result) {
  static constexpr double kUpper[kMaxFastDecimals + 1] = {1e15, 1e15, 1e14, 1e13, 1e12,
                                                         1e11, 1e10, 1e9,  1e8,  1e7};
  if (!(x >= 0x1p-12 && x < kUpper[decimals])) return ScaledDigits(x, decimals, result);
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const std::uint64_t m = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
  const int k = 1075 - static_cast<int>(bits >> 52);  // 3 <= k <= 64 here
  const U128 scaled = static_cast<U128>(m) * kPow10[decimals];
  const std::uint64_t q = static_cast<std::uint64_t>(scaled >> k);
  const U128 r = scaled & ((static_cast<U128>(1) << k) - 1);
  const U128 half = static_cast<U128>(1) << (k - 1);
  if (r >= half) {
    result = q + 1;
    return true;
  }
  // r / 2^k < 1/2 - 1/16 lies below any threshold 1/2 - 1/(2 x 10^extra).
  if (r < half - (half >> 3)) {
    result = q;
    return true;
  }
  return ScaledDigits(x, decimals, result);
}

// Composes a word from its end towards its start in a stack buffer, so
// that the digits can be produced lowest first and the whole word becomes
// one string at the end.
class WordWriter {
 public:
  static constexpr std::size_t kSize = kMaxFastDesignation + 1 + kMaxFastAffix + kMaxFastWidth +
                                       kMaxFastBody + kMaxFastAffix;

  char* at() const { return at_; }
  void Put(char c) { *--at_ = c; }
  void Put(std::string_view text) {
    if (text.empty()) return;  // the usual empty prefix and suffix
    at_ -= text.size();
    std::memcpy(at_, text.data(), text.size());
  }
  void Fill(char c, std::size_t n) {
    for (; n > 0; --n) *--at_ = c;
  }
  // The last `length` characters written move `by` places towards the start.
  void Shift(std::size_t length, std::size_t by) {
    std::memmove(at_ - by, at_, length);
    at_ -= by;
  }
  std::size_t size() const { return static_cast<std::size_t>(buffer_ + kSize - at_); }
  std::string Text() const {
    return std::string(at_, static_cast<std::size_t>(buffer_ + kSize - at_));
  }
  void Clear() { at_ = buffer_ + kSize; }

 private:
  char buffer_[kSize];
  char* at_ = buffer_ + kSize;
};

// Writes the decimal digits of v, at least `minimum` of them.
void PutDigits(WordWriter& w, std::uint64_t v, std::size_t minimum) {
  std::size_t count = 0;
  do {
    w.Put(static_cast<char>('0' + v % 10));
    v /= 10;
    ++count;
  } while (v != 0);
  if (count < minimum) w.Fill('0', minimum - count);
}

// Sign, padding and the literal text in front of a body that ends at
// bodyEnd (the suffix is already written), as FormatNumber places them.
void FinishField(WordWriter& w, const ParsedTokenFormat& p, bool negative, const char* bodyEnd,
                 bool zeroPadAllowed) {
  const std::size_t length = static_cast<std::size_t>(bodyEnd - w.at());
  const char sign = negative ? '-' : p.PlusFlag ? '+' : p.Space ? ' ' : '\0';
  const std::size_t total = length + (sign != '\0' ? 1 : 0);
  const std::size_t width = static_cast<std::size_t>(p.Width);
  const std::size_t pad = total >= width ? 0 : width - total;
  if (pad > 0 && p.Left) {
    w.Shift(length, pad);
    std::memset(w.at() + length, ' ', pad);
    if (sign != '\0') w.Put(sign);
  } else if (pad > 0 && p.Zero && zeroPadAllowed) {
    w.Fill('0', pad);
    if (sign != '\0') w.Put(sign);
  } else {
    if (sign != '\0') w.Put(sign);
    w.Fill(' ', pad);
  }
  w.Put(p.Prefix);
}

// Fixed notation; false (nothing written) outside the fast range.
bool PutFixed(WordWriter& w, const ParsedTokenFormat& p, double value) {
  if (!std::isfinite(value)) return false;
  const int decimals = p.Precision < 0 ? 6 : p.Precision;
  std::uint64_t q = 0;
  if (!QuickScaledDigits(std::fabs(value), decimals, q)) return false;
  // A value that rounds to nothing carries no minus sign.
  const bool negative = std::signbit(value) && q != 0;
  w.Put(p.Suffix);
  const char* bodyEnd = w.at();
  if (decimals > 0) {
    for (int i = 0; i < decimals; ++i) {
      w.Put(static_cast<char>('0' + q % 10));
      q /= 10;
    }
    w.Put(DecimalSeparator());
  }
  PutDigits(w, q, 1);
  FinishField(w, p, negative, bodyEnd, true);
  return true;
}

void PutInteger(WordWriter& w, const ParsedTokenFormat& p, long long value) {
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative ? 0ULL - static_cast<std::uint64_t>(value)
                                           : static_cast<std::uint64_t>(value);
  w.Put(p.Suffix);
  const char* bodyEnd = w.at();
  PutDigits(w, magnitude, p.Precision > 0 ? static_cast<std::size_t>(p.Precision) : 0);
  FinishField(w, p, negative, bodyEnd, p.Precision < 0);
}

constexpr double kExactIntegerLimit = 9007199254740992.0;  // 2^53

// What FormatInteger(Format, n) gives, through the fast path.
bool FastInteger(WordWriter& w, const ParsedTokenFormat& p, long long n) {
  if (p.IntConversion) {
    PutInteger(w, p, n);
    return true;
  }
  const double v = static_cast<double>(n);
  return std::fabs(v) < kExactIntegerLimit && PutFixed(w, p, v);
}

// What FormatNumber(Format, v) gives, through the fast path.
bool FastNumber(WordWriter& w, const ParsedTokenFormat& p, double v) {
  if (!p.IntConversion) return PutFixed(w, p, v);
  if (!std::isfinite(v) || std::fabs(v) >= kExactIntegerLimit) return false;
  double r = std::floor(v);
  const double diff = v - r;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
  PutInteger(w, p, static_cast<long long>(r));
  return true;
}

// The fast path must give what the general formatter gives; a format on
// which a few telling values disagree is left to the general formatter.
bool FastPathAgrees(const ParsedTokenFormat& p, const std::string& format) {
  static constexpr double kProbes[] = {0.0,     -0.0,      1.0,         -1.0,         0.5,
                                       -0.5,    2.5,       3.5,         -3.0,         12.5,
                                       0.03125, -0.03125,  0.00004,     -0.000049,    123.456789,
                                       99.9995, 1234567.5, 0.123456789, -98765.4321,  1e14 + 0.5};
  WordWriter w;
  try {
    for (const double v : kProbes) {
      w.Clear();
      if (FastNumber(w, p, v) && w.Text() != FormatNumber(format, v)) return false;
      const long long n = static_cast<long long>(v);
      w.Clear();
      if (FastInteger(w, p, n) && w.Text() != FormatInteger(format, n)) return false;
    }
  } catch (const FormatError&) {
    return false;
  }
  return true;
}

std::size_t PlainWord(const TTNToken& token, const ParsedTokenFormat& p,
                      std::string_view designation, double value, char* out, std::size_t capacity);

// The same check for the words written forwards (PlainWord).
bool PlainAgrees(const ParsedTokenFormat& p, const std::string& format) {
  static constexpr double kProbes[] = {0.0,    -0.0,    1.0,     -1.0,       0.5,         -0.5,
                                       2.5,    3.5,     12.5,    0.03125,    -0.03125,    0.00004,
                                       99.9995, 1234567.5, 0.123456789, -98765.4321, 90.4825};
  const TTNToken bare;
  char word[64];
  try {
    for (const double v : kProbes) {
      const long long n = static_cast<long long>(v);
      const double value = p.IntegerRule ? static_cast<double>(n) : v;
      const std::size_t size = PlainWord(bare, p, {}, value, word, sizeof word);
      if (size == post_detail::kNoShortWord) continue;
      const std::string expected = p.IntegerRule ? FormatInteger(format, n) : FormatNumber(format, v);
      if (std::string_view(word, size) != expected) return false;
    }
  } catch (const FormatError&) {
    return false;
  }
  return true;
}

void Build(ParsedTokenFormat& p, const std::string& format) {
  p = ParsedTokenFormat{};
  p.Source = format;
  p.Built = true;
  if (format.empty()) {
    p.Kind = kEmpty;
    return;
  }
  p.IntegerRule = format.find('d') != std::string::npos;
  try {
    (void)FormatNumber(format, 0.0);
  } catch (const FormatError& e) {
    p.Kind = kBad;
    p.Error = e.what();
    return;
  }
  ParsedTokenFormat fast = p;
  if (ParseFastFormat(format, fast) && FastPathAgrees(fast, format)) {
    p = std::move(fast);
    p.Kind = kFast;
    p.Plain = !p.Left && !p.PlusFlag && !p.Space && p.Width <= 1 && p.Prefix.empty() &&
              p.Suffix.empty() && (p.IntConversion ? p.Precision < 0 : !p.IntegerRule);
    if (p.Plain && !PlainAgrees(p, format)) p.Plain = false;
  } else {
    p.Kind = kSlow;
  }
}

// Whether two short texts are the same, without a call for the usual
// few characters.
inline bool SameShortText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() <= 8) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i] != b[i]) return false;
    }
    return true;
  }
  return std::memcmp(a.data(), b.data(), a.size()) == 0;
}

const ParsedTokenFormat& Prepared(const TTNToken& token) {
  ParsedTokenFormat& p = token.Parsed;
  if (!p.Built || !SameShortText(p.Source, token.Format)) Build(p, token.Format);
  return p;
}

std::string_view DesignationText(const TTNToken& token) {
  if (SameShortText(token.Designation, kNullDesignation)) return {};
  return token.Designation;
}

// "00" to "99", for writing two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the `count` lowest decimal digits of v (leading zeros included)
// ending at `end`.
inline void PutDigitsBefore(char* end, std::uint64_t v, int count) {
  for (; count >= 2; count -= 2) {
    const std::size_t pair = static_cast<std::size_t>(v % 100) * 2;
    v /= 100;
    end -= 2;
    end[0] = kDigitPairs[pair];
    end[1] = kDigitPairs[pair + 1];
  }
  if (count == 1) *--end = static_cast<char>('0' + v % 10);
}

inline int DigitCount(std::uint64_t v) {
  int n = 1;
  while (n < 19 && v >= kPow10[n]) ++n;
  return n;
}

// A plain format's word written forwards at `out`: designation, the "+"
// of Plus, sign and number. The length, or kNoShortWord when the number
// is outside the fast range or the word does not fit.
std::size_t PlainWord(const TTNToken& token, const ParsedTokenFormat& p,
                      std::string_view designation, double value, char* out,
                      std::size_t capacity) {
  std::uint64_t magnitude = 0;
  bool negative = false;
  int decimals = 0;
  if (p.IntConversion) {
    if (!(std::fabs(value) < kExactIntegerLimit)) return post_detail::kNoShortWord;
    // Nearest, halves to even, as RoundHalfEven.
    const double r = std::floor(value);
    const double diff = value - r;
    long long n = static_cast<long long>(r);
    if (diff > 0.5 || (diff == 0.5 && (n & 1) != 0)) ++n;
    negative = n < 0;
    magnitude = negative ? 0ULL - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  } else {
    decimals = p.Precision < 0 ? 6 : p.Precision;
    if (!QuickScaledDigits(std::fabs(value), decimals, magnitude)) return post_detail::kNoShortWord;
    // A value that rounds to nothing carries no minus sign.
    negative = std::signbit(value) && magnitude != 0;
  }
  const std::uint64_t whole = decimals > 0 ? magnitude / kPow10[decimals] : magnitude;
  const int wholeDigits = DigitCount(whole);
  const std::size_t size = designation.size() + (token.Plus && !p.IntegerRule ? 1 : 0) +
                           (negative ? 1 : 0) + static_cast<std::size_t>(wholeDigits) +
                           (decimals > 0 ? 1 + static_cast<std::size_t>(decimals) : 0);
  if (size > capacity) return post_detail::kNoShortWord;
  char* at = out;
  if (!designation.empty()) {
    std::memcpy(at, designation.data(), designation.size());
    at += designation.size();
  }
  if (token.Plus && !p.IntegerRule) *at++ = '+';
  if (negative) *at++ = '-';
  at += wholeDigits;
  PutDigitsBefore(at, whole, wholeDigits);
  if (decimals > 0) {
    *at++ = DecimalSeparator();
    at += decimals;
    PutDigitsBefore(at, magnitude, decimals);
  }
  return size;
}

std::string FormatWithValue(const TTNToken& token, double value) {
  const ParsedTokenFormat& p = Prepared(token);
  const std::string_view designation = DesignationText(token);
  switch (p.Kind) {
    case kEmpty:
      return std::string(designation) + (token.Plus ? "+" : "");
    case kBad:
      ThrowTokenError(token, p.Error);
    default:
      break;
  }
  const bool fast = p.Kind == kFast && designation.size() <= kMaxFastDesignation;
  if (p.IntegerRule) {
    const long long n = RoundHalfEven(token, value);
    if (fast) {
      WordWriter w;
      if (FastInteger(w, p, n)) {
        w.Put(designation);
        return w.Text();
      }
    }
    try {
      return std::string(designation) + FormatInteger(token.Format, n);
    } catch (const FormatError& e) {
      ThrowTokenError(token, e.what());
    }
  }
  if (fast) {
    WordWriter w;
    if (FastNumber(w, p, value)) {
      if (token.Plus) w.Put('+');
      w.Put(designation);
      return w.Text();
    }
  }
  try {
    return std::string(designation) + (token.Plus ? "+" : "") + FormatNumber(token.Format, value);
  } catch (const FormatError& e) {
    ThrowTokenError(token, e.what());
  }
}

}  // namespace

std::string FormatToken(const TTNToken& token, std::span<const double> values) {
  if (token.Variable == TokenVar::None) return std::string(DesignationText(token));
  if (token.Variable < 0) return {};
  if (static_cast<std::size_t>(token.Variable) >= values.size()) {
    ThrowTokenError(token, "there is no variable " + std::to_string(token.Variable));
  }
  return FormatWithValue(token, values[static_cast<std::size_t>(token.Variable)]);
}

std::size_t post_detail::FormatTokenValueShort(const TTNToken& token, double value, char* out,
                                              std::size_t capacity) {
  if (token.Variable <= 0) return kNoShortWord;  // literal or cleared
  const ParsedTokenFormat& p = Prepared(token);
  const std::string_view designation = DesignationText(token);
  if (p.Kind != kFast || designation.size() > kMaxFastDesignation) return kNoShortWord;
  if (p.Plain) return PlainWord(token, p, designation, value, out, capacity);
  WordWriter w;
  if (p.IntegerRule) {
    // What RoundHalfEven refuses is left to FormatTokenValue to report.
    if (!(std::fabs(value) < kExactIntegerLimit)) return kNoShortWord;
    if (!FastInteger(w, p, RoundHalfEven(token, value))) return kNoShortWord;
  } else {
    if (!FastNumber(w, p, value)) return kNoShortWord;
    if (token.Plus) w.Put('+');
  }
  w.Put(designation);
  const std::size_t size = w.size();
  if (size > capacity) return kNoShortWord;
  std::memcpy(out, w.at(), size);
  return size;
}

post_detail::ShortWordSpeller::ShortWordSpeller(const TTNToken& token) : token_(&token) {
  if (token.Variable <= 0) return;
  const ParsedTokenFormat& p = Prepared(token);
  const std::string_view designation = DesignationText(token);
  // Only what PlainWord writes as a fixed-point number, with a
  // designation that fits one machine word.
  if (p.Kind != kFast || !p.Plain || p.IntConversion || designation.size() > 8) return;
  static constexpr FixedWriter kWriters[kMaxFastDecimals + 1] = {
      &ShortWordSpeller::Fixed<0>, &ShortWordSpeller::Fixed<1>, &ShortWordSpeller::Fixed<2>,
      &ShortWordSpeller::Fixed<3>, &ShortWordSpeller::Fixed<4>, &ShortWordSpeller::Fixed<5>,
      &ShortWordSpeller::Fixed<6>, &ShortWordSpeller::Fixed<7>, &ShortWordSpeller::Fixed<8>,
      &ShortWordSpeller::Fixed<9>};
  const int decimals = p.Precision < 0 ? 6 : p.Precision;
  if (decimals > kMaxFastDecimals) return;
  fixed_ = kWriters[decimals];
  // An empty designation may have no storage at all.
  if (!designation.empty()) std::memcpy(&designation_, designation.data(), designation.size());
  designationSize_ = designation.size();
  plus_ = token.Plus;
  separator_ = DecimalSeparator();
}

// PlainWord of a fixed format with `Decimals` decimals: the same digits
// (QuickScaledDigits), the same layout, with the splitting of the digits
// into whole and decimal parts done by constants.
template <int Decimals>
std::size_t post_detail::ShortWordSpeller::Fixed(double value, char* out,
                                                 std::size_t capacity) const {
  std::uint64_t magnitude = 0;
  if (!QuickScaledDigits(std::fabs(value), Decimals, magnitude)) return kNoShortWord;
  // A value that rounds to nothing carries no minus sign.
  const bool negative = std::signbit(value) && magnitude != 0;
  constexpr std::uint64_t kScale = kPow10[Decimals];
  const std::uint64_t whole = magnitude / kScale;
  const int wholeDigits = DigitCount(whole);
  const std::size_t size = designationSize_ + (plus_ ? 1 : 0) + (negative ? 1 : 0) +
                           static_cast<std::size_t>(wholeDigits) +
                           (Decimals > 0 ? 1 + static_cast<std::size_t>(Decimals) : 0);
  if (size > capacity) return kNoShortWord;
  char* at = out;
  std::memcpy(at, &designation_, 8);  // capacity >= 8 here: see operator()
  at += designationSize_;
  if (plus_) *at++ = '+';
  if (negative) *at++ = '-';
  at += wholeDigits;
  PutDigitsBefore(at, whole, wholeDigits);
  if constexpr (Decimals > 0) {
    *at++ = separator_;
    at += Decimals;
    PutDigitsBefore(at, magnitude - whole * kScale, Decimals);
  }
  return size;
}

std::string FormatTokenValue(const TTNToken& token, double value) {
  if (token.Variable == TokenVar::None) return std::string(DesignationText(token));
  if (token.Variable < 0) return {};
  return FormatWithValue(token, value);
}

}  // namespace tarnak
