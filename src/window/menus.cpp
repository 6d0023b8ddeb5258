#include "window/menus.h"

#include <algorithm>

#include "betting/store.h"
#include "core/text.h"
#include "racecard/racecard.h"

namespace ozn {

void mnubaken(GameRecord& rec, Ui& ui, Speaker& speech) {
    static const char* const kLabels[kKinds] = {"単勝 ", "副賞 ", "馬連 ", "ワイド ", "３連副 ", "３連探 "};
    std::string spoken;
    for (int kind = 1; kind <= kKinds; ++kind) {
        if (!kindFlagSet(rec, kind)) continue;
        ui.print(kLabels[kind - 1]);
        spoken += (kind == 1 ? "" : "\r\n") + std::string(kLabels[kind - 1]);
        for (int i = 0; i < ticketCount(rec, kind); ++i) {
            Horses h = ticketHorses(rec, kind, i);
            std::string entry;
            for (int k = 0; k < horsesPerTicket(kind); ++k) entry += std::to_string(h[k]) + "番";
            entry += text::plainNumber(ticketStake(rec, kind, i)) + "円";
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
    ui.msgBox(s, "探副オッズ", kStyleNotice);
}

bool mnulook(GameRecord& rec, Ui& ui) {
    if (rec.mochikin < kTipSheetFee) {
        refuse(ui, "３００円以下なので利用できません", "予想紙", kStyleNotice);
        return false;
    }
    rec.mochikin -= kTipSheetFee;
    rec.mochikinmae = rec.mochikin;
    std::string sheet;
    const std::pair<int, int> pairs[] = {{rec.yoso1, rec.yoso2}, {rec.yoso1, rec.yoso3}, {rec.yoso2, rec.yoso3}};
    for (auto [a, b] : pairs) {
        if (a > b) std::swap(a, b);
        sheet += text::signedNumber(a) + "番" + text::signedNumber(b) + "番\n\r";
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
