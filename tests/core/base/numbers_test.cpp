#include "base/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace tarnak {
namespace {

// Every test starts with '.' and leaves the separator as it found it.
class NumbersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = DecimalSeparator();
    SetDecimalSeparator('.');
  }
  void TearDown() override { SetDecimalSeparator(saved_); }

 private:
  char saved_ = '.';
};

TEST_F(NumbersTest, SeparatorAcceptsOnlyPointAndComma) {
  SetDecimalSeparator(',');
  EXPECT_EQ(DecimalSeparator(), ',');
  EXPECT_THROW(SetDecimalSeparator('1'), std::invalid_argument);
  EXPECT_THROW(SetDecimalSeparator('e'), std::invalid_argument);
  EXPECT_EQ(DecimalSeparator(), ',');
}

TEST_F(NumbersTest, FloatToStrGeneralForm) {
  EXPECT_EQ(FloatToStr(0.5), "0.5");
  EXPECT_EQ(FloatToStr(0.00005), "5E-5");
  EXPECT_EQ(FloatToStr(0.00001), "1E-5");
  EXPECT_EQ(FloatToStr(0.0001), "0.0001");
  EXPECT_EQ(FloatToStr(10000000000.0), "10000000000");
  EXPECT_EQ(FloatToStr(12.5), "12.5");
  EXPECT_EQ(FloatToStr(1e15), "1E15");
  EXPECT_EQ(FloatToStr(1e14), "100000000000000");
  EXPECT_EQ(FloatToStr(-1.5e-7), "-1.5E-7");
  EXPECT_EQ(FloatToStr(123456789012345678.0), "1.23456789012346E17");
  EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3");
  EXPECT_EQ(FloatToStr(2.0 / 3.0), "0.666666666666667");
  // Rounding to 15 digits may carry into the next power of ten.
  EXPECT_EQ(FloatToStr(999999999999999.9), "1E15");
  EXPECT_EQ(FloatToStr(0.0), "0");
  EXPECT_EQ(FloatToStr(-0.0), "0");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
  SetDecimalSeparator(',');
  EXPECT_EQ(FloatToStr(12.5), "12,5");
  EXPECT_EQ(FloatToStr(-1.5e-7), "-1,5E-7");
}

TEST_F(NumbersTest, FloatToStrRoundTrips) {
  std::mt19937_64 rng(12345);
  std::uniform_int_distribution<long long> mantissa(-999999999999999LL, 999999999999999LL);
  std::uniform_int_distribution<int> scale(-25, 25);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (char sep : {'.', ','}) {
    SetDecimalSeparator(sep);
    for (int i = 0; i < 4000; ++i) {
      // Values of at most 15 significant digits come back exactly.
      const double exact = std::stod(std::to_string(mantissa(rng)) + "e" + std::to_string(scale(rng)));
      const std::string text = FloatToStr(exact);
      ASSERT_EQ(TextToFloat(text), exact) << text;
      // Any other value comes back within the 15 digits, and writing it
      // again gives the same text.
      const double any = unit(rng) * std::pow(10.0, scale(rng));
      const std::string anyText = FloatToStr(any);
      const double back = TextToFloat(anyText);
      ASSERT_LE(std::fabs(back - any), std::fabs(any) * 5e-15) << anyText;
      ASSERT_EQ(FloatToStr(back), anyText);
    }
  }
}

TEST_F(NumbersTest, TextToFloatAcceptsNumbersWithCurrentSeparator) {
  EXPECT_EQ(TextToFloat(" 12.5 "), 12.5);
  EXPECT_EQ(TextToFloat("\t-3\t"), -3.0);
  EXPECT_EQ(TextToFloat(".5"), 0.5);
  EXPECT_EQ(TextToFloat("5."), 5.0);
  EXPECT_EQ(TextToFloat("-.25"), -0.25);
  EXPECT_EQ(TextToFloat("1E3"), 1000.0);
  EXPECT_EQ(TextToFloat("2.5e-2"), 0.025);
  EXPECT_EQ(TextToFloat(""), 0.0);
  EXPECT_EQ(TextToFloat("-"), 0.0);
  EXPECT_EQ(TextToFloat("1e-999"), 0.0);  // underflow is zero, not an error
  EXPECT_EQ(TextToFloat("0e99999999999999999999"), 0.0);
  SetDecimalSeparator(',');
  EXPECT_EQ(TextToFloat("1,5"), 1.5);
  EXPECT_EQ(TextToFloat("-0,001"), -0.001);
}

TEST_F(NumbersTest, TextToFloatRejectsEverythingElse) {
  for (const char* bad : {"abc", "1,5", "1.2.3", "1e", "e5", ".", "+", "--1", "+-1", "1 2", "12a",
                          "inf", "nan", "INF", "0x10", "1e999", "1.5e+", "$5"}) {
    double v = 42.0;
    EXPECT_FALSE(TryTextToFloat(bad, v)) << bad;
    EXPECT_EQ(v, 42.0) << bad;
    EXPECT_THROW(TextToFloat(bad), ConvertError) << bad;
  }
  try {
    TextToFloat("abc");
    FAIL();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid floating point value");
  }
  SetDecimalSeparator(',');
  EXPECT_THROW(TextToFloat("1.5"), ConvertError);
}

TEST_F(NumbersTest, AnySeparatorReadsBothForms) {
  for (char sep : {'.', ','}) {
    SetDecimalSeparator(sep);
    EXPECT_EQ(TextToFloatAnySeparator("1.5"), 1.5);
    EXPECT_EQ(TextToFloatAnySeparator("1,5"), 1.5);
    EXPECT_EQ(TextToFloatAnySeparator("-2,5E-3"), -0.0025);
    EXPECT_THROW(TextToFloatAnySeparator("1.234,5"), ConvertError);
    double v = 0;
    EXPECT_FALSE(TryTextToFloatAnySeparator("1,,5", v));
  }
}

TEST_F(NumbersTest, TextToInt) {
  EXPECT_EQ(TextToInt(" 42 "), 42);
  EXPECT_EQ(TextToInt("-7"), -7);
  EXPECT_EQ(TextToInt("+7"), 7);
  EXPECT_EQ(TextToInt(""), 0);
  EXPECT_EQ(TextToInt("-"), 0);
  EXPECT_EQ(TextToInt("2147483647"), 2147483647);
  EXPECT_EQ(TextToInt("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"1.0", "abc", "2147483648", "-2147483649", "99999999999999999999999", "+-1",
                          "1 2", "+", "0x10"}) {
    int v = 5;
    EXPECT_FALSE(TryTextToInt(bad, v)) << bad;
    EXPECT_EQ(v, 5);
  }
  try {
    TextToInt("x");
    FAIL();
  } catch (const ConvertError& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
}

TEST_F(NumbersTest, FixedFormatRoundsHalvesAwayFromZero) {
  EXPECT_EQ(FormatNumber("%1.4f", 0.03125), "0.0313");
  EXPECT_EQ(FormatNumber("%1.4f", -0.03125), "-0.0313");
  EXPECT_EQ(FormatNumber("%1.4f", 12.5), "12.5000");
  EXPECT_EQ(FormatNumber("%1.0f", 2.5), "3");
  EXPECT_EQ(FormatNumber("%1.2f", 0.125), "0.13");
  // The doubles nearest 0.00015 and 0.00035 lie below the half, far enough
  // to show in 18 digits; the one nearest 1.00015 lies above.
  EXPECT_EQ(FormatNumber("%1.4f", 0.00015), "0.0001");
  EXPECT_EQ(FormatNumber("%1.4f", 0.00035), "0.0003");
  EXPECT_EQ(FormatNumber("%1.4f", 1.00015), "1.0002");
  EXPECT_EQ(FormatNumber("%1.4f", 9.99995), "10.0000");
  EXPECT_EQ(FormatNumber("%1.4f", 0.00005), "0.0001");
  // Nothing left after rounding: no minus sign.
  EXPECT_EQ(FormatNumber("%1.4f", -0.00004), "0.0000");
  EXPECT_EQ(FormatNumber("%1.4f", -0.0), "0.0000");
  EXPECT_EQ(FormatNumber("%1.2f", 1e20), "100000000000000000000.00");
  EXPECT_EQ(FormatNumber("%.0f", 1.5e300).size(), 301u);
  SetDecimalSeparator(',');
  EXPECT_EQ(FormatNumber("%1.4f", 12.5), "12,5000");
  EXPECT_EQ(FormatNumber("%.2e", 1234.5), "1,23e+03");
  EXPECT_EQ(FormatNumber("%g", 0.5), "0,5");
}

TEST_F(NumbersTest, FormsUsersWrite) {
  EXPECT_EQ(FormatNumber("%.3f", 1234.5678), "1234.568");
  EXPECT_EQ(FormatNumber("%.3F", 1234.5678), "1234.568");
  EXPECT_EQ(FormatNumber("%08.3f", -3.14159), "-003.142");
  EXPECT_EQ(FormatNumber("%+.4f", 2.0), "+2.0000");
  EXPECT_EQ(FormatNumber("%5.4f", 1.0), "1.0000");
  EXPECT_EQ(FormatNumber("%10.2f", 3.14159), "      3.14");
  EXPECT_EQ(FormatNumber("%-8.2f|", 3.14159), "3.14    |");
  EXPECT_EQ(FormatNumber("%f", 1.0), "1.000000");
  EXPECT_EQ(FormatNumber("%lf", 1.0), "1.000000");
  EXPECT_EQ(FormatNumber("%e", 12345.678), "1.234568e+04");
  EXPECT_EQ(FormatNumber("%.1e", 9.96), "1.0e+01");
  EXPECT_EQ(FormatNumber("%g", 0.0001), "0.0001");
  EXPECT_EQ(FormatNumber("%g", 0.00001), "1e-05");
  EXPECT_EQ(FormatNumber("%g", 1234567.0), "1.23457e+06");
  EXPECT_EQ(FormatNumber("%g", 9.9999996), "10");
  EXPECT_EQ(FormatNumber("%.3g", 3.14159), "3.14");
  EXPECT_EQ(FormatNumber("%G", 1e-10), "1E-10");
  EXPECT_EQ(FormatNumber("X%1.4f", 12.5), "X12.5000");
  EXPECT_EQ(FormatNumber("(%1.1f mm)", 2.25), "(2.3 mm)");
  EXPECT_EQ(FormatNumber("100%% %d", 5.0), "100% 5");
  EXPECT_EQ(FormatNumber("%1.4f", std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(FormatNumber("%6.1f", -std::numeric_limits<double>::infinity()), "  -INF");
}

TEST_F(NumbersTest, IntegerConversionsRoundHalvesToEven) {
  EXPECT_EQ(FormatNumber("%d", 2.5), "2");
  EXPECT_EQ(FormatNumber("%d", 3.5), "4");
  EXPECT_EQ(FormatNumber("%d", -2.5), "-2");
  EXPECT_EQ(FormatNumber("%d", -3.5), "-4");
  EXPECT_EQ(FormatNumber("%d", 2.5000001), "3");
  EXPECT_EQ(FormatNumber("%D", 7.2), "7");
  EXPECT_EQ(FormatNumber("%05d", 42.0), "00042");
  EXPECT_EQ(FormatNumber("%05d", -42.0), "-0042");
  EXPECT_EQ(FormatNumber("%+d", 3.0), "+3");
  EXPECT_EQ(FormatNumber("%.4d", 42.0), "0042");
  EXPECT_EQ(FormatNumber("%d", 9007199254740993.0), "9007199254740992");
  EXPECT_EQ(FormatInteger("%d", std::numeric_limits<long long>::min()), "-9223372036854775808");
  EXPECT_EQ(FormatInteger("%ld", 12), "12");
  EXPECT_EQ(FormatInteger("%1.2f", 3), "3.00");
  EXPECT_THROW(FormatNumber("%d", std::numeric_limits<double>::quiet_NaN()), FormatError);
  EXPECT_THROW(FormatNumber("%d", 1e19), FormatError);
}

TEST_F(NumbersTest, FormatsThatCannotTakeOneNumberAreErrors) {
  for (const char* bad : {"%s", "%1.4f%1.4f", "%d %d", "abc", "", "%n", "%*d", "%.*f", "%", "%5",
                          "%x", "%u", "%1000d", "%.1000f", "%#f", "%p", "%c", "%1.4fmm%"}) {
    EXPECT_THROW(FormatNumber(bad, 1.0), FormatError) << bad;
    EXPECT_THROW(FormatInteger(bad, 1), FormatError) << bad;
  }
  try {
    FormatNumber("%s", 1.0);
    FAIL();
  } catch (const FormatError& e) {
    EXPECT_NE(std::string(e.what()).find("'%s'"), std::string::npos) << e.what();
  }
}

// Away from exact halves the rounding agrees with the C library's, which
// works on the exact binary value.
TEST_F(NumbersTest, AgreesWithCLibraryAwayFromTies) {
  std::mt19937_64 rng(777);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> scale(-3, 12);
  std::uniform_int_distribution<int> precision(0, 9);
  const char conversions[] = {'f', 'e', 'g'};
  int compared = 0;
  for (int i = 0; i < 20000; ++i) {
    const double v = unit(rng) * std::pow(10.0, scale(rng));
    const int p = precision(rng);
    const char conv = conversions[i % 3];
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.17e", std::fabs(v));
    std::string d18;
    for (const char* c = digits; *c != 'e'; ++c) {
      if (*c != '.') d18 += *c;
    }
    const int exp = std::atoi(std::strchr(digits, 'e') + 1);
    // Where rounding cuts the 18 digits (%g keeps p significant digits in
    // either of its forms).
    const int cut = conv == 'f' ? exp + p + 1 : conv == 'e' ? p + 1 : (p == 0 ? 1 : p);
    // Past 18 digits we write zeros where the C library goes on with the
    // binary value's exact expansion.
    if (cut >= 18) continue;
    if (cut >= 0 && d18[cut] == '5' && d18.find_first_not_of('0', cut + 1) == std::string::npos)
      continue;
    const std::string format = "%." + std::to_string(p) + conv;
    char expected[512];
    std::snprintf(expected, sizeof expected, format.c_str(), v);
    std::string want = expected;
    if (want.rfind("-", 0) == 0 && want.find_first_of("123456789") == std::string::npos)
      want.erase(0, 1);  // we write no sign on a zero result
    ASSERT_EQ(FormatNumber(format, v), want) << format << " " << digits;
    ++compared;
  }
  EXPECT_GT(compared, 15000);
}

}  // namespace
}  // namespace tarnak
