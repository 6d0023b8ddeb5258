// The stake text: a ticket is bought exactly when the stake is a whole
// multiple of 100 yen from 100 up to the money on hand, and exactly that
// much is taken.
#include <cmath>

#include "betting/betting.h"
#include "core/text.h"
#include "fakes.h"
#include "fuzz_common.h"

using namespace ozn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string stake = fuzz::textOf(data, size);
    GameRecord rec;
    rec.mochikin = 15000;
    test::FakeUi ui;
    ui.inputs = {stake};  // then "" gives up
    rec.bakenkind = 3;
    const bool bought = registerTicket(rec, ui, 3, "7番15番 ");
    const Money taken = 15000 - rec.mochikin;
    OZN_CHECK(bought == (taken > 0));
    OZN_CHECK(bought == (ticketCount(rec, 3) == 1));
    if (bought) {
        OZN_CHECK(taken % 100 == 0 && taken >= 100 && taken <= 15000);
        OZN_CHECK(ticketStake(rec, 3, 0) == taken);
        OZN_CHECK(static_cast<double>(taken) == text::leadingNumber(stake));
    }
    return 0;
}
