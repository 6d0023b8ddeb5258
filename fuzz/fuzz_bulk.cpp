// まとめ買い: whatever is typed, either a message or distinct valid tickets of
// the kind, and buying them files each one and takes exactly their total.
#include <set>

#include "betting/bulk.h"
#include "fakes.h"
#include "fuzz_common.h"

using namespace ozn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int kind = data[0] % 6 + 1;
    const std::string line = fuzz::textOf(data + 1, size - 1);
    BulkParse p = parseBulk(kind, line);
    if (!p.error.empty()) {
        OZN_CHECK(p.order.tickets.empty());
        return 0;
    }
    const auto& t = p.order.tickets;
    OZN_CHECK(!t.empty() && static_cast<int>(t.size()) <= capacity(kind));
    OZN_CHECK(std::set<Horses>(t.begin(), t.end()).size() == t.size());
    for (const Horses& h : t) {
        for (int k = 0; k < 3; ++k) OZN_CHECK(k < horsesPerTicket(kind) ? h[k] >= 1 && h[k] <= 18 : h[k] == 0);
        if (kind >= 3 && kind <= 5) OZN_CHECK(h[0] < h[1] && (kind < 5 || h[1] < h[2]));
        if (kind == 6) OZN_CHECK(h[0] != h[1] && h[1] != h[2] && h[0] != h[2]);
    }
    if (line.empty()) return 0;
    GameRecord rec;
    rec.mochikin = 1000000;
    test::FakeUi ui;
    ui.inputs = {line, "100"};
    auto bought = bulkPurchase(rec, ui, kind);
    OZN_CHECK(bought && bought->tickets == static_cast<int>(t.size()) && ticketCount(rec, kind) == bought->tickets);
    OZN_CHECK(rec.mochikin == 1000000 - 100 * bought->tickets);
    return 0;
}
