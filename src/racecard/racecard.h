#pragma once
// Race card generation: the race line, the field, the favourites, the odds
// of every ticket and the texts of the six selection lists.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/interfaces.h"
#include "core/record.h"

namespace ozn {

// The texts of one list, in display order, kept in one buffer: a card has
// 6000 of them, and one allocation each would cost more than the card.
class TextList {
public:
    void reserve(std::size_t items, std::size_t bytes) {
        ends_.reserve(items);
        buffer_.reserve(bytes);
    }
    void push_back(std::string_view text) {
        buffer_.append(text);
        ends_.push_back(buffer_.size());
    }
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view view(std::size_t i) const {
        std::size_t from = i ? ends_[i - 1] : 0;
        return std::string_view(buffer_).substr(from, ends_[i] - from);
    }
    std::string operator[](std::size_t i) const { return std::string(view(i)); }
    std::string front() const { return (*this)[0]; }
    std::string back() const { return (*this)[size() - 1]; }

    class Iterator {
    public:
        Iterator(const TextList* list, std::size_t i) : list_(list), i_(i) {}
        std::string operator*() const { return (*list_)[i_]; }
        Iterator& operator++() { return ++i_, *this; }
        bool operator!=(const Iterator& o) const { return i_ != o.i_; }

    private:
        const TextList* list_;
        std::size_t i_;
    };
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size()}; }

private:
    std::string buffer_;
    std::vector<std::size_t> ends_;
};

// Texts of list1..list8 (index 0..7); lists 7 and 8 (馬単, 枠連) stay
// empty unless 本格ルール holds for the card.
using CardLists = std::array<TextList, 8>;

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

// readlist: generates the card of race `raceno` and returns the list texts
// (none when `texts` is false: a game nobody watches needs only the odds).
CardLists readlist(GameRecord& rec, Random& rng, bool texts = true);

// The second half of readlist: combination odds, their popularity numbers
// and the texts of lists 3..6.
void combinationOdds(GameRecord& rec, CardLists& lists, bool texts = true);

// Positions that the exchange sort (for i < j: swap when key[i] > key[j])
// gives: element k of the result is the original index that ends at k.
// Exact, ties included, without performing the quadratic sort.
std::vector<int> exchangeSortOrder(const std::vector<double>& keys);
// The same over whole-number keys (faster: fewer digits to sort by).
std::vector<int> exchangeSortOrder(const std::vector<std::uint64_t>& keys);

// What the card showed for a ticket: its odds (for place and wide the lower
// and upper end of the range shown) and its popularity number (for win and
// place the horse's rank, else the combination's own number).
struct ShownOdds {
    double odds = 0, oddsHigh = 0;  // oddsHigh: 0 unless a range is shown
    int popularity = 0;
};
class CardOdds {
public:
    explicit CardOdds(const GameRecord& rec);
    // kind 1..8; horses as the ticket holds them (pairs and trios ascending).
    ShownOdds of(int kind, const std::array<int, 3>& horses) const;

private:
    const GameRecord& rec_;
    std::vector<int> pairPop_, widePop_, trioPop_, tanPop_, exactaPop_, bracketPop_;  // by combination number - 1
};

// The course of race line 1..18: "ダート", "芝1200m", ...
std::string courseName(int raceLine);
// The course of the race on the card ("" before the first card).
std::string currentCourse(const GameRecord& rec);

}  // namespace ozn
