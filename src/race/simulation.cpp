#include <algorithm>

#include "core/text.h"
#include "race/race.h"

namespace ozn {
namespace {

// Re-seeds before every draw, as the scratch, fall and top-three draws do.
int freshDraw(Random& rng, int n) {
    rng.reseed();
    return draw(rng, n);
}

// An outsider: none of the favourites and none of the excluded horses.
int drawOutsider(const GameRecord& rec, Random& rng, std::initializer_list<int> excluded) {
    for (;;) {
        int h = freshDraw(rng, kHorses);
        if (h == rec.yoso1 || h == rec.yoso2 || h == rec.yoso3) continue;
        if (std::find(excluded.begin(), excluded.end(), h) != excluded.end()) continue;
        return h;
    }
}

}  // namespace

int drawScratch(Random& rng) {
    if (freshDraw(rng, 15) != 7) return 0;
    return freshDraw(rng, kHorses);
}

int drawFall(Random& rng, int scratched) {
    if (freshDraw(rng, 15) != 8) return 0;
    for (;;) {
        int h = freshDraw(rng, kHorses);
        if (h != scratched) return h;
    }
}

void drawFinish(const GameRecord& rec, Random& rng, RaceOutcome& out) {
    const int y1 = rec.yoso1, y2 = rec.yoso2, y3 = rec.yoso3;
    auto available = [&](int h) { return h != out.scratched && h != out.fallen; };

    // First place: the favourites' windows cascade.
    int r = freshDraw(rng, 120);
    if (r <= 30 && available(y1)) out.first = y1;
    else if (r <= 54 && available(y2)) out.first = y2;
    else if (r <= 74 && available(y3)) out.first = y3;
    else out.first = drawOutsider(rec, rng, {out.scratched, out.fallen});

    // Second place: fixed windows; the draw itself must not equal the winner's number.
    r = freshDraw(rng, 120);
    auto eligible2 = [&](int h) { return h != out.first && available(h) && r != out.first; };
    if (r <= 30 && eligible2(y2)) out.second = y2;
    else if (r >= 31 && r <= 54 && eligible2(y1)) out.second = y1;
    else if (r >= 55 && r <= 74 && eligible2(y3)) out.second = y3;
    else out.second = drawOutsider(rec, rng, {out.first, out.scratched, out.fallen});

    r = freshDraw(rng, 120);
    auto eligible3 = [&](int h) {
        return h != out.first && h != out.second && available(h) && r != out.first && r != out.second;
    };
    if (r <= 30 && eligible3(y3)) out.third = y3;
    else if (r >= 31 && r <= 54 && eligible3(y1)) out.third = y1;
    else if (r >= 55 && r <= 74 && eligible3(y2)) out.third = y2;
    else out.third = drawOutsider(rec, rng, {out.first, out.second, out.scratched, out.fallen});

    out.finishers = kHorses - (out.scratched ? 1 : 0) - (out.fallen ? 1 : 0);
    out.order.fill(0);
    out.order[0] = out.first;
    out.order[1] = out.second;
    out.order[2] = out.third;
    for (int p = 4; p <= out.finishers; ++p) {
        for (;;) {
            int h = draw(rng, kHorses);
            bool placed = std::find(out.order.begin(), out.order.begin() + p - 1, h) != out.order.begin() + p - 1;
            if (placed || h == out.scratched || h == out.fallen) continue;
            out.order[p - 1] = h;
            break;
        }
    }
    out.p1 = rec.ninki[out.first - 1];
    out.p2 = rec.ninki[out.second - 1];
    out.p3 = rec.ninki[out.third - 1];
}

std::string finishingOrderText(const RaceOutcome& out) {
    std::string s;
    for (int p = 1; p <= out.finishers; ++p)
        s += "\r\n" + std::to_string(p) + "着 " + text::signedNumber(out.order[p - 1]) + "番";
    s += "\r\n";
    if (out.scratched) s += std::to_string(out.scratched) + "番は除外により変換\r\n";
    return s;
}

}  // namespace ozn
