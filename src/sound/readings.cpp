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
    };
    return table;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

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
    // One run of text without blanks.
    std::string convert(const std::string& run) {
        if (!hasKanji(run)) return run;
        std::string out;
        if (mecab)
            if (const mecab_node_t* node = mecab_sparse_tonode2(mecab, run.c_str(), run.size())) {
                for (; node; node = node->next) {
                    if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) continue;
                    std::string surface(node->surface, node->length);
                    std::string reading = field(node->feature, 7);
                    out += hasKanji(surface) && !reading.empty() && reading != "*" ? reading : surface;
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
