#include "window/menus.h"

#include <algorithm>
#include <cmath>

#include "betting/betting.h"
#include "betting/store.h"
#include "core/brackets.h"
#include "core/text.h"
#include "racecard/racecard.h"

namespace ozn {

void mnubaken(GameRecord& rec, Ui& ui, Speaker& speech) {
    static const char* const kLabels[kAllKinds] = {"単勝 ", "副賞 ", "馬連 ", "ワイド ", "３連副 ", "３連探 ", "馬単 ", "枠連 "};
    std::string spoken;
    for (int kind = 1; kind <= kAllKinds; ++kind) {
        if (!kindFlagSet(rec, kind)) continue;
        ui.print(kLabels[kind - 1]);
        spoken += (kind == 1 ? "" : "\r\n") + std::string(kLabels[kind - 1]);
        for (int i = 0; i < ticketCount(rec, kind); ++i) {
            std::string entry = selectionHorses(kind, ticketHorses(rec, kind, i)) +
                                text::plainNumber(ticketStake(rec, kind, i)) + "円";
            ui.printLine(entry);
            spoken += "\r\n" + entry;
        }
    }
    // Nothing printed, as ever; but the player hears that nothing is held.
    speech.reading(spoken.empty() ? "馬券はありません" : spoken);
}

namespace {
// The course as said: the dirt course is run over 1800 m, which its name
// alone does not tell.
std::string spokenCourse(const GameRecord& rec) {
    const std::string course = currentCourse(rec);
    return course == "ダート" ? course + "1800m" : course;
}
}  // namespace

std::string cardAnnouncement(const GameRecord& rec) {
    std::string out = "第" + std::to_string(rec.raceno) + "レース";
    for (const std::string& part : {rec.racename, spokenCourse(rec)})
        if (!part.empty()) out += " " + part;
    return out + " 持ち金 " + std::to_string(rec.mochikin) + "円";
}

void mnuracename(GameRecord& rec, Ui& ui, Speaker& speech) {
    std::string line = "第" + text::signedNumber(rec.raceno) + "レース" + rec.racename + "です";
    ui.printLine(line);
    const std::string course = spokenCourse(rec);
    speech.reading(course.empty() ? line : line + " " + course);
}

void mnumochikin(GameRecord& rec, Ui& ui, Speaker& speech) {
    std::string line = "持ち金は" + text::signedNumber(rec.mochikin) + "円です";
    ui.printLine(line);
    speech.reading(line);
}

namespace {

// 本格ルール: the 馬単 of the first two favourites either way and their 枠連.
std::string rulesFavourites(const GameRecord& rec) {
    const int a = rec.yoso1, b = rec.yoso2;
    if (a < 1 || a > kHorses || b < 1 || b > kHorses || a == b) return "";
    const CardOdds card(rec);
    auto odds = [](const ShownOdds& o) { return text::tenthsText(std::llround(o.odds * 10)) + "倍"; };
    const Horses brackets{std::min(bracketOf(a), bracketOf(b)), std::max(bracketOf(a), bracketOf(b)), 0};
    return " 馬単" + selectionHorses(kExacta, {a, b, 0}) + odds(card.of(kExacta, {a, b, 0})) + " " +
           selectionHorses(kExacta, {b, a, 0}) + odds(card.of(kExacta, {b, a, 0})) + " 枠連" +
           selectionHorses(kBracketQuinella, brackets) + odds(card.of(kBracketQuinella, brackets));
}

}  // namespace

void mnutanfuku(GameRecord& rec, Ui& ui) {
    std::string s;
    const int favourites[] = {rec.yoso1, rec.yoso2, rec.yoso3};
    for (int k = 1; k <= 3; ++k) {
        int h = favourites[k - 1];
        if (h < 1 || h > kHorses) continue;
        int r = rec.ninki[h - 1] - 1;
        if (r < 0) continue;
        s += text::signedNumber(k) + "番人気" + text::signedNumber(h) + "番" + rec.umaname[h - 1] + "単勝" +
             rec.tanoddsstr[r] + "倍 " + "副賞" + rec.fukuoddsstr[r] + "倍から" + rec.fukuodds1str[r] + "倍";
    }
    if (rec.honkaku) s += rulesFavourites(rec);
    ui.msgBox(s, "探副オッズ", kStyleNotice);
}

bool mnulook(GameRecord& rec, Ui& ui) {
    if (rec.mochikin < kTipSheetFee) {
        refuse(ui, "３００円以下なので利用できません", "予想紙", kStyleNotice);
        return false;
    }
    // The race's money line still counts from its card, as the history does:
    // the fee and any stakes bought before the sheet stay in it.
    rec.mochikin -= kTipSheetFee;
    std::string sheet;
    const std::pair<int, int> pairs[] = {{rec.yoso1, rec.yoso2}, {rec.yoso1, rec.yoso3}, {rec.yoso2, rec.yoso3}};
    for (auto [a, b] : pairs) {
        if (a > b) std::swap(a, b);
        sheet += text::signedNumber(a) + "番" + text::signedNumber(b) + "番\n\r";
    }
    if (rec.honkaku && rec.yoso1 >= 1 && rec.yoso2 >= 1) {
        // The first two favourites in their order, and their brackets.
        int i = bracketOf(rec.yoso1), j = bracketOf(rec.yoso2);
        if (i > j) std::swap(i, j);
        sheet += "馬単" + text::signedNumber(rec.yoso1) + "番" + text::signedNumber(rec.yoso2) + "番\n\r" + "枠連" +
                 text::signedNumber(i) + "枠" + text::signedNumber(j) + "枠\n\r";
    }
    ui.msgBox(sheet, "予想紙", kStyleNotice);
    return true;
}

void mnuver(Ui& ui) { ui.msgBox("ozn for windows 0.18", "version", kStyleNotice); }

std::string manualPath(const GameRecord& rec) {
    // apppath already ends in "/": never a doubled separator, also at the root.
    std::string dir = rec.apppath;
    while (!dir.empty() && dir.back() == '/') dir.pop_back();
    return dir + "/ozn.txt";
}

std::string homePagePath(const GameRecord& rec) { return rec.apppath + "ozn.html"; }

}  // namespace ozn
