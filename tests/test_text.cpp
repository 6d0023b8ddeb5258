#include <gtest/gtest.h>

#include <cmath>

#include "core/text.h"

using namespace ozn::text;

TEST(Text, LeadingNumber) {
    struct Case { const char* in; double out; } cases[] = {
        {"12", 12},       {" 1 2 ", 12},   {"2.5 ", 2.5},   {"-3.5x", -3.5}, {"+7", 7},   {"1e3", 1000},
        {"1e", 1},        {"abc", 0},      {"", 0},         {".5", 0.5},     {"1.2.3", 1.2}, {"07", 7},
        {"12番", 12},     {"  15000 ", 15000}, {"3d2", 300}, {"-", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(leadingNumber(c.in), c.out) << c.in;
}

TEST(Text, NumericTextAndStrictConversion) {
    struct Case { const char* in; bool numeric; } cases[] = {
        {"500", true},  {" 500", true}, {"500 ", true}, {"150.00", true}, {"1e3", true}, {"-4", true},
        {"abc00", false}, {"", false},  {" ", false},   {"1 5", false},   {"12a", false}, {".", false},
        {"4\r", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isNumericText(c.in), c.numeric) << c.in;
    EXPECT_EQ(strictNumber(" 2.5 "), 2.5);
}

TEST(Text, OddsFormats) {
    struct Case { double v; int decimals; const char* out; } cases[] = {
        {2.25, 1, "2.3"},   {1.625, 1, "1.6"}, {0.7 * 1.5, 1, "1.1"}, {12, 1, "12."},  {2.0, 2, "2."},
        {1.249, 2, "1.25"}, {1.25, 1, "1.3"},  {1.44, 1, "1.4"},      {0.04, 1, "0."}, {0.05, 1, "0.1"},
        {9.96, 1, "10."},   {99.95, 1, "100."}, {1234567.891, 2, "1234567.89"}, {-2.25, 1, "-2.3"},
        {0.004, 2, "0."},   {3.0, 1, "3."},    {1e-20, 1, "0."},      {2.35, 2, "2.35"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatOdds(c.v, c.decimals), c.out) << c.v;
    EXPECT_EQ(oneDecimal("12."), "12.0");
    EXPECT_EQ(oneDecimal("1.6"), "1.6");
    EXPECT_DOUBLE_EQ(roundOdds(1.249, 2), 1.25);
}

TEST(Text, RoundHalfEven) {
    struct Case { double v; long long lo, hi; std::optional<long long> out; } cases[] = {
        {2.5, 0, 255, 2},       {3.5, 0, 255, 4},     {-2.5, -10, 10, -2}, {255.4, 0, 255, 255},
        {255.5, 0, 255, std::nullopt}, {-0.6, 0, 255, std::nullopt}, {NAN, 0, 9, std::nullopt},
        {1e300, 0, 9223372036854775807LL, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(roundHalfEven(c.v, c.lo, c.hi), c.out) << c.v;
}

TEST(Text, RoundingInUnitsAgreesWithTheText) {
    // Products of odds, including ones that sit on a half only in their text.
    const double factors[] = {0.4, 0.9, 1.5, 1.25, 0.7, 1.1, 2.35, 12.5, 1.3, 0.05, 3.33};
    for (double a : factors)
        for (double b : factors)
            for (int d = 1; d <= 2; ++d) {
                double x = a * b;
                EXPECT_DOUBLE_EQ(static_cast<double>(roundOddsUnits(x, d)) / (d == 1 ? 10 : 100), roundOdds(x, d))
                    << a << "*" << b;
            }
    EXPECT_EQ(std::vector<long long>({roundOddsUnits(0.7 * 1.5, 1), roundOddsUnits(1.249, 2)}), std::vector<long long>({11, 125}));
    EXPECT_EQ(tenthsText(125) + " " + tenthsText(120) + " " + tenthsText(3), "12.5 12.0 0.3");
}
