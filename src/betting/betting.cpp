#include "betting/betting.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/text.h"

namespace ozn {
namespace {

const std::string kRangeMessage = "1から18の番号で指定して下さい";
const std::string kInputError = "入力エラー";

// Win and place: the number before "番" at position 2 or 3, or a bare 1..18.
std::optional<int> readOneHorse(Ui& ui, int kind, const std::string& s) {
    std::size_t p = text::charFind(s, "番");
    std::optional<double> v;
    if (p == 2 || p == 3) {
        v = text::leadingNumber(text::charLeft(s, p - 1));
    } else if (text::charCount(s) < 3) {
        double n = text::leadingNumber(s);
        if (n < 1 || n > 18) {
            if (kind == 1) refuse(ui, kRangeMessage, "", kStyleOk);
            else refuse(ui, kRangeMessage, kInputError, kStyleNotice);
            return std::nullopt;
        }
        char last = s.empty() ? '\0' : s.back();
        if (last >= '0' && last <= '9') v = n;
    }
    auto horse = v ? text::roundHalfEven(*v, 1, 18) : std::nullopt;
    if (!horse) {
        refuse(ui, kRangeMessage, kInputError, kStyleNotice);
        return std::nullopt;
    }
    return static_cast<int>(*horse);
}

// Combination texts: horse numbers each followed by "番" (brackets by "枠"
// for 枠連) before the first blank. Anything else (an empty text, say) is refused.
std::optional<Horses> readHorses(int kind, const std::string& s) {
    auto blank = s.find(' ');
    if (blank == std::string::npos) return std::nullopt;
    std::string t = s.substr(0, blank);
    const std::string mark = kind == kBracketQuinella ? "枠" : "番";
    const int top = kind == kBracketQuinella ? kBrackets : kHorses;
    std::vector<int> numbers;
    std::size_t at = 0;
    while (at < t.size()) {
        auto end = t.find(mark, at);
        if (end == std::string::npos || end == at || end - at > 2) return std::nullopt;
        int n = 0;
        for (std::size_t i = at; i < end; ++i) {
            if (t[i] < '0' || t[i] > '9') return std::nullopt;
            n = n * 10 + (t[i] - '0');
        }
        if (n < 1 || n > top) return std::nullopt;
        numbers.push_back(n);
        at = end + mark.size();
    }
    if (static_cast<int>(numbers.size()) != horsesPerTicket(kind)) return std::nullopt;
    Horses h{numbers[0], numbers[1], numbers.size() > 2 ? numbers[2] : 0};
    return selectionOk(kind, h) ? std::optional<Horses>(h) : std::nullopt;
}

}  // namespace

bool selectionOk(int kind, const Horses& h) {
    switch (kind) {
        case 6: return h[0] != h[1] && h[1] != h[2] && h[0] != h[2];
        case kExacta: return h[0] != h[1];
        case kBracketQuinella: return h[0] <= h[1];  // every bracket runs two or more
        default: return h[0] < h[1] && (kind != 5 || h[1] < h[2]);
    }
}

std::string selectionHorses(int kind, const Horses& h) {
    const char* mark = kind == kBracketQuinella ? "枠" : "番";
    std::string out;
    for (int k = 0; k < horsesPerTicket(kind); ++k) out += std::to_string(h[k]) + mark;
    return out;
}

std::optional<Money> askStake(GameRecord& rec, Ui& ui, const StakeBox& box) {
    for (;;) {
        rec.kingaku = ui.inputBox(box.prompt + "持ち金は" + text::signedNumber(rec.mochikin) + "円です", box.title, "");
        if (rec.kingaku.empty()) {
            rec.bakenkind = 0;
            return std::nullopt;
        }
        double value = text::leadingNumber(rec.kingaku);
        // A stake is a whole multiple of 100 yen; "150.00" ends in 00 but is not.
        bool unitOk = text::charRight(rec.kingaku, 2) == "00" && text::isNumericText(rec.kingaku) &&
                      value >= 100 && std::fmod(value, 100.0) == 0.0;
        if (!unitOk) {
            refuse(ui, "100円単位で入力して下さい。", kInputError, kStyleNotice);
            continue;
        }
        if (value > static_cast<double>(rec.mochikin)) {
            refuse(ui, "持ち金の" + text::plainNumber(rec.mochikin) + "円以下にして下さい", kInputError,
                      kStyleNotice);
            continue;
        }
        Money stake = text::roundHalfEven(value, 0, rec.mochikin).value_or(0);
        // A total past what the game can hold is never worked out as a number.
        const std::optional<Money> total = checked::times(stake, box.tickets);
        if (!total || *total > rec.mochikin) {
            refuse(ui, "合計" + (total ? text::plainNumber(*total) + "円は" : std::string("が")) + "持ち金の" +
                          text::plainNumber(rec.mochikin) + "円を超えます",
                      kInputError, kStyleNotice);
            continue;
        }
        return stake;
    }
}

std::optional<Money> bakenbox(GameRecord& rec, Ui& ui) { return askStake(rec, ui, {"金額を入力して下さい。", "6", 1}); }

bool fileTicket(GameRecord& rec, int kind, const Horses& horses, Money stake) {
    const int count = ticketCount(rec, kind);
    const int held = findTicket(rec, kind, horses, count);
    if ((held < 0 && count >= capacity(kind)) || stake < 0 || stake > rec.mochikin) return false;
    rec.mochikin -= stake;
    if (count < capacity(kind)) {
        // The new entry goes at the end, and into an equal earlier one if there is one.
        setTicketCount(rec, kind, count + 1);
        setTicketHorses(rec, kind, count, horses);
        ticketStake(rec, kind, count) = stake;
        if (held >= 0) {
            ticketStake(rec, kind, held) += stake;
            setTicketHorses(rec, kind, count, Horses{});
            ticketStake(rec, kind, count) = 0;
            setTicketCount(rec, kind, count);
        }
    } else {
        ticketStake(rec, kind, held) += stake;  // full: only a held selection can grow
    }
    setKindFlag(rec, kind);
    return true;
}

bool registerTicket(GameRecord& rec, Ui& ui, int kind, const std::string& selection, Purchase* bought) {
    if (rec.mochikin <= 99) {
        refuse(ui, "持ち金が100円以下です", "持ち金", kStyleNotice);
        return false;
    }
    Horses horses{};
    if (kind <= 2) {
        auto h = readOneHorse(ui, kind, selection);
        if (!h) return false;
        horses[0] = *h;
    } else {
        auto h = readHorses(kind, selection);
        if (!h) {
            refuse(ui, kRangeMessage, kInputError, kStyleNotice);
            return false;
        }
        horses = *h;
    }
    const int count = ticketCount(rec, kind);
    if (count >= capacity(kind) && findTicket(rec, kind, horses, count) < 0) {
        refuse(ui, "この馬券はこれ以上買えません", kInputError, kStyleNotice);
        return false;
    }
    ui.aboutNextDialog(ticketSpeech(kind, horses));  // "馬連 7番15番。金額を入力して下さい。…"
    auto stake = bakenbox(rec, ui);
    if (!stake) return false;
    fileTicket(rec, kind, horses, *stake);
    ui.effect(Effect::Bought);
    if (bought) *bought = {kind, horses, *stake};
    return true;
}

const std::string& kindName(int kind) {
    static const std::string k[kAllKinds + 1] = {"", "単勝", "副賞", "馬連", "ワイド", "３連複", "３連単", "馬単", "枠連"};
    return k[kind >= 1 && kind <= kAllKinds ? kind : 0];
}

std::string ticketSpeech(int kind, const Horses& h) {
    if (kind < 1 || kind > kAllKinds) return "";
    return kindName(kind) + " " + selectionHorses(kind, h);
}

std::string purchaseSpeech(const Purchase& p) {
    if (p.kind < 1 || p.kind > kAllKinds) return "";
    return ticketSpeech(p.kind, p.horses) + " " + text::plainNumber(p.stake) + "円 買いました";
}

bool tanshobox(GameRecord& rec, Ui& ui, const std::string& s) { return registerTicket(rec, ui, 1, s); }
bool fukushobox(GameRecord& rec, Ui& ui, const std::string& s) { return registerTicket(rec, ui, 2, s); }
bool umabox(GameRecord& rec, Ui& ui, const std::string& s) { return registerTicket(rec, ui, 3, s); }
bool widebox(GameRecord& rec, Ui& ui, const std::string& s) { return registerTicket(rec, ui, 4, s); }
bool sanrenpukubox(GameRecord& rec, Ui& ui, const std::string& s) { return registerTicket(rec, ui, 5, s); }
bool sanrentanbox(GameRecord& rec, Ui& ui, const std::string& s) { return registerTicket(rec, ui, 6, s); }
bool umatanbox(GameRecord& rec, Ui& ui, const std::string& s) { return registerTicket(rec, ui, kExacta, s); }
bool wakubox(GameRecord& rec, Ui& ui, const std::string& s) { return registerTicket(rec, ui, kBracketQuinella, s); }

const std::string& typedEntryPrompt(int kind) {
    static const std::string kPrompts[kAllKinds] = {
        "単勝の馬番を07や11などのように二桁で入れて下さい",
        "副賞の馬番を07や11などのように二桁で入れて下さい",
        "馬連の馬番を0715などのように四桁で入れて下さい",
        "ワイドの馬番を0715などのように四桁で入れて下さい",
        "３連副の馬番を071518などのように六桁で入れて下さい",
        "３連単の馬番を071518などのように六桁で入れて下さい",
        "馬単の馬番を1着2着の順に0715などのように四桁で入れて下さい",
        "枠連の枠番を36や33などのように二桁で入れて下さい",
    };
    return kPrompts[std::clamp(kind, 1, kAllKinds) - 1];
}

std::optional<std::string> typedEntry(Ui& ui, int kind) {
    // 枠連 takes one digit per bracket; the others two per horse.
    const std::size_t width = kind == kBracketQuinella ? 1 : 2;
    const std::size_t digits = width * horsesPerTicket(kind);
    const int top = kind == kBracketQuinella ? kBrackets : kHorses;
    for (;;) {
        std::string answer = ui.inputBox(typedEntryPrompt(kind), "", "");
        if (answer.empty()) return std::nullopt;
        std::vector<long long> v;
        bool ok = text::charCount(answer) == digits && text::isNumericText(answer);
        for (std::size_t i = 0; ok && i < digits; i += width) {
            auto n = text::roundHalfEven(text::leadingNumber(text::charMid(answer, i + 1, width)), -1000, 1000);
            ok = n.has_value() && *n >= 1 && *n <= top;
            if (ok) v.push_back(*n);
        }
        Horses h{};
        for (std::size_t k = 0; ok && k < v.size() && k < 3; ++k) h[k] = static_cast<int>(v[k]);
        ok = ok && (kind <= 2 || selectionOk(kind, h));
        if (!ok) {
            refuse(ui, kind == kBracketQuinella ? "1から8の数字を入れて下さい" : "1から18の数字を入れて下さい",
                   kInputError, kStyleNotice);
            continue;
        }
        if (kind <= 2) return answer + "番";
        return selectionHorses(kind, h) + " ";
    }
}

const std::string& labelCaption(int kind) {
    static const std::string k[kAllKinds] = {"単勝の選択", "副賞の選択", "馬連の選択", "ワイドの選択",
                                             "３連複の選択", "３連単の選択", "馬単の選択", "枠連の選択"};
    return k[kind - 1];
}

const std::string& buttonCaption(int kind) {
    static const std::string k[kAllKinds] = {"探勝", "副賞", "馬連", "ワイド", "3連複", "3連探", "馬単", "枠連"};
    return k[kind - 1];
}

std::string focusSpeech(int kind, const std::string& currentText) {
    return labelCaption(kind) + "\r\n" + currentText;
}

int pageStep(int kind, Modifiers m) {
    if (kind < 3) return 0;
    bool onlyShift = m.shift && !m.ctrl && !m.alt;
    bool onlyCtrl = m.ctrl && !m.shift && !m.alt;
    if ((kind == 5 || kind == 6) && onlyShift) return 100;
    if (kind == 6 && onlyCtrl) return 1000;
    return 10;
}

int pageDownIndex(int index, int count, int step) { return index + step <= count - 1 ? index + step : count - 1; }

int pageUpIndex(int index, int step) { return index >= step ? index - step : 0; }

std::vector<int> rowsAhead(int kind, int row, int count) {
    std::vector<int> out;
    auto add = [&](int r) {
        if (r >= 0 && r < count && r != row && std::find(out.begin(), out.end(), r) == out.end()) out.push_back(r);
    };
    add(row + 1);
    add(row - 1);
    for (Modifiers m : {Modifiers{}, Modifiers{true, false, false}, Modifiers{false, true, false}}) {
        const int step = pageStep(kind, m);
        if (step == 0) continue;
        add(pageDownIndex(row, count, step));
        add(pageUpIndex(row, step));
    }
    return out;
}

}  // namespace ozn
