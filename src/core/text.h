#pragma once
// Text and number helpers shared by every part of the game. Positions and
// lengths count characters (code points), never bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ozn::text {

bool isValidUtf8(std::string_view s);
// The code point of UTF-8 text at byte i, moving i past it; a stray or cut
// byte counts as itself.
char32_t nextCodePoint(std::string_view s, std::size_t& i);
std::size_t charCount(std::string_view s);
// 1-based character position of needle at or after `from`, 0 when absent.
std::size_t charFind(std::string_view s, std::string_view needle, std::size_t from = 1);
// Characters start..start+count-1 (1-based); clipped to the text.
std::string charMid(std::string_view s, std::size_t start,
                    std::size_t count = std::string_view::npos);
std::string charLeft(std::string_view s, std::size_t count);
std::string charRight(std::string_view s, std::size_t count);

// The number at the start of a text: blanks anywhere are skipped, then an
// optional sign, digits, a decimal point and an exponent; 0 when none.
double leadingNumber(std::string_view s);
// The same when it is a whole number, read exactly (a double keeps only 53
// bits); nullopt for a fraction, an exponent or a number beyond 64 bits.
std::optional<std::int64_t> leadingWholeNumber(std::string_view s);
// The whole text (surrounding blanks allowed) is one number.
bool isNumericText(std::string_view s);
// The whole text must be a number; nullopt otherwise.
std::optional<double> strictNumber(std::string_view s);

std::string plainNumber(std::int64_t n);   // "15000", "-5"
std::string signedNumber(std::int64_t n);  // " 15000", "-5"

// Rounds to at most `decimals` decimals, half away from zero, working on the
// value's 15-significant-digit decimal text; whole numbers keep a trailing
// "." ("0.#" of 12 is "12.").
std::string formatOdds(double v, int decimals);
// Appends "0" to a text that ends in "." so exactly one decimal shows.
std::string oneDecimal(std::string s);
// formatOdds read back as a number.
double roundOdds(double v, int decimals);
// The same rounding as a whole number of 10^-decimals units (non-negative v).
long long roundOddsUnits(double v, int decimals);
// A number of tenths as text with exactly one decimal: 125 -> "12.5".
std::string tenthsText(long long tenths);

// Round half to even into [lo, hi]; nullopt when out of range or not finite.
std::optional<std::int64_t> roundHalfEven(double v, std::int64_t lo, std::int64_t hi);

}  // namespace ozn::text
