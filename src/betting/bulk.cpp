#include "betting/bulk.h"

#include <algorithm>

#include "betting/betting.h"
#include "core/text.h"

namespace ozn {
namespace {

const std::string kTitle = "まとめ買い";
const std::string kInputError = "入力エラー";

// What a Japanese keyboard gives for the marks: full-width forms, "ー" for
// "-", "・" for "/", "、" for a comma; "マルチ" spelled out for "M".
char normalise(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width ASCII
    if (c >= '0' && c <= '9') return static_cast<char>(c);
    switch (c) {
        case ' ': case '\t': case ',': case 0x3000: case 0x3001: return ' ';
        case '-': case 0x2010: case 0x2011: case 0x2013: case 0x2212: case 0x30FC: case 0xFF70: return '-';
        case '/': case 0x30FB: case 0xFF65: return '/';
        case 'M': case 'm': return 'M';
    }
    return 0;
}

struct Token {
    char mark;         // '#' for a number, else '-', '/' or 'M'
    std::string text;  // the digits as typed
};

std::string tokenise(std::string_view line, std::vector<Token>& out) {
    const std::string_view multi = "マルチ", s = line;
    bool inNumber = false;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t start = i;
        char c = s.substr(i).starts_with(multi) ? (i += multi.size(), 'M') : normalise(text::nextCodePoint(s, i));
        if (c == 0) return "「" + std::string(s.substr(start, i - start)) + "」は使えません。馬番と - / M だけで入れて下さい";
        bool digit = c >= '0' && c <= '9';
        if (digit && inNumber) out.back().text += c;
        else if (c != ' ') out.push_back({digit ? '#' : c, std::string(1, c)});
        inNumber = digit;
    }
    return "";
}

bool holds(const std::vector<int>& group, int h) { return std::find(group.begin(), group.end(), h) != group.end(); }

// Every ticket of the form: each tuple of different horses that fits the
// groups place by place; for the unordered kinds and マルチ, in any order.
std::vector<Horses> expand(int kind, BulkForm form, const std::vector<std::vector<int>>& g) {
    const int places = horsesPerTicket(kind);
    const bool ordered = kind <= 2 || ((kind == 6 || kind == kExacta) && form != BulkForm::Multi);
    const bool ascending = (kind >= 3 && kind <= 5) || kind == kBracketQuinella;
    // 枠連 can name one bracket twice, as a formation with it in both rows does.
    const bool sameTwice = kind == kBracketQuinella && form == BulkForm::Formation;
    const int top = kind == kBracketQuinella ? kBrackets : kHorses;
    auto fits = [&](const Horses& t) {
        for (int i = 0; i < places; ++i) {
            bool ok = form == BulkForm::Row || form == BulkForm::Box ? holds(g[0], t[i])
                      : form == BulkForm::Formation                  ? holds(g[i], t[i])
                      : i < static_cast<int>(g[0].size())            ? t[i] == g[0][i]
                                                                     : holds(g[1], t[i]);
            if (!ok) return false;
        }
        return true;
    };
    auto anyOrderFits = [&](const Horses& t) {
        static constexpr int kOrders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
        for (const auto& o : kOrders)
            if (fits({t[o[0]], t[o[1]], t[o[2]]})) return true;
        return false;
    };
    std::vector<Horses> out;
    const int last2 = places >= 2 ? top : 0, last3 = places == 3 ? top : 0;
    for (int a = 1; a <= top; ++a)
        for (int b = places >= 2; b <= last2; ++b)
            for (int c = places == 3; c <= last3; ++c) {
                if ((b && b == a && !sameTwice) || (c && (c == a || c == b))) continue;
                if (ascending && !((a < b || (sameTwice && a == b)) && (places < 3 || b < c))) continue;
                Horses t{a, b, c};
                if (ordered ? fits(t) : anyOrderFits(t)) out.push_back(t);
            }
    return out;
}

std::string placesText(int kind) { return horsesPerTicket(kind) == 2 ? "2組" : "3組"; }

}  // namespace

BulkParse parseBulk(int kind, std::string_view line) {
    BulkParse r;
    std::vector<Token> tokens;
    if (std::string e = tokenise(line, tokens); !e.empty()) return {{}, e};
    const auto count = [&](char m) { return std::count_if(tokens.begin(), tokens.end(), [m](const Token& t) { return t.mark == m; }); };
    const bool brackets = kind == kBracketQuinella;
    const std::string mark = brackets ? "枠" : "番";
    for (const Token& t : tokens) {
        if (t.mark != '#') continue;
        int v = t.text.size() <= 2 ? std::stoi(t.text) : 0;
        if (brackets && (v < 1 || v > kBrackets)) return {{}, t.text + "という枠番はありません。1から8の数字を入れて下さい"};
        if (v < 1 || v > kHorses) return {{}, t.text + "という馬番はありません。1から18の数字を入れて下さい"};
    }
    const auto dashes = count('-'), slashes = count('/'), multis = count('M');
    const std::string kind_ = kindName(kind);
    if (kind <= 2 && dashes + slashes + multis > 0)
        return {{}, kind_ + "にはながしやフォーメーションはありません。01 03 07 のように馬番を並べて下さい"};
    if (dashes && slashes) return {{}, "ながしの「-」とフォーメーションの「/」は一緒に使えません"};
    if (multis && kind != 6 && kind != kExacta) return {{}, "マルチは３連単だけです"};
    if (multis && (multis > 1 || !dashes || tokens.back().mark != 'M'))
        return {{}, "マルチは 07-01 03 15 M のように、ながしの最後にMを付けます"};
    if (dashes > 1) return {{}, "ながしの「-」は一つだけです"};

    std::vector<std::vector<int>> groups(1);
    for (const Token& t : tokens) {
        if (t.mark == '#') {
            int h = std::stoi(t.text);
            if (holds(groups.back(), h)) return {{}, std::to_string(h) + mark + "が二つ入っています"};
            groups.back().push_back(h);
        } else if (t.mark != 'M') {
            groups.emplace_back();
        }
    }
    r.order.form = slashes ? BulkForm::Formation
                   : dashes ? (multis ? BulkForm::Multi : BulkForm::Axis)
                            : (kind <= 2 ? BulkForm::Row : BulkForm::Box);
    if (dashes) {
        const std::size_t maxAxes = kind <= 4 || kind >= kExacta ? 1 : 2;
        if (groups[0].empty() || groups[0].size() > maxAxes)
            return {{}, kind_ + "のながしの軸は" + (maxAxes == 1 ? "1頭です" : "1頭か2頭です")};
        for (int h : groups[1])
            if (holds(groups[0], h)) return {{}, std::to_string(h) + mark + "が軸と相手の両方に入っています"};
    }
    if (slashes && static_cast<int>(groups.size()) != horsesPerTicket(kind))
        return {{}, kind_ + "のフォーメーションは「/」で区切った" + placesText(kind) + "です"};
    r.order.tickets = expand(kind, r.order.form, groups);
    if (r.order.tickets.empty()) return {{}, "組み合わせが1点もありません"};
    return r;
}

std::string bulkPrompt(int kind) {
    std::string k = kindName(kind) + "のまとめ買い：";
    if (kind <= 2) return k + "馬番を 01 03 07 のように並べて下さい";
    if (kind == kBracketQuinella) return k + "ボックスは 1 3 7、ながしは 3-1 5 8、フォーメーションは 3 5/3 5 7";
    k += "ボックスは 01 03 07、ながしは 07-01 03 15、フォーメーションは ";
    if (kind == kExacta) return k + "07 15/01 03 07 (1着/2着)、マルチはながしの最後に M";
    if (kind <= 4) return k + "07 15/01 03 07";
    k += "07 15/01 03/01 02 03";
    return kind == 6 ? k + "、マルチはながしの最後に M" : k;
}

std::string bulkFormName(BulkForm form) {
    switch (form) {
        case BulkForm::Row: return "";
        case BulkForm::Box: return "ボックス";
        case BulkForm::Axis: return "ながし";
        case BulkForm::Multi: return "マルチ";
        case BulkForm::Formation: return "フォーメーション";
    }
    return "";
}

std::string bulkLine(BulkForm form, const std::vector<std::vector<int>>& rows) {
    const char* between = form == BulkForm::Axis || form == BulkForm::Multi ? "-" : "/";
    std::string line;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (r > 0) line.append(between);
        for (std::size_t i = 0; i < rows[r].size(); ++i) {
            if (i > 0) line.push_back(' ');
            if (rows[r][i] < 10) line.push_back('0');
            line.append(std::to_string(rows[r][i]));
        }
    }
    if (form == BulkForm::Multi) line.append(" M");
    return line;
}

std::optional<BulkBought> bulkPurchase(GameRecord& rec, Ui& ui, int kind, const BulkPick& pick) {
    if (rec.mochikin <= 99) {
        refuse(ui, "持ち金が100円以下です", "持ち金", kStyleNotice);
        return std::nullopt;
    }
    std::string line;
    bool typed = true;
    if (pick) {
        std::optional<std::string> picked = pick();
        if (!picked) return std::nullopt;
        line = *picked;
        typed = false;
    }
    BulkOrder order;
    for (;;) {
        if (typed) line = ui.inputBox(bulkPrompt(kind), kTitle, line);
        typed = true;
        if (line.empty()) return std::nullopt;
        BulkParse p = parseBulk(kind, line);
        if (p.error.empty()) {
            // Tickets held already are added to; only new ones need room.
            const int count = ticketCount(rec, kind);
            int fresh = 0;
            for (const Horses& h : p.order.tickets) fresh += findTicket(rec, kind, h, count) < 0;
            if (count + fresh > capacity(kind))
                p.error = kindName(kind) + "はあと" + std::to_string(capacity(kind) - count) + "点しか買えません";
        }
        if (p.error.empty()) {
            order = std::move(p.order);
            break;
        }
        refuse(ui, p.error, kInputError, kStyleNotice);
    }
    const int n = static_cast<int>(order.tickets.size());
    const std::string points = std::to_string(n) + "点";
    rec.bakenkind = static_cast<std::int16_t>(kind);
    auto stake = askStake(rec, ui, {"1点の金額を入力して下さい。" + points + " ", kTitle, n});
    if (!stake) return std::nullopt;
    const Money total = *checked::times(*stake, n);  // askStake checked it against the money
    std::string form = bulkFormName(order.form);
    if (ui.msgBox(kindName(kind) + " " + (form.empty() ? "" : form + " ") + points + " 各" + text::plainNumber(*stake) +
                      "円 合計" + text::plainNumber(total) + "円 買いますか",
                  kTitle, kStyleYesNo) != Answer::Yes)
        return std::nullopt;
    for (const Horses& h : order.tickets) fileTicket(rec, kind, h, *stake);
    ui.effect(Effect::Bought);
    return BulkBought{kind, n, total};
}

std::string bulkPurchaseSpeech(const BulkBought& b) {
    return kindName(b.kind) + " " + std::to_string(b.tickets) + "点 " + text::plainNumber(b.total) + "円 買いました";
}

}  // namespace ozn
