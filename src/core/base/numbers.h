// Numbers as text: the one process-wide decimal separator, the general
// float-to-text form used in settings files and fields, strict parsing of
// typed and stored numbers, and the printf-style formatting of one number
// that the NC output uses for every word.
//
// Nothing here depends on the C locale: digits come from std::to_chars and
// std::from_chars, and the decimal separator is always DecimalSeparator().
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnak {

// A text that should hold a number does not.
class ConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A printf-style format that cannot take one number (wrong conversion, more
// or fewer than one conversion, '*' widths, a value an integer format
// cannot hold).
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The separator every number is written and parsed with; '.' until a post
// definition says otherwise. Only '.' and ',' are accepted; anything else
// throws std::invalid_argument.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// General form with at most 15 significant digits and no trailing zeros:
// 0.5 -> "0.5", 0.00005 -> "5E-5", 1e15 -> "1E15", 12.5 -> "12.5".
// Exponent form is used when the decimal exponent is below -4 or at least
// 15. Zero (of either sign) is "0"; NaN and infinities are "NAN", "INF",
// "-INF".
std::string FloatToStr(double value);

// Parses a whole number written with the current separator, blanks around
// it ignored. Empty text and a lone "-" give 0 (what an edit field being
// cleared or started holds). An optional exponent ("1.5E3", "2e-4") is
// accepted; NaN and infinities are not. Anything else throws ConvertError
// "'text' is not a valid floating point value".
double TextToFloat(std::string_view text);
bool TryTextToFloat(std::string_view text, double& value);

// The same, but '.' and ',' are both taken as the separator, so settings
// written while the other separator was active still read back.
double TextToFloatAnySeparator(std::string_view text);
bool TryTextToFloatAnySeparator(std::string_view text, double& value);

// Decimal 32-bit integer, optional sign, blanks around it ignored; empty and
// "-" give 0; anything else (including overflow) throws ConvertError
// "'text' is not a valid integer value".
int TextToInt(std::string_view text);
bool TryTextToInt(std::string_view text, int& value);

// The parts of a printf-style format for one number (the grammar below):
// the literal text before and after the field ("%%" already read as "%"),
// the flags, width and precision (-1 when there is none) and the conversion
// letter.
struct NumberFormat {
  std::string prefix;
  std::string suffix;
  bool left = false;
  bool plus = false;
  bool space = false;
  bool zero = false;
  int width = 0;
  int precision = -1;
  char conversion = 0;
};
// Reads a format of the grammar below; throws FormatError naming the format
// for anything else. FormatNumber and the NC writer's fast path both read
// formats with it.
NumberFormat ParseNumberFormat(std::string_view format);

// Formats one number with a printf-style format holding exactly one
// conversion, with literal text around it and "%%" for a percent sign.
//   %[flags][width][.precision][l|ll|L]conversion
// flags: '-' left-justify, '+' always a sign, ' ' blank for the sign, '0'
// pad with zeros; width and precision up to 999.
// conversion: f F (fixed, 6 decimals by default), e E (d.ddde+XX),
// g G (shortest of the two with the precision as significant digits,
// default 6, trailing zeros removed), d D (integer).
// Decimals are rounded on the value's decimal expansion to 18 significant
// digits, halves away from zero: "%1.4f" gives 0.03125 -> "0.0313". A
// result that rounds to zero carries no minus sign. An integer conversion
// rounds the value to the nearest integer, halves to even, and formats it as
// a 64-bit integer (precision = minimum number of digits). NaN and
// infinities are written "NAN", "INF", "-INF" by the float conversions.
// Throws FormatError naming the format for anything else.
std::string FormatNumber(std::string_view format, double value);
// The same for an integer; float conversions format it as a double.
std::string FormatInteger(std::string_view format, long long value);

}  // namespace tarnak
