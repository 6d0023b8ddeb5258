#include "betting/store.h"

#include <limits>
#include <stdexcept>

namespace ozn {

int kindsInPlay(const GameRecord& rec) { return rec.honkaku ? kAllKinds : kKinds; }

bool adoptRules(GameRecord& rec) {
    if (rec.honkaku == rec.honkakuWanted) return false;
    for (int kind = 1; kind <= kAllKinds; ++kind)
        if (ticketCount(rec, kind) > 0) return false;
    rec.honkaku = rec.honkakuWanted;
    return true;
}

int capacity(int kind) {
    static constexpr int kCap[] = {kHorses, kHorses, kPairs, kPairs, kTrios, kTrifectas, kExactas, kBracketPairs};
    return kCap[kind - 1];
}

int horsesPerTicket(int kind) { return kind <= 2 ? 1 : (kind <= 4 || kind >= kExacta ? 2 : 3); }

int ticketCount(const GameRecord& rec, int kind) {
    switch (kind) {
        case 1: return rec.tancount;
        case 2: return rec.fukucount;
        case 3: return rec.umacount;
        case 4: return rec.widecount;
        case 5: return rec.sanrenpukucount;
        case 6: return rec.sanrentancount;
        case 7: return rec.umatancount;
        case 8: return rec.wakucount;
    }
    throw std::out_of_range("ticket kind");
}

void setTicketCount(GameRecord& rec, int kind, int count) {
    switch (kind) {
        case 1: rec.tancount = static_cast<std::uint8_t>(count); return;
        case 2: rec.fukucount = static_cast<std::uint8_t>(count); return;
        case 3: rec.umacount = static_cast<std::uint8_t>(count); return;
        case 4: rec.widecount = static_cast<std::uint8_t>(count); return;
        case 5: rec.sanrenpukucount = static_cast<std::int16_t>(count); return;
        case 6: rec.sanrentancount = static_cast<std::int16_t>(count); return;
        case 7: rec.umatancount = static_cast<std::int16_t>(count); return;
        case 8: rec.wakucount = static_cast<std::uint8_t>(count); return;
    }
    throw std::out_of_range("ticket kind");
}

Horses ticketHorses(const GameRecord& rec, int kind, int i) {
    switch (kind) {
        case 1: return {rec.tanban[i], 0, 0};
        case 2: return {rec.fukuban[i], 0, 0};
        case 3: return {rec.umaban1[i], rec.umaban2[i], 0};
        case 4: return {rec.wideban1[i], rec.wideban2[i], 0};
        case 5: return {rec.sanrenpukuban1[i], rec.sanrenpukuban2[i], rec.sanrenpukuban3[i]};
        case 6: return {rec.sanrentanban1[i], rec.sanrentanban2[i], rec.sanrentanban3[i]};
        case 7: return {rec.umatanban1[i], rec.umatanban2[i], 0};
        case 8: return {rec.wakuban1[i], rec.wakuban2[i], 0};
    }
    throw std::out_of_range("ticket kind");
}

void setTicketHorses(GameRecord& rec, int kind, int i, const Horses& h) {
    auto b = [](int v) { return static_cast<std::uint8_t>(v); };
    auto s = [](int v) { return static_cast<std::int16_t>(v); };
    switch (kind) {
        case 1: rec.tanban[i] = b(h[0]); return;
        case 2: rec.fukuban[i] = b(h[0]); return;
        case 3: rec.umaban1[i] = b(h[0]), rec.umaban2[i] = b(h[1]); return;
        case 4: rec.wideban1[i] = b(h[0]), rec.wideban2[i] = b(h[1]); return;
        case 5:
            rec.sanrenpukuban1[i] = s(h[0]), rec.sanrenpukuban2[i] = s(h[1]), rec.sanrenpukuban3[i] = s(h[2]);
            return;
        case 6:
            rec.sanrentanban1[i] = s(h[0]), rec.sanrentanban2[i] = s(h[1]), rec.sanrentanban3[i] = s(h[2]);
            return;
        case 7: rec.umatanban1[i] = b(h[0]), rec.umatanban2[i] = b(h[1]); return;
        case 8: rec.wakuban1[i] = b(h[0]), rec.wakuban2[i] = b(h[1]); return;
    }
    throw std::out_of_range("ticket kind");
}

Money& ticketStake(GameRecord& rec, int kind, int i) {
    switch (kind) {
        case 1: return rec.tankin.at(i);
        case 2: return rec.fukukin.at(i);
        case 3: return rec.umakin.at(i);
        case 4: return rec.widekin.at(i);
        case 5: return rec.sanrenpukukin.at(i);
        case 6: return rec.sanrentankin.at(i);
        case 7: return rec.umatankin.at(i);
        case 8: return rec.wakukin.at(i);
    }
    throw std::out_of_range("ticket kind");
}

Money ticketStake(const GameRecord& rec, int kind, int i) {
    return ticketStake(const_cast<GameRecord&>(rec), kind, i);
}

bool kindFlagSet(const GameRecord& rec, int kind) {
    switch (kind) {
        case 1: return rec.tanflag != 0;
        case 2: return rec.fukuflag != 0;
        case 3: return rec.umaflag != 0;
        case 4: return rec.wideflag == kWideSet;
        case 5: return rec.sanrenpukuflag != 0;
        case 6: return rec.sanrentanflag != 0;
        case 7: return rec.umatanflag != 0;
        case 8: return rec.wakuflag != 0;
    }
    throw std::out_of_range("ticket kind");
}

void setKindFlag(GameRecord& rec, int kind) {
    switch (kind) {
        case 1: rec.tanflag = kTrue; return;
        case 2: rec.fukuflag = kTrue; return;
        case 3: rec.umaflag = kTrue; return;
        case 4: rec.wideflag = kWideSet; return;
        case 5: rec.sanrenpukuflag = kTrue; return;
        case 6: rec.sanrentanflag = kTrue; return;
        case 7: rec.umatanflag = kTrue; return;
        case 8: rec.wakuflag = kTrue; return;
    }
    throw std::out_of_range("ticket kind");
}

int findTicket(const GameRecord& rec, int kind, const Horses& h, int limit) {
    for (int i = 0; i < limit; ++i)
        if (ticketHorses(rec, kind, i) == h) return i;
    return -1;
}

Money heldStakes(const GameRecord& rec) {
    Money sum = 0;
    for (int kind = 1; kind <= kKinds; ++kind)
        for (int i = 0; i < ticketCount(rec, kind); ++i)
            if (__builtin_add_overflow(sum, ticketStake(rec, kind, i), &sum)) return std::numeric_limits<Money>::max();
    return sum;
}

void hunsucria(GameRecord& rec) {
    for (int kind = 1; kind <= kAllKinds; ++kind) setTicketCount(rec, kind, 0);
    rec.tanflag = rec.fukuflag = rec.umaflag = rec.sanrenpukuflag = rec.sanrentanflag = 0;
    rec.umatanflag = rec.wakuflag = 0;
    rec.wideflag = 0;
    rec.kingaku.clear();
}

}  // namespace ozn
