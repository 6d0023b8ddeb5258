#include "core/text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ozn::text {
namespace {

bool isCont(unsigned char c) { return (c & 0xC0) == 0x80; }

// Byte offset of the 0-based character index, or s.size() past the end.
std::size_t byteOffset(std::string_view s, std::size_t chars) {
    std::size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && isCont(static_cast<unsigned char>(s[i]))) ++i;
        --chars;
    }
    return i;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Longest number at the start of s (no blanks inside); returns its length.
std::size_t scanNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        std::size_t expDigits = 0;
        while (j < s.size() && isDigit(s[j])) ++j, ++expDigits;
        if (expDigits > 0) i = j;
    }
    return i;
}

double toDouble(std::string_view number) {
    std::string t(number);
    for (char& c : t)
        if (c == 'd' || c == 'D') c = 'e';
    const char* begin = t.data() + (!t.empty() && t.front() == '+' ? 1 : 0);
    double v = 0;
    auto [ptr, ec] = std::from_chars(begin, t.data() + t.size(), v);
    if (ec == std::errc::result_out_of_range) return std::strtod(t.c_str(), nullptr);
    return v;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i++]);
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = more ? c & (0x3F >> more) : c;
    for (; more > 0 && i < s.size() && isCont(static_cast<unsigned char>(s[i])); --more)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        std::uint32_t cp;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) n = 1, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) n = 2, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) n = 3, cp = c & 0x07;
        else return false;
        if (i + n >= s.size()) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            auto d = static_cast<unsigned char>(s[i + k]);
            if (!isCont(d)) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n + 1;
    }
    return true;
}

std::size_t charCount(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        if (!isCont(static_cast<unsigned char>(c))) ++n;
    return n;
}

std::size_t charFind(std::string_view s, std::string_view needle, std::size_t from) {
    if (from < 1) from = 1;
    std::size_t start = byteOffset(s, from - 1);
    if (start > s.size()) return 0;
    auto pos = s.find(needle, start);
    if (pos == std::string_view::npos) return 0;
    return charCount(s.substr(0, pos)) + 1;
}

std::string charMid(std::string_view s, std::size_t start, std::size_t count) {
    if (start < 1) start = 1;
    std::size_t b = byteOffset(s, start - 1);
    std::string_view rest = s.substr(b);
    if (count == std::string_view::npos) return std::string(rest);
    return std::string(rest.substr(0, byteOffset(rest, count)));
}

std::string charLeft(std::string_view s, std::size_t count) { return charMid(s, 1, count); }

std::string charRight(std::string_view s, std::size_t count) {
    std::size_t n = charCount(s);
    if (count >= n) return std::string(s);
    return charMid(s, n - count + 1);
}

namespace {
// The characters the leading-number reader takes: blanks dropped, then as
// much as reads as one number ("" when none).
std::string leadingNumberText(std::string_view s) {
    std::string compact;
    for (char c : s)
        if (!isBlank(c)) compact += c;
    compact.resize(scanNumber(compact));
    return compact;
}
}  // namespace

double leadingNumber(std::string_view s) {
    std::string number = leadingNumberText(s);
    return number.empty() ? 0.0 : toDouble(number);
}

std::optional<std::int64_t> leadingWholeNumber(std::string_view s) {
    const std::string text = leadingNumberText(s);
    std::string_view number = text;
    if (number.empty() || number.find_first_not_of("+-0123456789") != std::string_view::npos) return std::nullopt;
    if (number.front() == '+') number.remove_prefix(1);
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
    if (ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return v;
}

bool isNumericText(std::string_view s) { return strictNumber(s).has_value(); }

std::optional<double> strictNumber(std::string_view s) {
    s = trimBlanks(s);
    std::size_t len = scanNumber(s);
    if (len == 0 || len != s.size()) return std::nullopt;
    return toDouble(s);
}

std::string plainNumber(std::int64_t n) { return std::to_string(n); }

std::string signedNumber(std::int64_t n) {
    std::string s = n < 0 ? "" : " ";
    s += std::to_string(n);
    return s;
}

std::string formatOdds(double v, int decimals) {
    if (!std::isfinite(v)) return "0.";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    // buf: [-]d.dddddddddddddde[+-]xx, 15 significant digits
    const char* p = buf;
    bool negative = *p == '-';
    if (negative) ++p;
    char digits[24];
    int n = 0;
    for (; *p != 'e'; ++p)
        if (isDigit(*p)) digits[n++] = *p;
    ++p;
    if (*p == '+') ++p;
    int exp10 = 0;
    std::from_chars(p, res.ptr, exp10);
    int intDigits = exp10 + 1;  // digits before the decimal point
    int keep = intDigits + decimals;
    if (keep < 0) {
        n = 0;
    } else if (keep < n) {
        bool up = digits[keep] >= '5';
        n = keep;
        if (up) {
            int k = n - 1;
            while (k >= 0 && digits[k] == '9') digits[k--] = '0';
            if (k >= 0) {
                ++digits[k];
            } else {
                for (int i = n; i > 0; --i) digits[i] = digits[i - 1];
                digits[0] = '1';
                ++n;
                ++intDigits;
            }
        }
    }
    auto digitAt = [&](int pos) { return pos >= 0 && pos < n ? digits[pos] : '0'; };
    std::string out;
    out.reserve(24);
    if (negative) out += '-';
    bool any = false;
    for (int pos = 0; pos < intDigits; ++pos) {
        char d = digitAt(pos);
        if (d != '0' || any) out += d, any = true;
    }
    if (!any) out += '0';
    out += '.';
    int last = intDigits + decimals - 1;
    while (last >= intDigits && digitAt(last) == '0') --last;
    for (int pos = intDigits; pos <= last; ++pos) out += digitAt(pos), any = true;
    if (out == "-0.") return "0.";
    return out;
}

std::string oneDecimal(std::string s) {
    if (!s.empty() && s.back() == '.') s += '0';
    return s;
}

double roundOdds(double v, int decimals) { return leadingNumber(formatOdds(v, decimals)); }

long long roundOddsUnits(double v, int decimals) {
    const double scale = decimals == 1 ? 10.0 : decimals == 2 ? 100.0 : std::pow(10.0, decimals);
    double y = v * scale;
    double f = y - std::floor(y);
    // Far from a half the 15-digit text rounds the same way as the value
    // itself; only near a half does the text decide.
    if (v >= 0 && y < 1e8 && std::fabs(f - 0.5) > 1e-6) return static_cast<long long>(std::floor(y + 0.5));
    std::string t = formatOdds(v, decimals);
    long long units = 0;
    int fracDigits = -1;
    for (char c : t) {
        if (c == '.') fracDigits = 0;
        else if (isDigit(c)) {
            units = units * 10 + (c - '0');
            if (fracDigits >= 0) ++fracDigits;
        }
    }
    for (int i = fracDigits < 0 ? 0 : fracDigits; i < decimals; ++i) units *= 10;
    return t.front() == '-' ? -units : units;
}

std::string tenthsText(long long tenths) {
    std::string s = std::to_string(tenths / 10);
    s += '.';
    s += static_cast<char>('0' + tenths % 10);
    return s;
}

std::optional<std::int64_t> roundHalfEven(double v, std::int64_t lo, std::int64_t hi) {
    if (!std::isfinite(v)) return std::nullopt;
    double r = std::nearbyint(v);  // the default rounding mode rounds halves to even
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi) || r >= 0x1p63) return std::nullopt;
    return static_cast<std::int64_t>(r);
}

}  // namespace ozn::text
