#pragma once
// Uniform access to the ticket store of the six kinds.
#include <array>

#include "core/record.h"

namespace ozn {

inline constexpr int kKinds = 6;
using Horses = std::array<int, 3>;  // unused positions are 0

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
