#include "base/numbers.h"
#include "base/text.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace tarnak {

namespace {

std::atomic<char> g_separator{'.'};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks are every control character and the space, as typed into fields
// or left around values in files.
std::string_view TrimNumber(std::string_view s) { return TrimBlanks(s, Blanks::SpaceAndControls); }

// Strict parse of an already trimmed text: [sign] digits [sep digits]
// [(e|E) [sign] digits], at least one mantissa digit. With anySeparator
// both '.' and ',' are accepted in place of the current separator.
bool ParseFloat(std::string_view s, bool anySeparator, double& out) {
  const char sep = DecimalSeparator();
  std::size_t i = 0;
  const std::size_t n = s.size();
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t intStart = i;
  while (i < n && IsDigit(s[i])) ++i;
  std::string_view intDigits = s.substr(intStart, i - intStart);
  std::string_view fracDigits;
  if (i < n && (s[i] == sep || (anySeparator && (s[i] == '.' || s[i] == ',')))) {
    const std::size_t fracStart = ++i;
    while (i < n && IsDigit(s[i])) ++i;
    fracDigits = s.substr(fracStart, i - fracStart);
  }
  if (intDigits.empty() && fracDigits.empty()) return false;
  std::string_view expDigits;
  bool expNegative = false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) expNegative = s[i++] == '-';
    const std::size_t expStart = i;
    while (i < n && IsDigit(s[i])) ++i;
    expDigits = s.substr(expStart, i - expStart);
    if (expDigits.empty()) return false;
  }
  if (i != n) return false;

  // Position of the leading non-zero digit relative to the point; none
  // means the value is zero whatever the exponent says.
  long long lead = 0;
  bool nonZero = false;
  for (std::size_t k = 0; k < intDigits.size() && !nonZero; ++k) {
    if (intDigits[k] != '0') {
      nonZero = true;
      lead = static_cast<long long>(intDigits.size() - k) - 1;
    }
  }
  for (std::size_t k = 0; k < fracDigits.size() && !nonZero; ++k) {
    if (fracDigits[k] != '0') {
      nonZero = true;
      lead = -static_cast<long long>(k) - 1;
    }
  }
  if (!nonZero) {
    out = negative ? -0.0 : 0.0;
    return true;
  }

  std::string normal;
  normal.reserve(s.size() + 4);
  if (negative) normal += '-';
  normal += intDigits.empty() ? std::string_view("0") : intDigits;
  normal += '.';
  normal += fracDigits;
  if (!expDigits.empty()) {
    normal += 'e';
    if (expNegative) normal += '-';
    normal += expDigits;
  }
  double v = 0.0;
  const auto r = std::from_chars(normal.data(), normal.data() + normal.size(), v,
                                 std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Too small to hold reads as zero; too large is not a number we can use.
    long long exponent = 0;
    for (char c : expDigits) {
      exponent = exponent * 10 + (c - '0');
      if (exponent > 1000000) break;
    }
    if (expNegative) exponent = -exponent;
    if (lead + exponent >= 0) return false;
    out = negative ? -0.0 : 0.0;
    return true;
  }
  if (r.ec != std::errc() || r.ptr != normal.data() + normal.size()) return false;
  if (!std::isfinite(v)) return false;
  out = v;
  return true;
}

bool TryTextToFloatImpl(std::string_view text, bool anySeparator, double& value) {
  const std::string_view s = TrimNumber(text);
  if (s.empty() || s == "-") {
    value = 0.0;
    return true;
  }
  return ParseFloat(s, anySeparator, value);
}

[[noreturn]] void ThrowNotFloat(std::string_view text) {
  throw ConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

// ---- decimal digits of a double ----------------------------------------

// |value| as 18 significant decimal digits d0.d1...d17 x 10^exp (zero gives
// one digit "0" and exponent 0).
struct Decimal {
  std::string digits;
  int exp = 0;
};

Decimal DecimalOf(double value, int significant) {
  Decimal d;
  value = std::fabs(value);
  if (value == 0.0) {
    d.digits = "0";
    return d;
  }
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific,
                               significant - 1);
  const std::string_view text(buf, static_cast<std::size_t>(r.ptr - buf));
  const std::size_t ePos = text.find('e');
  for (std::size_t i = 0; i < ePos; ++i) {
    if (text[i] != '.') d.digits += text[i];
  }
  int exp = 0;
  std::from_chars(text.data() + ePos + (text[ePos + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  exp);
  d.exp = exp;
  return d;
}

// Adds one unit in the last place of a digit string; may grow it by a digit.
void IncrementDigits(std::string& m) {
  for (std::size_t i = m.size(); i-- > 0;) {
    if (m[i] != '9') {
      ++m[i];
      return;
    }
    m[i] = '0';
  }
  m.insert(m.begin(), '1');
}

// The value times 10^decimals rounded to an integer, halves away from
// zero, as a digit string without leading zeros.
std::string RoundToDecimals(const Decimal& d, int decimals) {
  const long long keep = static_cast<long long>(d.exp) + decimals + 1;
  const long long len = static_cast<long long>(d.digits.size());
  std::string m;
  if (keep <= 0) {
    m = (keep == 0 && d.digits[0] >= '5') ? "1" : "0";
  } else if (keep >= len) {
    m = d.digits + std::string(static_cast<std::size_t>(keep - len), '0');
  } else {
    m = d.digits.substr(0, static_cast<std::size_t>(keep));
    if (d.digits[static_cast<std::size_t>(keep)] >= '5') IncrementDigits(m);
  }
  const std::size_t first = m.find_first_not_of('0');
  return first == std::string::npos ? std::string("0") : m.substr(first);
}

// Exactly `count` significant digits, halves away from zero; the exponent
// moves up when rounding carries into a new digit.
Decimal RoundToSignificant(const Decimal& d, int count) {
  Decimal r;
  r.exp = d.exp;
  const std::size_t n = static_cast<std::size_t>(count);
  if (d.digits == "0") {
    r.digits = std::string(n, '0');
    r.exp = 0;
  } else if (n >= d.digits.size()) {
    r.digits = d.digits + std::string(n - d.digits.size(), '0');
  } else {
    r.digits = d.digits.substr(0, n);
    if (d.digits[n] >= '5') {
      IncrementDigits(r.digits);
      if (r.digits.size() > n) {
        r.digits.resize(n);
        ++r.exp;
      }
    }
  }
  return r;
}

bool AllZero(std::string_view s) { return s.find_first_not_of('0') == std::string_view::npos; }

// Integer digits m read as m / 10^decimals, written in fixed form.
std::string FixedText(std::string m, int decimals, char sep) {
  const std::size_t p = static_cast<std::size_t>(decimals);
  if (m.size() <= p) m.insert(0, p + 1 - m.size(), '0');
  std::string out = m.substr(0, m.size() - p);
  if (p > 0) {
    out += sep;
    out.append(m, m.size() - p, p);
  }
  return out;
}

std::string ExponentText(int exp, int minDigits) {
  std::string digits = std::to_string(exp < 0 ? -exp : exp);
  if (static_cast<int>(digits.size()) < minDigits)
    digits.insert(0, static_cast<std::size_t>(minDigits) - digits.size(), '0');
  return (exp < 0 ? "-" : "") + digits;
}

// Drops trailing zeros of the fraction, and the separator when nothing is
// left after it.
void StripFractionZeros(std::string& s, char sep) {
  if (s.find(sep) == std::string::npos) return;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == sep) s.pop_back();
}

// ---- printf-style formats ----------------------------------------------

constexpr int kMaxFieldNumber = 999;

[[noreturn]] void ThrowBadFormat(std::string_view format) {
  throw FormatError("Format '" + std::string(format) +
                    "' is invalid or does not fit one number");
}

}  // namespace

NumberFormat ParseNumberFormat(std::string_view format) {
  NumberFormat form;
  bool found = false;
  const std::size_t n = format.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = format[i];
    if (c != '%') {
      (found ? form.suffix : form.prefix) += c;
      ++i;
      continue;
    }
    if (i + 1 < n && format[i + 1] == '%') {
      (found ? form.suffix : form.prefix) += '%';
      i += 2;
      continue;
    }
    if (found) ThrowBadFormat(format);
    found = true;
    ++i;
    for (; i < n; ++i) {
      const char f = format[i];
      if (f == '-') form.left = true;
      else if (f == '+') form.plus = true;
      else if (f == ' ') form.space = true;
      else if (f == '0') form.zero = true;
      else break;
    }
    auto readNumber = [&](int& value) {
      int digits = 0;
      value = 0;
      while (i < n && IsDigit(format[i])) {
        value = value * 10 + (format[i] - '0');
        if (++digits > 3 || value > kMaxFieldNumber) ThrowBadFormat(format);
        ++i;
      }
    };
    readNumber(form.width);
    if (i < n && format[i] == '.') {
      ++i;
      readNumber(form.precision);
    }
    if (i < n && format[i] == 'l') {
      ++i;
      if (i < n && format[i] == 'l') ++i;
    } else if (i < n && format[i] == 'L') {
      ++i;
    }
    if (i >= n) ThrowBadFormat(format);
    switch (format[i]) {
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'd': case 'D':
        form.conversion = format[i];
        break;
      default:
        ThrowBadFormat(format);
    }
    ++i;
  }
  if (!found) ThrowBadFormat(format);
  return form;
}

namespace {

bool IsIntegerConversion(char c) { return c == 'd' || c == 'D'; }

// Sign, padding and the literal text around the field.
std::string Assemble(const NumberFormat& form, bool negative, const std::string& body,
                     bool zeroPadAllowed) {
  std::string sign;
  if (negative) sign = "-";
  else if (form.plus) sign = "+";
  else if (form.space) sign = " ";
  std::string field;
  const std::size_t len = sign.size() + body.size();
  const std::size_t width = static_cast<std::size_t>(form.width);
  if (len >= width) {
    field = sign + body;
  } else if (form.left) {
    field = sign + body + std::string(width - len, ' ');
  } else if (form.zero && zeroPadAllowed) {
    field = sign + std::string(width - len, '0') + body;
  } else {
    field = std::string(width - len, ' ') + sign + body;
  }
  return form.prefix + field + form.suffix;
}

std::string FormatIntegerField(const NumberFormat& form, long long value) {
  const bool negative = value < 0;
  const unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, magnitude);
  std::string body(buf, r.ptr);
  if (form.precision > 0 && body.size() < static_cast<std::size_t>(form.precision))
    body.insert(0, static_cast<std::size_t>(form.precision) - body.size(), '0');
  return Assemble(form, negative, body, form.precision < 0);
}

std::string FormatFloatField(const NumberFormat& form, double value) {
  const char sep = DecimalSeparator();
  if (std::isnan(value)) return Assemble(form, false, "NAN", false);
  if (std::isinf(value)) return Assemble(form, value < 0, "INF", false);

  const Decimal d = DecimalOf(value, 18);
  const bool upper = form.conversion == 'E' || form.conversion == 'G';
  const char expLetter = upper ? 'E' : 'e';
  std::string body;
  bool zeroResult = false;
  switch (form.conversion) {
    case 'f':
    case 'F': {
      const int decimals = form.precision < 0 ? 6 : form.precision;
      const std::string m = RoundToDecimals(d, decimals);
      zeroResult = AllZero(m);
      body = FixedText(m, decimals, sep);
      break;
    }
    case 'e':
    case 'E': {
      const int decimals = form.precision < 0 ? 6 : form.precision;
      const Decimal r = RoundToSignificant(d, decimals + 1);
      zeroResult = AllZero(r.digits);
      body = FixedText(r.digits, decimals, sep) + expLetter + (r.exp < 0 ? "" : "+") +
             ExponentText(r.exp, 2);
      break;
    }
    default: {  // g, G
      const int significant = form.precision < 0 ? 6 : (form.precision == 0 ? 1 : form.precision);
      const Decimal r = RoundToSignificant(d, significant);
      zeroResult = AllZero(r.digits);
      if (r.exp >= -4 && r.exp < significant) {
        const int decimals = significant - 1 - r.exp;
        body = FixedText(RoundToDecimals(d, decimals), decimals, sep);
        StripFractionZeros(body, sep);
      } else {
        body = FixedText(r.digits, significant - 1, sep);
        StripFractionZeros(body, sep);
        body += expLetter;
        body += (r.exp < 0 ? "" : "+") + ExponentText(r.exp, 2);
      }
      break;
    }
  }
  // A value that rounds to nothing is written without a minus sign, so a
  // tiny negative coordinate does not come out as "-0.0000".
  const bool negative = std::signbit(value) && !zeroResult;
  return Assemble(form, negative, body, true);
}

// Nearest integer, halves to even; the value must fit a 64-bit integer.
long long RoundHalfEven(double value, std::string_view format) {
  if (!std::isfinite(value)) {
    throw FormatError("Value " + FloatToStr(value) + " cannot be written with the integer format '" +
                      std::string(format) + "'");
  }
  double r = std::floor(value);
  const double diff = value - r;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) {
    throw FormatError("Value " + FloatToStr(value) + " is too large for the integer format '" +
                      std::string(format) + "'");
  }
  return static_cast<long long>(r);
}

}  // namespace

char DecimalSeparator() { return g_separator.load(std::memory_order_relaxed); }

void SetDecimalSeparator(char separator) {
  if (separator != '.' && separator != ',')
    throw std::invalid_argument(std::string("Unsupported decimal separator '") + separator + "'");
  g_separator.store(separator, std::memory_order_relaxed);
}

std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0.0) return "0";
  const char sep = DecimalSeparator();
  Decimal d = DecimalOf(value, 15);
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  std::string out = value < 0 ? "-" : "";
  const int exp = d.exp;
  const int count = static_cast<int>(d.digits.size());
  if (exp < -4 || exp >= 15) {
    out += d.digits[0];
    if (count > 1) {
      out += sep;
      out.append(d.digits, 1, std::string::npos);
    }
    out += 'E';
    out += ExponentText(exp, 1);
  } else if (exp < 0) {
    out += '0';
    out += sep;
    out.append(static_cast<std::size_t>(-exp - 1), '0');
    out += d.digits;
  } else if (count <= exp + 1) {
    out += d.digits;
    out.append(static_cast<std::size_t>(exp + 1 - count), '0');
  } else {
    out.append(d.digits, 0, static_cast<std::size_t>(exp + 1));
    out += sep;
    out.append(d.digits, static_cast<std::size_t>(exp + 1), std::string::npos);
  }
  return out;
}

bool TryTextToFloat(std::string_view text, double& value) {
  return TryTextToFloatImpl(text, false, value);
}

double TextToFloat(std::string_view text) {
  double v = 0.0;
  if (!TryTextToFloatImpl(text, false, v)) ThrowNotFloat(text);
  return v;
}

bool TryTextToFloatAnySeparator(std::string_view text, double& value) {
  return TryTextToFloatImpl(text, true, value);
}

double TextToFloatAnySeparator(std::string_view text) {
  double v = 0.0;
  if (!TryTextToFloatImpl(text, true, v)) ThrowNotFloat(text);
  return v;
}

bool TryTextToInt(std::string_view text, int& value) {
  const std::string_view s = TrimNumber(text);
  if (s.empty() || s == "-") {
    value = 0;
    return true;
  }
  std::size_t i = 0;
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') negative = s[i++] == '-';
  if (i == s.size()) return false;
  for (std::size_t k = i; k < s.size(); ++k) {
    if (!IsDigit(s[k])) return false;
  }
  long long magnitude = 0;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), magnitude);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  const long long v = negative ? -magnitude : magnitude;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int>(v);
  return true;
}

int TextToInt(std::string_view text) {
  int v = 0;
  if (!TryTextToInt(text, v))
    throw ConvertError("'" + std::string(text) + "' is not a valid integer value");
  return v;
}

std::string FormatNumber(std::string_view format, double value) {
  const NumberFormat form = ParseNumberFormat(format);
  if (IsIntegerConversion(form.conversion))
    return FormatIntegerField(form, RoundHalfEven(value, format));
  return FormatFloatField(form, value);
}

std::string FormatInteger(std::string_view format, long long value) {
  const NumberFormat form = ParseNumberFormat(format);
  if (IsIntegerConversion(form.conversion)) return FormatIntegerField(form, value);
  return FormatFloatField(form, static_cast<double>(value));
}

}  // namespace tarnak
