#include <gtest/gtest.h>

#include "betting/store.h"
#include "fakes.h"
#include "window/menus.h"

using namespace ozn;
using namespace ozn::test;

TEST(TicketView, PrintedAndSpoken) {
    struct Case { std::vector<std::tuple<int, Horses, Money>> tickets; const char *printed, *spoken; } cases[] = {
        {{}, "", "馬券はありません"},  // nothing printed, but said
        {{{1, {3}, 100}, {1, {5}, 200}, {3, {1, 2}, 300}}, "単勝 3番100円\n5番200円\n馬連 1番2番300円\n",
         "単勝 \r\n3番100円\r\n5番200円\r\n馬連 \r\n1番2番300円"},
        {{{2, {7}, 1500}}, "副賞 7番1500円\n", "\r\n副賞 \r\n7番1500円"},
        {{{4, {2, 9}, 100}, {6, {18, 1, 7}, 4800}}, "ワイド 2番9番100円\n３連探 18番1番7番4800円\n",
         "\r\nワイド \r\n2番9番100円\r\n３連探 \r\n18番1番7番4800円"},
    };
    for (const auto& c : cases) {
        GameRecord rec;
        for (const auto& [kind, h, stake] : c.tickets) addTicket(rec, kind, h, stake);
        FakeUi ui;
        FakeSpeaker speech;
        mnubaken(rec, ui, speech);
        EXPECT_EQ(ui.printed, c.printed);
        EXPECT_EQ(speech.said, std::vector<std::string>{c.spoken});
    }
    // Every ticket of a full kind, and nothing of a kind whose flag was cleared.
    GameRecord rec;
    for (int i = 0; i < 300; ++i) addTicket(rec, 5, {1, 2 + i / 16, 3 + i % 16}, 100 + i);
    rec.tanflag = 0;  // a cancelled kind: count left behind, flag clear
    rec.tancount = 1;
    FakeUi ui;
    FakeSpeaker speech;
    mnubaken(rec, ui, speech);
    EXPECT_EQ(std::count(ui.printed.begin(), ui.printed.end(), '\n'), 300);
    EXPECT_EQ(ui.printed.rfind("３連副 1番2番3番100円\n", 0), 0u);
    EXPECT_NE(ui.printed.find("399円\n"), std::string::npos);
    EXPECT_EQ(ui.printed.find("単勝"), std::string::npos);
    mnubaken(rec, ui, speech);  // twice: printed twice
    EXPECT_EQ(std::count(ui.printed.begin(), ui.printed.end(), '\n'), 600);
}

TEST(MenuBoxes, OddsOfTheFavouritesAndTheVersion) {
    GameRecord rec;
    rec.yoso1 = 9, rec.yoso2 = 5, rec.yoso3 = 2;
    rec.ninki[8] = 1, rec.ninki[4] = 2, rec.ninki[1] = 3;
    rec.umaname[8] = "A", rec.umaname[4] = "B", rec.umaname[1] = "C";
    for (int r = 0; r < 3; ++r) {
        rec.tanoddsstr[r] = std::to_string(r + 2) + ".5 ";
        rec.fukuoddsstr[r] = "1." + std::to_string(r + 1);
        rec.fukuodds1str[r] = "2." + std::to_string(r + 1);
    }
    FakeUi ui;
    mnutanfuku(rec, ui);
    EXPECT_EQ(ui.boxes, boxIf(true, {" 1番人気 9番A単勝2.5 倍 副賞1.1倍から2.1倍 2番人気 5番B単勝3.5 倍 副賞1.2倍から2.2倍"
                                     " 3番人気 2番C単勝4.5 倍 副賞1.3倍から2.3倍", "探副オッズ", kStyleNotice}));
    FakeUi help;  // and the version
    mnuver(help);
    EXPECT_EQ(help.boxes, boxIf(true, {"ozn for windows 0.18", "version", kStyleNotice}));
}

TEST(InformationMenus, TipSheet) {
    struct Case { Money money; int uses; Money after; int sheets; } cases[] = {
        {300, 1, 0, 1}, {299, 1, 299, 0}, {15000, 2, 14400, 2}, {500, 2, 200, 1}};
    for (const auto& c : cases) {
        GameRecord rec;
        rec.yoso1 = 9, rec.yoso2 = 5, rec.yoso3 = 2;  // descending favourites
        rec.mochikin = c.money, rec.mochikinmae = 12345;
        FakeUi ui;
        for (int i = 0; i < c.uses; ++i) mnulook(rec, ui);
        EXPECT_EQ(std::vector<Money>({rec.mochikin, rec.mochikinmae}), std::vector<Money>({c.after, 12345}));
        std::vector<Box> boxes(c.uses, {"３００円以下なので利用できません", "予想紙", kStyleNotice});
        std::fill_n(boxes.begin(), c.sheets, Box{" 5番 9番\n\r 2番 9番\n\r 2番 5番\n\r", "予想紙", kStyleNotice});
        EXPECT_EQ(ui.boxes, boxes) << c.money;
    }
}
