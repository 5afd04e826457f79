// Reading values in the panel's units.

#include "ValueParse.h"

#include <gtest/gtest.h>

TEST(ValueParse, TenthsTakeAtMostOneSignificantDecimal)
{
    EXPECT_EQ(ParseTenths("100"), 1000);
    EXPECT_EQ(ParseTenths("100.0"), 1000);
    EXPECT_EQ(ParseTenths("87.5"), 875);
    EXPECT_EQ(ParseTenths("0.3"), 3);
    EXPECT_EQ(ParseTenths("2.50"), 25) << "trailing zeros change nothing";
    EXPECT_EQ(ParseTenths("015.0"), 150);

    for (const char* bad :
         {"", ".", "100.", ".5", "100.05", "1e3", "-5", "+5", "10,5", "1.2.3", " 1", "1 ", "abc", "9999999"})
        EXPECT_FALSE(ParseTenths(bad)) << '"' << bad << '"';
}

TEST(ValueParse, WholeNumbersOnlyDigits)
{
    EXPECT_EQ(ParseWhole("0"), 0);
    EXPECT_EQ(ParseWhole("13"), 13);
    EXPECT_EQ(ParseWhole("999999"), 999999);
    for (const char* bad : {"", "7.0", "-1", "+1", "1x", "0x10", "1000000"})
        EXPECT_FALSE(ParseWhole(bad)) << '"' << bad << '"';
}

TEST(ValueParse, OnOffAndTenthsFormatting)
{
    EXPECT_EQ(ParseOnOff("on"), true);
    EXPECT_EQ(ParseOnOff("off"), false);
    EXPECT_FALSE(ParseOnOff("ON"));
    EXPECT_FALSE(ParseOnOff("1"));
    EXPECT_EQ(FormatTenths(1000), "100.0");
    EXPECT_EQ(FormatTenths(3), "0.3");
    EXPECT_EQ(FormatTenths(875), "87.5");
    EXPECT_EQ(FormatTenths(-15), "-1.5");
}
