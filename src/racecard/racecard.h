#pragma once
// Race card generation: the race line, the field, the favourites, the odds
// of every ticket and the texts of the six selection lists.
#include <array>
#include <string>
#include <vector>

#include "core/interfaces.h"
#include "core/record.h"

namespace ozn {

// Texts of list1..list6 (index 0..5), in display order.
using CardLists = std::array<std::vector<std::string>, 6>;

// Course profiles: each writes its three aptitude codes to yoso1..yoso3.
void dirtrace(GameRecord& rec);
void shiba1200(GameRecord& rec);
void shiba1600(GameRecord& rec);
void shiba2000(GameRecord& rec);
void shiba2200(GameRecord& rec);
void shiba2400(GameRecord& rec);
void shiba2500(GameRecord& rec);
void shiba3000(GameRecord& rec);
void shiba3200(GameRecord& rec);

// Profile and fanfare of race line 1..18.
void selectCourse(GameRecord& rec, int raceLine);

// readlist: generates the card of race `raceno` and returns the list texts.
CardLists readlist(GameRecord& rec, Random& rng, Ui& ui);

// The second half of readlist: combination odds, their popularity numbers
// and the texts of lists 3..6.
void combinationOdds(GameRecord& rec, CardLists& lists);

// Positions that the exchange sort (for i < j: swap when key[i] > key[j])
// gives: element k of the result is the original index that ends at k.
// Exact, ties included, without performing the quadratic sort.
std::vector<int> exchangeSortOrder(const std::vector<double>& keys);

}  // namespace ozn
