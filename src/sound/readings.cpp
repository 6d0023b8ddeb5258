#include "sound/readings.h"

#include <mecab.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <utility>
#include <vector>

#include "core/text.h"

namespace ozn {
namespace {

const std::vector<std::pair<std::string, std::string>>& readingsTable() {
    // Longest first wherever one entry holds another.
    static const std::vector<std::pair<std::string, std::string>> table = {
        {"３連単", "さんれんたん"}, {"3連単", "さんれんたん"}, {"３連探", "さんれんたん"}, {"3連探", "さんれんたん"},
        {"３連複", "さんれんぷく"}, {"3連複", "さんれんぷく"}, {"３連副", "さんれんぷく"}, {"3連副", "さんれんぷく"},
        {"探副オッズ", "たんぷくオッズ"}, {"探副", "たんぷく"}, {"探勝", "たんしょう"}, {"単勝", "たんしょう"},
        {"副賞", "ふくしょう"}, {"馬連", "うまれん"}, {"持ち金", "もちがね"}, {"予想しを見る", "よそうしをみる"},
        {"予想紙", "よそうし"}, {"予想し", "よそうし"}, {"馬番", "うまばん"}, {"番人気", "ばんにんき"},
        {"開催変わり", "かいさいがわり"}, {"着順", "ちゃくじゅん"}, {"発送", "はっそう"}, {"発走", "はっそう"},
        {"Ctrl++", "コントロール プラス"}, {"Ctrl+=", "コントロール イコール"}, {"Ctrl+-", "コントロール マイナス"},
        {"Ctrl+Plus", "コントロール プラス"}, {"Ctrl+Minus", "コントロール マイナス"},
        {"Ctrl+", "コントロール "}, {"Shift+", "シフト "}, {"Alt+", "オルト "}, {"Ctrl", "コントロール"},
        {"PageDown", "ページダウン"}, {"PageUp", "ページアップ"}, {"PgDown", "ページダウン"}, {"PgUp", "ページアップ"},
        {"Enter", "エンター"}, {"Space", "スペース"}, {"Esc", "エスケープ"}, {"Tab", "タブ"}, {"Home", "ホーム"},
        {"End", "エンド"},
        {"■", ""}, {"□", ""}, {"●", ""}, {"○", ""}, {"◆", ""}, {"◇", ""}, {"★", ""}, {"☆", ""}, {"※", ""},
        {"▲", ""}, {"▼", ""}, {"◎", ""},
        // Read by Open JTalk as ヒトツ カ, ヒトツ ジョー, コーモク カ, ガメン カ and so on.
        {"一つ下", "一つした"}, {"一つ上", "一つうえ"}, {"項目下", "項目した"}, {"項目上", "項目うえ"},
        {"画面下", "がめんした"}, {"画面上", "がめんうえ"},
        // A range, which it passes over in silence.
        {"〜", "から"}, {"～", "から"},
        // The marks of まとめ買い, which it does not say: a box, a ながし and a
        // formation would sound alike.
        {"「-」", "「ハイフン」"}, {"「/」", "「スラッシュ」"},
    };
    return table;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t digitsAt(const std::string& s, std::size_t i) {
    std::size_t n = 0;
    while (i + n < s.size() && isDigit(s[i + n])) ++n;
    return n;
}

std::string unpadded(const std::string& s, std::size_t at, std::size_t n) {
    return std::to_string(std::stoi(s.substr(at, n)));
}

// "2026-12-07" as 12月7日, "15:43:10" as 15時43分10秒 (and "15:43" as
// 15時43分): read digit group by digit group otherwise. Returns the length
// taken, 0 for none.
std::size_t dateOrTime(const std::string& s, std::size_t i, std::string& out) {
    if (i > 0 && isDigit(s[i - 1])) return 0;
    auto group = [&](std::size_t at, std::size_t n, char after) {
        return digitsAt(s, at) == n && (after == 0 || (at + n < s.size() && s[at + n] == after));
    };
    if (group(i, 4, '-') && group(i + 5, 2, '-') && group(i + 8, 2, 0)) {
        out += unpadded(s, i + 5, 2) + "月" + unpadded(s, i + 8, 2) + "日";
        return 10;
    }
    if (group(i, 2, ':') && group(i + 3, 2, 0)) {
        out += unpadded(s, i, 2) + "時" + unpadded(s, i + 3, 2) + "分";
        if (i + 5 < s.size() && s[i + 5] == ':' && group(i + 6, 2, 0)) {
            out += unpadded(s, i + 6, 2) + "秒";
            return 8;
        }
        return 5;
    }
    return 0;
}

bool endsWith(const std::string& s, const char* tail) {
    const std::size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool isKanji(char32_t cp) {
    return (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0x20000 && cp <= 0x2FA1F) || cp == 0x3005 /* 々 */;
}

}  // namespace

std::string withReadings(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [word, reading] : readingsTable())
            if (text.compare(i, word.size(), word) == 0) {
                out += reading;
                i += word.size();
                replaced = true;
                break;
            }
        if (replaced) continue;
        if (isDigit(text[i])) {
            if (std::size_t n = dateOrTime(text, i, out)) {
                i += n;
                continue;
            }
            // A count of days where no month comes before: 7日 is seven days, not the 7th.
            const std::size_t n = digitsAt(text, i);
            if (text.compare(i + n, 3, "日") == 0 && text.compare(i + n + 3, 3, "間") != 0 && !endsWith(out, "月")) {
                out.append(text, i, n).append("日間");
                i += n + 3;
                continue;
            }
        }
        // Odds are written "22.5 倍" or "12.倍": the blank or the lone point
        // would be a pause before 倍.
        if (text[i] == ' ' && !out.empty() && (isDigit(out.back()) || out.back() == '.')) {
            std::size_t j = i;
            while (j < text.size() && text[j] == ' ') ++j;
            if (text.compare(j, 3, "倍") == 0) {
                i = j;
                if (out.back() == '.') out.pop_back();
                continue;
            }
        }
        if (text[i] == '.' && i > 0 && isDigit(text[i - 1]) && (i + 1 == text.size() || !isDigit(text[i + 1]))) {
            ++i;
            continue;
        }
        // Between horse numbers, the marks of まとめ買い by name.
        if ((text[i] == '-' || text[i] == '/') && i > 0 && isDigit(text[i - 1]) && i + 1 < text.size() && isDigit(text[i + 1])) {
            out += text[i] == '-' ? "ハイフン" : "スラッシュ";
            ++i;
            continue;
        }
        // A distance: 1200m is 1200 metres.
        if (text[i] == 'm' && i > 0 && isDigit(text[i - 1]) && (i + 1 == text.size() || !std::isalpha(static_cast<unsigned char>(text[i + 1])))) {
            out += "メートル";
            ++i;
            continue;
        }
        out += text[i++];
    }
    return out;
}

std::string typedCharacter(const std::string& ch) {
    static const std::pair<const char*, const char*> kNames[] = {
        {" ", "スペース"}, {"　", "スペース"}, {"/", "スラッシュ"}, {"／", "スラッシュ"}, {"-", "ハイフン"},
        {"－", "ハイフン"}, {"ー", "のばす音"}, {",", "カンマ"}, {"，", "カンマ"}, {"、", "てん"}, {".", "ピリオド"},
        {"・", "なかぐろ"}, {"+", "プラス"}, {"*", "アスタリスク"}};
    for (const auto& [c, name] : kNames)
        if (ch == c) return name;
    return ch;
}

std::string lineSpeech(const std::string& line) {
    auto blankWithout = [](std::string s, std::initializer_list<const char*> marks) {
        for (const char* m : marks)
            for (std::size_t at; (at = s.find(m)) != std::string::npos;) s.erase(at, std::strlen(m));
        return s.find_first_not_of(" \t\r\n") == std::string::npos;
    };
    if (blankWithout(line, {"　"})) return "空行";
    return blankWithout(line, {"　", "=", "-", "_", "*", "#", "~", "─", "━", "＝", "－"}) ? "区切り線" : line;
}

namespace {

const char* const kDigitKana[] = {"ぜろ", "いち", "に", "さん", "よん", "ご", "ろく", "なな", "はち", "きゅう"};

// One group of four digits (1..9999) as said before まん, おく or ちょう.
std::string groupKana(int g) {
    static const char* const kThousands[] = {"", "せん", "にせん", "さんぜん", "よんせん", "ごせん", "ろくせん", "ななせん", "はっせん", "きゅうせん"};
    static const char* const kHundreds[] = {"", "ひゃく", "にひゃく", "さんびゃく", "よんひゃく", "ごひゃく", "ろっぴゃく", "ななひゃく", "はっぴゃく", "きゅうひゃく"};
    std::string out = std::string(kThousands[g / 1000]) + kHundreds[g / 100 % 10];
    if (int t = g / 10 % 10) out += (t == 1 ? "" : kDigitKana[t]) + std::string("じゅう");
    if (int o = g % 10) out += kDigitKana[o];
    return out;
}

// The vowel that "ー" lengthens, for each kana from ぁ to ゖ.
const char* const kVowels = "aaiiuueeooaaiiuueeooaaiiuueeooaaiiuuueeooaiueoaaaiiiuuueeeoooaiueoaauuooaiueoaaieonuae";

std::string vowelAfter(char32_t cp) {
    if (cp >= 0x30A1 && cp <= 0x30F6) cp -= 0x60;  // katakana as hiragana
    if (cp < 0x3041 || cp > 0x3096) return "";
    switch (kVowels[cp - 0x3041]) {
        case 'a': return "あ";
        case 'i': return "い";
        case 'u': return "う";
        case 'e': return "え";
        case 'o': return "お";
        default: return "";
    }
}

void appendCodePoint(std::string& out, const std::string& from, std::size_t at, std::size_t end) { out.append(from, at, end - at); }

}  // namespace

std::string numberKana(const std::string& digits) {
    if (digits.empty()) return "";
    // Typed horse numbers such as 07 are said digit by digit.
    if (digits.size() > 1 && digits[0] == '0') {
        std::string out;
        for (char c : digits) out += kDigitKana[c - '0'];
        return out;
    }
    if (digits.size() > 16) {  // past 9999ちょう: digit by digit too
        std::string out;
        for (char c : digits) out += kDigitKana[c - '0'];
        return out;
    }
    unsigned long long n = std::stoull(digits);
    if (n == 0) return kDigitKana[0];
    static const char* const kUnits[] = {"", "まん", "おく", "ちょう"};
    std::string out;
    for (int u = 3; u >= 0; --u) {
        unsigned long long scale = 1;
        for (int k = 0; k < u; ++k) scale *= 10000;
        const int g = static_cast<int>(n / scale % 10000);
        if (g == 0) continue;
        out += (g == 1 && u > 0 ? "いち" : groupKana(g)) + kUnits[u];
    }
    return out;
}

std::string forEspeak(const std::string& text) {
    std::string out;
    char32_t last = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (isDigit(text[i])) {
            const std::size_t n = digitsAt(text, i);
            out += numberKana(text.substr(i, n));
            i += n;
            // A decimal point is said, and the digits after it one by one.
            if (i + 1 < text.size() && text[i] == '.' && isDigit(text[i + 1])) {
                const std::size_t f = digitsAt(text, i + 1);
                out += "てん";
                for (std::size_t k = 0; k < f; ++k) out += kDigitKana[text[i + 1 + k] - '0'];
                i += 1 + f;
            }
            last = 0;
            continue;
        }
        const std::size_t at = i;
        const char32_t cp = text::nextCodePoint(text, i);
        if (cp == U'ー') {
            out += vowelAfter(last);  // the long vowel as the vowel itself
            continue;
        }
        if (cp == U'%') {
            out += "ぱあせんと";
            last = 0;
            continue;
        }
        appendCodePoint(out, text, at, i);
        last = cp;
    }
    return out;
}

bool hasKanji(const std::string& text) {
    for (std::size_t i = 0; i < text.size();)
        if (isKanji(text::nextCodePoint(text, i))) return true;
    return false;
}

struct KanaReader::Impl {
    mecab_t* mecab = nullptr;
    std::mutex m;
    ~Impl() {
        if (mecab) mecab_destroy(mecab);
    }
    // One run of text without blanks. The particles は and へ as they are
    // said (わ, え): espeak-ng reads every は as "ha".
    std::string convert(const std::string& run) {
        if (!mecab || (!hasKanji(run) && run.find("は") == std::string::npos && run.find("へ") == std::string::npos))
            return run;
        std::string out;
        if (const mecab_node_t* node = mecab_sparse_tonode2(mecab, run.c_str(), run.size())) {
            for (; node; node = node->next) {
                if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
                std::string surface(node->surface, node->length);
                std::string reading = field(node->feature, 7);
                const bool particle = field(node->feature, 0) == "助詞";
                if (particle && surface == "は") out += "わ";
                else if (particle && surface == "へ") out += "え";
                else out += hasKanji(surface) && !reading.empty() && reading != "*" ? reading : surface;
            }
        }
        // Whatever the analyser could not read is left out rather than
        // spelt as "Chinese letter" one by one.
        std::string clean;
        for (std::size_t i = 0; i < out.size();) {
            const std::size_t at = i;
            if (!isKanji(text::nextCodePoint(out, i))) clean.append(out, at, i - at);
        }
        return clean;
    }
    static std::string field(const char* feature, int index) {
        std::string f = feature ? feature : "";
        std::size_t at = 0;
        for (int k = 0; k < index; ++k) {
            at = f.find(',', at);
            if (at == std::string::npos) return "";
            ++at;
        }
        return f.substr(at, f.find(',', at) - at);
    }
};

KanaReader::KanaReader() : impl_(std::make_unique<Impl>()) { impl_->mecab = mecab_new2(""); }
KanaReader::~KanaReader() = default;

bool KanaReader::available() const { return impl_->mecab != nullptr; }

std::string KanaReader::toKana(const std::string& text) {
    std::lock_guard lock(impl_->m);
    std::string out, run;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            out += impl_->convert(run) + c;
            run.clear();
        } else {
            run += c;
        }
    }
    return out + impl_->convert(run);
}

}  // namespace ozn
