#pragma once
// The menu commands that tell the player about the race and the money.
// Plain logic over the record; the window only calls them.
#include <string>

#include "core/interfaces.h"
#include "core/record.h"

namespace ozn {

// 馬券: prints the held tickets and speaks them.
void mnubaken(GameRecord& rec, Ui& ui, Speaker& speech);
// レース名 and 持ち金: one printed and spoken line each.
void mnuracename(GameRecord& rec, Ui& ui, Speaker& speech);
void mnumochikin(GameRecord& rec, Ui& ui, Speaker& speech);
// 単勝・副賞のオッズ: the three favourites in one box.
void mnutanfuku(GameRecord& rec, Ui& ui);
// 予想しを見る: the 300-yen tip sheet. true when it was sold.
inline constexpr Money kTipSheetFee = 300;
bool mnulook(GameRecord& rec, Ui& ui);
// バージョン情報.
void mnuver(Ui& ui);

// What the game says of each new card, and at start-up:
// "第3レース 菊花賞 芝3000m 持ち金 15000円".
std::string cardAnnouncement(const GameRecord& rec);

std::string manualPath(const GameRecord& rec);
// Our own project page, shipped beside the program.
std::string homePagePath(const GameRecord& rec);

}  // namespace ozn
