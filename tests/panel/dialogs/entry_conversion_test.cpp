// How the protection entries are read: the C runtime's atoi and atof rules for
// every ordinary entry, and no value at all where those would overflow.
#include "dialogs/EntryConversion.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <climits>
#include <string>

namespace {

TEST(AtoiEntryTest, TakesTheLeadingWholeNumberLikeAtoi)
{
    EXPECT_EQ(AtoiEntry(u"60"), 60);
    EXPECT_EQ(AtoiEntry(u"60abc"), 60);
    EXPECT_EQ(AtoiEntry(u" \t\n\v\f\r55"), 55);
    EXPECT_EQ(AtoiEntry(u"+70"), 70);
    EXPECT_EQ(AtoiEntry(u"-50"), -50);
    EXPECT_EQ(AtoiEntry(u"65.9"), 65);
    EXPECT_EQ(AtoiEntry(u"0070"), 70);
}

TEST(AtoiEntryTest, TextWithoutLeadingDigitsIsZero)
{
    EXPECT_EQ(AtoiEntry(u"abc"), 0);
    EXPECT_EQ(AtoiEntry(u"   "), 0);
    EXPECT_EQ(AtoiEntry(u"+"), 0);
    EXPECT_EQ(AtoiEntry(u"- 60"), 0);          // no blank between sign and digits
    EXPECT_EQ(AtoiEntry(u"0x3C"), 0);          // decimal only
    EXPECT_EQ(AtoiEntry(u"\u00A060"), 0);      // a no-break space is not C white space
    EXPECT_EQ(AtoiEntry(u"\u0666\u0660"), 0);  // nor are other scripts' digits
}

TEST(AtoiEntryTest, IntLimitsConvertAndAnythingBeyondHasNoValue)
{
    EXPECT_EQ(AtoiEntry(u"2147483647"), INT_MAX);
    EXPECT_EQ(AtoiEntry(u"-2147483648"), INT_MIN);
    EXPECT_EQ(AtoiEntry(u"2147483648"), std::nullopt);
    EXPECT_EQ(AtoiEntry(u"-2147483649"), std::nullopt);
    EXPECT_EQ(AtoiEntry(u"99999999999"), std::nullopt);
    EXPECT_EQ(AtoiEntry(u"99999999999999999999999999999999"), std::nullopt);
}

TEST(AtofEntryTest, TakesTheLongestLeadingDecimalNumber)
{
    EXPECT_DOUBLE_EQ(*AtofEntry(u"3.5"), 3.5);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"  -2.25xyz"), -2.25);
    EXPECT_DOUBLE_EQ(*AtofEntry(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"5."), 5.0);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"+4"), 4.0);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"4e-1"), 0.4);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"3E+0"), 3.0);
    // An exponent mark without digits is not part of the number.
    EXPECT_DOUBLE_EQ(*AtofEntry(u"2.5e"), 2.5);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"2.5e+"), 2.5);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"3.0.1"), 3.0);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"1e-400"), 0.0);  // underflows to zero, as atof does
}

TEST(AtofEntryTest, TextWithoutANumberIsZero)
{
    EXPECT_DOUBLE_EQ(*AtofEntry(u"abc"), 0.0);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"."), 0.0);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"-"), 0.0);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"e5"), 0.0);
    EXPECT_DOUBLE_EQ(*AtofEntry(u"0x1p4"), 0.0);  // hexadecimal is not read
}

TEST(AtofEntryTest, OverflowAndNonFiniteEntriesHaveNoValue)
{
    EXPECT_EQ(AtofEntry(u"1e400"), std::nullopt);
    EXPECT_EQ(AtofEntry(u"-1e400"), std::nullopt);
    EXPECT_EQ(AtofEntry(u"1e99999999999999999999"), std::nullopt);
    EXPECT_EQ(AtofEntry(u"inf"), std::nullopt);
    EXPECT_EQ(AtofEntry(u"-Infinity"), std::nullopt);
    EXPECT_EQ(AtofEntry(u"nan"), std::nullopt);
    EXPECT_EQ(AtofEntry(u" NaN(1)"), std::nullopt);
    // Many digits with a negative exponent can still overflow.
    EXPECT_EQ(AtofEntry(std::u16string(400, u'9') + u"e-10"), std::nullopt);
}

TEST(AtofEntryTest, IgnoresTheLocaleDecimalMark)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::optional<double> point = AtofEntry(u"2.5");
    const std::optional<double> comma = AtofEntry(u"2,5");
    QLocale::setDefault(saved);
    EXPECT_DOUBLE_EQ(*point, 2.5);
    EXPECT_DOUBLE_EQ(*comma, 2.0);
}

TEST(TenthsEntryTest, ScalesByTenAddsAHalfAndTruncates)
{
    EXPECT_EQ(TenthsEntry(u"4"), 40);
    EXPECT_EQ(TenthsEntry(u"3.0"), 30);
    EXPECT_EQ(TenthsEntry(u"2.04"), 20);
    EXPECT_EQ(TenthsEntry(u"2.05"), 21);
    EXPECT_EQ(TenthsEntry(u"3.96"), 40);
    EXPECT_EQ(TenthsEntry(u"4.1"), 41);
    EXPECT_EQ(TenthsEntry(u"1.9"), 19);
    EXPECT_EQ(TenthsEntry(u"letters"), 0);
    // Truncation is toward zero, so small negatives land on 0.
    EXPECT_EQ(TenthsEntry(u"-0.04"), 0);
    EXPECT_EQ(TenthsEntry(u"-1"), -9);
}

TEST(TenthsEntryTest, TenthsBeyondIntHaveNoValue)
{
    EXPECT_EQ(TenthsEntry(u"214748364.7"), INT_MAX);
    EXPECT_EQ(TenthsEntry(u"214748364.8"), std::nullopt);
    EXPECT_EQ(TenthsEntry(u"99999999999"), std::nullopt);
    EXPECT_EQ(TenthsEntry(u"-99999999999"), std::nullopt);
    EXPECT_EQ(TenthsEntry(u"1e300"), std::nullopt);
    EXPECT_EQ(TenthsEntry(u"1e400"), std::nullopt);
    EXPECT_EQ(TenthsEntry(u"inf"), std::nullopt);
    EXPECT_EQ(TenthsEntry(u"nan"), std::nullopt);
}

}  // namespace
