// What the operator may type at the address prompt, and the switcher address each answer gives:
// checked where it matters, in the calls that reach the host (the resets and the array names),
// or the clean end that an empty answer gives.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/ControllerBench.h"

namespace orvane::testing {
namespace {

struct AddressCase {
  const char* name;
  std::string typed;
  std::optional<int> address;  // nothing: the program ends at once
};

std::ostream& operator<<(std::ostream& out, const AddressCase& c) {
  return out << c.name;
}

const std::vector<AddressCase>& cases() {
  static const std::vector<AddressCase> all = {
      // plain numbers and the clamp
      {"Zero", "0", 0},
      {"Five", "5", 5},
      {"LeadingZeros", "0005", 5},
      {"Top", "64", 64},
      {"JustAboveTop", "65", 64},
      {"Seventy", "70", 64},
      {"Negative", "-5", 0},
      {"NegativeTop", "-64", 0},
      {"MinusZero", "-0", 0},
      // blanks and signs
      {"LeadingBlanks", "   12", 12},
      {"TrailingBlanks", "12   ", 12},
      {"Tabs", "\t7\t", 7},
      {"PlusSign", "+7", 7},
      {"SignThenBlank", "- 3", 0},
      {"TwoSigns", "+-1", 0},
      {"DoubleMinus", "--1", 0},
      {"BlankInside", "1 2", 0},
      {"OnlyBlanks", "   ", 0},
      // decimals: nearest whole number, halves to the even neighbour
      {"RoundsUp", "3.6", 4},
      {"HalfToEvenDown", "2.5", 2},
      {"HalfToEvenUp", "3.5", 4},
      {"HalfToZero", "0.5", 0},
      {"NegativeHalf", "-0.5", 0},
      {"JustBelowHalfAboveTop", "64.4999", 64},
      {"LeadingPoint", ".5", 0},
      {"TrailingPoint", "5.", 5},
      {"TwoPoints", "1.2.3", 0},
      {"DecimalComma", "3,6", 0},
      // exponents
      {"Exponent", "1e1", 10},
      {"ExponentUpper", "1E1", 10},
      {"ExponentSigned", "1e+1", 10},
      {"FractionExponent", "1.5e1", 15},
      {"NegativeExponentHalf", "25e-1", 2},
      {"ExponentWithoutDigits", "1e", 0},
      {"ExponentOnly", "e5", 0},
      {"FractionalExponent", "1e1.5", 0},
      // beyond 16 bits and beyond double range
      {"Int16Max", "32767", 64},
      {"JustAboveInt16", "32768", 64},
      {"JustBelowInt16", "-32769", 0},
      {"TwentyDigits", "99999999999999999999", 64},
      {"HugeExponent", "1e400", 64},
      {"HugeNegative", "-1e400", 0},
      {"TinyExponent", "1e-400", 0},
      {"EnormousExponent", "1e99999999999", 64},
      // words a number parser might accept
      {"NaN", "NaN", 0},
      {"LowerNan", "nan", 0},
      {"Inf", "inf", 0},
      {"Infinity", "Infinity", 0},
      {"Hex", "0x10", 0},
      {"BasicHex", "&H10", 0},
      {"ThousandsComma", "1,000", 0},
      {"ThousandsBlank", "1 000", 0},
      {"ThousandsUnderscore", "1_000", 0},
      {"Currency", "$5", 0},
      {"Letters", "abc", 0},
      {"DigitsThenLetters", "12abc", 0},
      // beyond ASCII
      {"ArabicIndicThree", "\xd9\xa3", 0},
      {"FullwidthThree", "\xef\xbc\x93", 0},
      {"SuperscriptTwo", "\xc2\xb2", 0},
      {"InvalidUtf8", "\xff\xfe", 0},
      {"DigitThenInvalidUtf8", "5\xff", 0},
      {"NonBreakingSpace",
       "\xc2\xa0"
       "5",
       0},
      // control characters
      {"EmbeddedNul", std::string("5\0", 2), 0},
      {"ControlA", "\x01", 0},
      {"CarriageReturnLineFeed", "5\r\n", 0},
      {"Escape", "\x1b[5", 0},
      // length
      {"TenThousandNines", std::string(10000, '9'), 64},
      {"TenThousandZerosThenFive", std::string(9999, '0') + "5", 5},
      {"TenThousandLetters", std::string(10000, 'x'), 0},
      {"TenThousandBlanks", std::string(10000, ' '), 0},
      // nothing at all: Cancel, or an emptied box
      {"Empty", "", std::nullopt},
  };
  return all;
}

class BadAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(BadAddress, ReachesTheHostAsThisAddressOrEndsCleanly) {
  const auto& c = GetParam();
  host::sim::SimConfig config;
  for (int address = 0; address <= 64; ++address) config.addresses.insert(address);
  ControllerBench b(config);
  b.services.addressAnswers.push_back(c.typed);
  b.view.load();
  ASSERT_EQ(b.services.prompts.size(), 1u);
  EXPECT_EQ(b.services.prompts[0].defaultText, "0");
  EXPECT_FALSE(b.dispatcher.failure().has_value());

  if (!c.address) {
    EXPECT_EQ(b.services.endsAtOnce, 1);
    EXPECT_EQ(b.log->count("ORVANE_Reset"), 0u);
    EXPECT_TRUE(b.view.listEntries().empty());  // no window
    EXPECT_FALSE(b.controller.unloaded());
    return;
  }
  ASSERT_FALSE(b.dispatcher.runEnded());
  const std::string n = std::to_string(*c.address);
  EXPECT_EQ(b.state().Switcher_Address, *c.address);
  EXPECT_EQ(b.view.windowCaption(), "Orvane I/O Switcher " + n);
  // Both start-up resets and every array call name this switcher and no other.
  const auto resets = b.log->texts({"ORVANE_Reset"});
  ASSERT_EQ(resets.size(), 2u);
  for (const auto& reset : resets)
    EXPECT_EQ(reset.rfind("ORVANE_Reset(&" + n + ", True, &", 0), 0u);
  const auto defines = b.log->texts({"SWITCHER_DefineArray"});
  ASSERT_EQ(defines.size(), 4u);
  EXPECT_EQ(defines[0], "SWITCHER_DefineArray(\"BusA" + n + "\")");
  EXPECT_EQ(defines[1], "SWITCHER_DefineArray(\"BusB" + n + "\")");
  EXPECT_EQ(b.sim.resetCount(*c.address), 2);

  // A click then switches that switcher, and closing resets it once more.
  b.view.click(panel::busButton(0, 2));
  EXPECT_EQ(b.sim.statusWord(*c.address, 0), 2u);
  b.view.closeBox();
  EXPECT_EQ(b.sim.resetCount(*c.address), 3);
}

INSTANTIATE_TEST_SUITE_P(Typed, BadAddress, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvane::testing
