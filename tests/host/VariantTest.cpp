#include "host/Variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/AutomationError.h"
#include "host/NumericText.h"
#include "tests/support/TestForeignValue.h"

namespace orvane::host {
namespace {

TEST(VariantText, PrintsOrdinaryDecimalNotation) {
  EXPECT_EQ(Variant(0.25).toText(), "0.25");
  EXPECT_EQ(Variant(-0.5).toText(), "-0.5");
  EXPECT_EQ(Variant(6.01).toText(), "6.01");
  EXPECT_EQ(Variant(131072.0).toText(), "131072");
  EXPECT_EQ(Variant(std::int32_t{131072}).toText(), "131072");
  EXPECT_EQ(Variant(0.1 + 0.2).toText(), "0.3");  // 15 significant digits hide the binary noise
  EXPECT_EQ(Variant(-0.0).toText(), "0");
  EXPECT_EQ(Variant(0.003141).toText(), "0.003141");
  EXPECT_EQ(Variant(123456789012345.0).toText(), "123456789012345");
  EXPECT_EQ(Variant().toText(), "");
  EXPECT_EQ(Variant(true).toText(), "True");
  EXPECT_EQ(Variant("abc").toText(), "abc");
  EXPECT_EQ(Variant(1.5e20).toText(), "1.5E+20");
  EXPECT_THROW(Variant(ObjectRef()).toText(), ConversionError);
}

TEST(VariantBoolean, NonzeroOrTrueIsTrueAndEmptyIsFalse) {
  EXPECT_FALSE(Variant().toBool());
  EXPECT_TRUE(Variant(true).toBool());
  EXPECT_TRUE(Variant(std::int16_t{-1}).toBool());
  EXPECT_TRUE(Variant(0.5).toBool());
  EXPECT_FALSE(Variant(0.0).toBool());
  EXPECT_TRUE(Variant("True").toBool());
  EXPECT_FALSE(Variant("0").toBool());
  EXPECT_TRUE(Variant(" 2 ").toBool());
  EXPECT_THROW(Variant("yes").toBool(), ConversionError);
  EXPECT_THROW(Variant(std::nan("")).toBool(), ConversionError);
}

TEST(VariantInt16, RoundsHalfToEvenAndRefusesOverflow) {
  EXPECT_EQ(Variant(2.5).toInt16(), 2);
  EXPECT_EQ(Variant(3.5).toInt16(), 4);
  EXPECT_EQ(Variant(3.6).toInt16(), 4);
  EXPECT_EQ(Variant(-2.5).toInt16(), -2);
  EXPECT_EQ(Variant(32767.4).toInt16(), 32767);
  EXPECT_EQ(Variant(true).toInt16(), -1);
  EXPECT_EQ(Variant().toInt16(), 0);
  EXPECT_EQ(Variant("12").toInt16(), 12);
  EXPECT_THROW(Variant(32767.5).toInt16(), ConversionError);
  EXPECT_THROW(Variant(std::int32_t{-32769}).toInt16(), ConversionError);
  EXPECT_THROW(Variant(std::numeric_limits<double>::infinity()).toInt16(), ConversionError);
  EXPECT_THROW(Variant(std::nan("")).toInt16(), ConversionError);
  EXPECT_THROW(Variant("x").toInt16(), ConversionError);
}

TEST(VariantArithmetic, ComparesNumericallyWithEmptyAsZero) {
  EXPECT_EQ(compareNumeric(Variant(), Variant(std::int16_t{0})), 0);
  EXPECT_LT(compareNumeric(Variant(), Variant(0.1)), 0);
  EXPECT_GT(compareNumeric(Variant("7"), Variant(std::int16_t{6})), 0);
  EXPECT_THROW(compareNumeric(Variant(std::nan("")), Variant(1.0)), ConversionError);
  EXPECT_THROW(compareNumeric(Variant("volts"), Variant(1.0)), ConversionError);
  EXPECT_EQ(subtract(Variant(std::int32_t{5}), Variant(4.0)).toNumber(), 1.0);
  EXPECT_EQ(absoluteValue(Variant(-6.01)).toNumber(), 6.01);
  EXPECT_EQ(absoluteValue(Variant()).toNumber(), 0.0);
}

TEST(VariantForeign, ConversionsAskThePayload) {
  const Variant byte = testing::TestForeignValue::number(200.0);
  EXPECT_EQ(byte.kind(), Variant::Kind::Foreign);
  EXPECT_TRUE(byte.toBool());
  EXPECT_EQ(byte.toInt16(), 200);
  EXPECT_EQ(byte.toNumber(), 200.0);
  EXPECT_EQ(byte.toText(), "200");
  EXPECT_GT(compareNumeric(byte, Variant(std::int16_t{199})), 0);
  EXPECT_EQ(subtract(byte, Variant(0.5)), Variant(199.5));
  EXPECT_EQ(absoluteValue(testing::TestForeignValue::number(-6.5)), Variant(6.5));
  EXPECT_THROW(testing::TestForeignValue::number(40000.0).toInt16(), ConversionError);
  EXPECT_THROW(byte.toObject(), ConversionError);
}

TEST(VariantForeign, AValueWithoutAReadableFormFailsWhereverItIsRead) {
  const Variant null = testing::TestForeignValue::unconvertible();
  EXPECT_THROW(null.toBool(), ConversionError);
  EXPECT_THROW(null.toInt16(), ConversionError);
  EXPECT_THROW(null.toNumber(), ConversionError);
  EXPECT_THROW(null.toText(), ConversionError);
  EXPECT_THROW(compareNumeric(Variant(1.0), null), ConversionError);
  EXPECT_THROW(subtract(null, Variant(1.0)), ConversionError);
  EXPECT_THROW(absoluteValue(null), ConversionError);
  EXPECT_THROW(null.toObject(), ConversionError);
  // Describing it for a log never fails.
  EXPECT_EQ(describe(null).find("Null"), describe(null).size() - 5);
}

TEST(VariantForeign, CopiesShareTheOnePayloadAndEqualityIsIdentity) {
  const Variant first = testing::TestForeignValue::number(1.0);
  const Variant copy = first;
  EXPECT_EQ(copy, first);
  EXPECT_EQ(copy.toForeign().get(), first.toForeign().get());
  EXPECT_NE(testing::TestForeignValue::number(1.0), first);  // same number, another value
  EXPECT_NE(first, Variant(1.0));
  EXPECT_EQ(describe(copy), describe(first));
  EXPECT_THROW(Variant(1.0).toForeign(), ConversionError);
  EXPECT_TRUE(Variant(ForeignRef()).isEmpty());
}

TEST(NumericText, AcceptsOnlyPlainDecimalNumbers) {
  EXPECT_EQ(parseNumericText("  42 "), 42.0);
  EXPECT_EQ(parseNumericText("+3.5"), 3.5);
  EXPECT_EQ(parseNumericText("-.5"), -0.5);
  EXPECT_EQ(parseNumericText("5."), 5.0);
  EXPECT_EQ(parseNumericText("1e2"), 100.0);
  EXPECT_EQ(parseNumericText("1E-2"), 0.01);
  EXPECT_EQ(parseNumericText("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseNumericText("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseNumericText("1e-400"), 0.0);
  EXPECT_EQ(parseNumericText("0.000e999"), 0.0);
  for (const char* text : {"", " ", "abc", "0x10", "1,000", "1e", "e5", ".", "+", "--1", "1 2",
                           "NaN", "inf", "Infinity", "1.2.3", "\xd9\xa3", "5\n"}) {
    EXPECT_FALSE(parseNumericText(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace orvane::host
