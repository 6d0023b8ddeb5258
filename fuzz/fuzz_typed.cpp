// The typed entry: whatever is typed, a selection comes back only for a
// valid ticket of the list's kind, and registering it files those horses.
#include "betting/betting.h"
#include "fakes.h"
#include "fuzz_common.h"

using namespace ozn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int kind = data[0] % 6 + 1;
    test::FakeUi ui;
    ui.inputs = {fuzz::textOf(data + 1, size - 1)};  // then "" gives up
    auto selection = typedEntry(ui, kind);
    if (!selection) return 0;
    GameRecord rec;
    rec.mochikin = 15000;
    ui.inputs = {"100"};
    rec.bakenkind = static_cast<std::int16_t>(kind);
    OZN_CHECK(registerTicket(rec, ui, kind, *selection));
    Horses h = ticketHorses(rec, kind, 0);
    for (int k = 0; k < horsesPerTicket(kind); ++k) OZN_CHECK(h[k] >= 1 && h[k] <= 18);
    if (kind >= 3 && kind <= 5) OZN_CHECK(h[0] < h[1]);
    if (kind == 5) OZN_CHECK(h[1] < h[2]);
    if (kind == 6) OZN_CHECK(h[0] != h[1] && h[1] != h[2] && h[0] != h[2]);
    return 0;
}
