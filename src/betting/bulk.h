#pragma once
// まとめ買い: many tickets of one kind typed as one line, the way bettors
// write them (box, axis with partners, formation), bought all or none.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "betting/store.h"
#include "core/interfaces.h"

namespace ozn {

// Win and place take a plain row of horses; マルチ is an axis form of the trifecta.
enum class BulkForm { Row, Box, Axis, Multi, Formation };

struct BulkOrder {
    BulkForm form = BulkForm::Row;
    std::vector<Horses> tickets;  // distinct, in the store's horse order
};

// Reads the typed line for kind 1..6: the tickets, or what is wrong with it.
struct BulkParse {
    BulkOrder order;
    std::string error;  // empty when the line was understood
};
BulkParse parseBulk(int kind, std::string_view line);

// The prompt of the typed box: the kind and its forms, with examples.
std::string bulkPrompt(int kind);
// ボックス, ながし, マルチ, フォーメーション; "" for a row of win or place horses.
std::string bulkFormName(BulkForm form);

struct BulkBought {
    int kind = 0;
    int tickets = 0;
    Money total = 0;
};
// The typed line for a form and the horses chosen in each of its rows (one
// row for Row and Box; axes and partners; one row per place), as the pointer
// dialog builds it: "07 15/01 03", "07-01 03 15 M".
std::string bulkLine(BulkForm form, const std::vector<std::vector<int>>& rows);

// The line chosen another way (the pointer dialog); nullopt when cancelled.
using BulkPick = std::function<std::optional<std::string>()>;
// The whole purchase: the money check, the typed box (again with the text
// kept after a mistake), one stake for every ticket, the confirmation and
// the filing. With `pick`, its line comes first in place of the typed box.
// nullopt when nothing was bought.
std::optional<BulkBought> bulkPurchase(GameRecord& rec, Ui& ui, int kind, const BulkPick& pick = {});
// "３連単 12点 6000円 買いました".
std::string bulkPurchaseSpeech(const BulkBought& b);

}  // namespace ozn
