// What a DC readout paints when the controller's caption is wider than the label: the same value
// rounded, or a mark that is plainly no number, never a cut-off reading.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "panel/ReadoutFitter.h"
#include "panel/ReadoutNumber.h"

namespace orvane::panel {
namespace {

// A fixed-width font: every character, the ellipsis included, is one unit wide.
TextFits widthOf(std::size_t characters) {
  return [characters](std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count <= characters;
  };
}

struct Case {
  const char* caption;
  std::size_t width;
  const char* shown;
};

void expectShown(const Case& c) {
  EXPECT_EQ(fitReadout(c.caption, widthOf(c.width)), c.shown)
      << '"' << c.caption << "\" in " << c.width << " characters";
}

TEST(ReadoutFitter, CaptionsThatFitArePaintedAsTheyAre) {
  for (const Case& c : {Case{"1234.5V ", 8, "1234.5V "}, Case{"- - V ", 6, "- - V "},
                        Case{"V ", 2, "V "}, Case{"-5.5E-11V ", 10, "-5.5E-11V "},
                        Case{"NaNV ", 5, "NaNV "}, Case{"TrueV ", 9, "TrueV "}}) {
    expectShown(c);
  }
}

TEST(ReadoutFitter, AWideReadingKeepsItsValueToFewerDigits) {
  for (const Case& c : {
           Case{"1234.5V ", 7, "1235V "},  // half rounds away from zero
           Case{"1234.5V ", 6, "1235V "},
           Case{"1234.5V ", 5, "1E3V "},  // never "123V ", never "1200V "
           Case{"-1234.5V ", 7, "-1235V "},
           Case{"-1234.5V ", 6, "-1E3V "},
           Case{"8.99213456789V ", 6, "8.99V "},
           Case{"8.99213456789V ", 5, "9.0V "},
           Case{"8.99213456789V ", 3, "9V "},
           Case{"-5.5E-11V ", 9, "-6E-11V "},
           Case{"-5.5E-11V ", 7, "-6E-11 "},  // without its unit rather than no number
           Case{"1.5E+20V ", 8, "1.5E20V "},  // the same value, written shorter
           Case{"1.5E+20V ", 7, "2E20V "},
           Case{"-0.00312345V ", 8, "-0.003V "},  // a few millivolts of noise stay millivolts
           Case{"-0.00312345V ", 7, "-3E-3V "},
           Case{"-0.00312345V ", 6, "-3E-3 "},
           Case{"0.000123456789V ", 10, "1.235E-4V "},
           Case{"0.000123456789V ", 9, "1.23E-4V "},  // the form that keeps more digits
           Case{"0.000123456789V ", 8, "1.2E-4V "},
           Case{"-32768V ", 7, "-3E4V "},
       }) {
    expectShown(c);
  }
}

TEST(ReadoutFitter, RoundingCarriesIntoTheNextPlace) {
  for (const Case& c : {
           Case{"9.96V ", 5, "10V "},  // two digits
           Case{"9.96V ", 4, "10V "},
           Case{"9.996V ", 6, "10.0V "},  // rounded at the tenths: the zero is a digit
           Case{"9.96V ", 3, "10 "},
           Case{"999.5V ", 6, "1000V "},  // rounded at the units, where the zero is no filler
           Case{"999.5V ", 5, "1E3V "},
           Case{"-999.5V ", 7, "-1000V "},
           Case{"0.0996V ", 6, "0.10V "},
           Case{"0.0996V ", 7, "0.100V "},  // three places: still the rounding at the thousandths
           Case{"9.9999999999E+99V ", 7, "1E100V "},
           Case{"9.95E-10V ", 8, "1.0E-9V "},
           Case{"9.95E-10V ", 7, "1E-9V "},
           Case{"0.15V ", 5, "0.2V "},  // the digits the text states, not the double's 0.1499...
           Case{"0.25V ", 5, "0.3V "},
           Case{"-0.45V ", 6, "-0.5V "},
           Case{"2.5V ", 3, "3V "},
           Case{"1.49999V ", 3, "1V "},
       }) {
    expectShown(c);
  }
}

TEST(ReadoutFitter, ZeroInAnyFormIsZero) {
  for (const Case& c :
       {Case{"0.000000V ", 3, "0V "}, Case{"-0.000V ", 4, "0V "}, Case{"0E+50V ", 3, "0V "}}) {
    expectShown(c);
  }
}

TEST(ReadoutFitter, TextsThatAreNoNumberNeverShowADigit) {
  for (const Case& c : {
           Case{"InfinityV ", 8, "Infinit\xE2\x80\xA6"},
           Case{"-InfinityV ", 6, "-Infi\xE2\x80\xA6"}, Case{"NaNV ", 4, "NaN\xE2\x80\xA6"},
           Case{"- - V ", 5, "- - \xE2\x80\xA6"}, Case{"FalseV ", 6, "False\xE2\x80\xA6"},
           Case{"Over 12 voltsV ", 9, "Over \xE2\x80\xA6"},  // cut before its first digit
           Case{"12 voltsV ", 9, "###V "},
           Case{"1,5V ", 3, "###"},   // not read as a number: its meaning is not clear
           Case{"1234.5", 4, "###"},  // a number without the unit is no reading
           Case{"--5V ", 4, "--\xE2\x80\xA6"},
           Case{"\xC3\x9C"
                "berlaufV ",
                3,
                "\xC3\x9C"
                "b\xE2\x80\xA6"},  // whole characters
       }) {
    expectShown(c);
  }
}

TEST(ReadoutFitter, TheMarkIsCutToItsHashesWhenEvenItDoesNotFit) {
  EXPECT_EQ(fitReadout("-5.5E-11V ", widthOf(4)), "###");
  EXPECT_EQ(fitReadout("12V ", widthOf(1)), "###");
}

TEST(ReadoutFitter, AbsurdInputEndsQuickly) {
  const std::string manyDigits = std::string(5000, '7') + "V ";
  EXPECT_EQ(fitReadout(manyDigits, widthOf(8)), "8E4999V ");
  EXPECT_EQ(fitReadout("1E999999999V ", widthOf(8)), "###V ");
  EXPECT_EQ(fitReadout("1E9999999999V ", widthOf(8)), "###V ");  // exponent too long to trust
}

// The property the readouts promise: a rounded reading differs from the caption's value by at
// most half a unit in its last shown place.
double halfUnitOfLastPlace(const std::string& number) {
  const auto e = number.find('E');
  const std::string mantissa = number.substr(0, e);
  const auto point = mantissa.find('.');
  const int decimals =
      point == std::string::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
  const int exponent = e == std::string::npos ? 0 : std::stoi(number.substr(e + 1));
  return 0.5 * std::pow(10.0, exponent - decimals);
}

TEST(ReadoutFitter, EveryRoundedReadingStaysWithinHalfAUnitOfTheReading) {
  const double values[] = {1234.5, -1234.5, 8.99213456789, -5.5e-11, 1.5e20,   -1.5e20, 0.00312345,
                           999.95, -0.0996, 123456789.0,   7e-300,   -9.99e99, 0.5,     65535.0};
  for (const double value : values) {
    char text[64];
    std::snprintf(text, sizeof text, "%.12G", value);
    const std::string caption = std::string(text) + "V ";
    for (std::size_t width = 3; width <= caption.size(); ++width) {
      const std::string shown = fitReadout(caption, widthOf(width));
      ASSERT_TRUE(widthOf(width)(shown) || shown == "###") << caption << " in " << width;
      if (shown.starts_with("#")) continue;
      ASSERT_TRUE(shown.ends_with(" ")) << shown;
      const std::string number = shown.substr(0, shown.find_first_of("V "));
      const double shownValue = std::strtod(number.c_str(), nullptr);
      EXPECT_LE(std::fabs(shownValue - value), halfUnitOfLastPlace(number) * (1 + 1e-9))
          << caption << " shown as " << shown;
    }
  }
}

TEST(ReadoutNumber, ParsesTheFormsAReadingTakes) {
  const auto check = [](const char* text, bool negative, const char* digits,
                        std::int64_t exponent) {
    const auto number = parseDecimal(text);
    ASSERT_TRUE(number) << text;
    EXPECT_EQ(number->negative, negative) << text;
    EXPECT_EQ(number->digits, digits) << text;
    EXPECT_EQ(number->exponent, exponent) << text;
  };
  check("1234.5", false, "12345", 3);
  check("-5.5E-11", true, "55", -11);
  check("1.5E+20", false, "15", 20);
  check("0.000120", false, "12", -4);
  check("+.5", false, "5", -1);
  check("7.", false, "7", 0);
  check("120e-2", false, "12", 0);
  check("-0.0", false, "", 0);
  for (const char* bad : {"", "-", ".", "1.2.3", " 1", "1 ", "NaN", "Infinity", "1E", "1E+", "0x10",
                          "1,5", "E5", "1E1234567890"}) {
    EXPECT_FALSE(parseDecimal(bad)) << bad;
  }
}

}  // namespace
}  // namespace orvane::panel
