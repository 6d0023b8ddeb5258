#pragma once
// The race run: the draws, the settlement and the flow from the start to
// the next race card.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/interfaces.h"
#include "core/record.h"
#include "racecard/racecard.h"

namespace ozn {

class RaceField;

struct RaceOutcome {
    int scratched = 0;  // 0: none
    int fallen = 0;     // 0: none
    int finishers = kHorses;
    std::array<int, kHorses> order{};  // order[p - 1]: the horse in position p, p = 1..finishers
    int first = 0, second = 0, third = 0;
    int p1 = 0, p2 = 0, p3 = 0;  // their popularity ranks
};

int drawScratch(Random& rng);
int drawFall(Random& rng, int scratched);
// First to last place; fills order, first..third and p1..p3.
void drawFinish(const GameRecord& rec, Random& rng, RaceOutcome& out);
std::string finishingOrderText(const RaceOutcome& out);

struct PrintPiece {
    std::string text;
    bool newline;  // print a line, or stay on the line
};

// What one ticket brought back.
struct PaidTicket {
    int kind;
    std::array<int, 3> horses;
    std::string multiplier;  // as printed; empty for a refund
    Money amount;
    bool refund;
};

struct Settlement {
    std::vector<PrintPiece> prints;
    std::string announcement;
    std::vector<PaidTicket> paid;
};

// Pays and refunds every ticket; changes only mochikin.
Settlement settle(GameRecord& rec, const RaceOutcome& out);

// 本格ルール: what 100 yen brings back at a multiplier, rounded down to 10
// yen, and never less than the 100 staked (元返し).
Money realPayout(double multiplier);
// A bracket is out of the race when every horse of it was scratched.
bool bracketScratched(int bracket, const std::vector<int>& scratched);
// 3460 -> "3,460".
std::string yenText(Money yen);

// "金額は変わりません" / " 1200円増えました" / " 300円減りました".
std::string moneyChangeLine(Money now, Money before);

struct RaceHooks {
    std::function<void()> controlon;
    // Asks the window to close (close request). true when the program ends.
    std::function<bool()> closeWindow;
    // The next card is ready.
    std::function<void(CardLists)> showCard;
    // The fanfare is over and the horses are off (the start music begins).
    std::function<void()> underway;
    // The race is settled (money changed, tickets still held): keep it.
    std::function<void(const RaceOutcome&, const Settlement&)> settled;
    // The money was written after the race (true) or could not be (false).
    std::function<void(bool)> saved;
    // The field as it will run, as the start music begins; then the seconds
    // into the music as they pass, and infinity once it has ended.
    std::function<void(const RaceField&)> field = {};
    std::function<void(double seconds)> raceClock = {};
};

// 実況: the race called over the start music, at this speech speed (%).
struct RaceCall {
    bool on = false;
    int speechSpeed = 100;
    std::string course;
};

// How a race run ended. GameOver: the money ran out and the program must
// end at once. Ended: the player left. WriteFailed: the money could not be
// saved (message shown); end at once.
enum class HassoResult { NextRace, GameOver, Ended, WriteFailed };


}  // namespace ozn
