#pragma once
// Uniform access to the ticket store of the six kinds.
#include <array>

#include "core/record.h"

namespace ozn {

inline constexpr int kKinds = 6;     // the game's own kinds
inline constexpr int kAllKinds = 8;  // with 本格ルール: 7 馬単, 8 枠連
inline constexpr int kExacta = 7;
inline constexpr int kBracketQuinella = 8;
using Horses = std::array<int, 3>;  // unused positions are 0; brackets for 枠連

// The kinds on the card: 6, or 8 under 本格ルール.
int kindsInPlay(const GameRecord& rec);
// The card on show takes up a changed 本格ルール setting only while no
// ticket is held; true when it did (the rules in force changed).
bool adoptRules(GameRecord& rec);

int capacity(int kind);
int horsesPerTicket(int kind);
int ticketCount(const GameRecord& rec, int kind);
void setTicketCount(GameRecord& rec, int kind, int count);
Horses ticketHorses(const GameRecord& rec, int kind, int index);  // 0-based index
void setTicketHorses(GameRecord& rec, int kind, int index, const Horses& h);
Money& ticketStake(GameRecord& rec, int kind, int index);
Money ticketStake(const GameRecord& rec, int kind, int index);
bool kindFlagSet(const GameRecord& rec, int kind);
void setKindFlag(GameRecord& rec, int kind);

// 0-based index of the live entry holding these horses, or -1.
int findTicket(const GameRecord& rec, int kind, const Horses& h, int limit);

// What the tickets held for the coming race cost (saturated, never wrapped).
Money heldStakes(const GameRecord& rec);

// Clears the store after a race.
void hunsucria(GameRecord& rec);

}  // namespace ozn
