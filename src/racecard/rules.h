#pragma once
// 本格ルール on the card: the odds and lists of 馬単 (list 7) and 枠連 (list 8).
#include "core/record.h"
#include "racecard/racecard.h"

namespace ozn {

// The quinella base of a pair, as the card prices it: the win odds of the
// more popular horse times the place odds of the other.
double quinellaBase(const GameRecord& rec, int a, int b);

// 馬単 first `first`, second `second`, in tenths. The quinella's chance of
// the pair is split between its two orders in proportion to each first
// horse's chance to win (1 / win odds), so the two orders together are
// priced as the quinella: odds = Q x (W(first) + W(second)) / W(second).
// The favourite first thus pays less than the reverse, and both more than
// the quinella; never less than 0.1 above the quinella as the card shows it.
long long exactaTenths(const GameRecord& rec, int first, int second);

// 枠連 brackets i <= j, in tenths: the bracket pair wins whenever one of the
// horse pairs it covers comes first and second, so its chance is the sum of
// their quinella chances: odds = 1 / sum(1 / Q) over the covered pairs,
// never below 1.0 (and so never above any quinella it covers).
long long bracketTenths(const GameRecord& rec, int i, int j);

// Ordinal (1-based, in list order) of 馬単 first-second and 枠連 i-j.
int exactaNumber(int first, int second);
int bracketPairNumber(int i, int j);

// Sorts both kinds' odds into their popularity tables and fills lists 7 and
// 8: "7番15番 34.6倍(12番人気)", "3枠5枠 12.3倍(5番人気)".
void rulesOdds(GameRecord& rec, CardLists& lists);

}  // namespace ozn
