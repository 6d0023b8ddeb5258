#include <gtest/gtest.h>

#include "betting/betting.h"
#include "betting/bulk.h"
#include "fakes.h"

using namespace ozn;
using namespace ozn::test;

namespace {

struct Bet {
    GameRecord rec;
    FakeUi ui;
    Bet() { rec.mochikin = 15000; }
    // Buys with the given stake answers; returns whether a ticket was bought.
    bool buy(int kind, const std::string& selection, std::initializer_list<std::string> stakes) {
        ui.inputs.insert(ui.inputs.end(), stakes);
        rec.bakenkind = static_cast<std::int16_t>(kind);
        return registerTicket(rec, ui, kind, selection);
    }
};

}  // namespace

TEST(Store, MergesAndClears) {
    Bet b;
    EXPECT_TRUE(b.buy(1, "5番 X 2.4 倍 1番人気)", {"100"}));
    EXPECT_TRUE(b.buy(1, "5番 X 2.4 倍 1番人気)", {"300"}));
    EXPECT_EQ(std::vector<Money>({b.rec.tancount, b.rec.tanban[0], b.rec.tankin[0], b.rec.mochikin}),
              std::vector<Money>({1, 5, 400, 14600}));

    EXPECT_TRUE(b.buy(3, "3番8番 5.0倍(2番人気)", {"100"}));
    EXPECT_TRUE(b.buy(3, "1番2番 5.0倍(2番人気)", {"200"}));
    EXPECT_TRUE(b.buy(3, "3番8番 5.0倍(2番人気)", {"500"}));
    b.ui.inputs = {"0308"};  // typed: the same ticket as the list's entry
    EXPECT_TRUE(b.buy(3, typedEntry(b.ui, 3).value_or(""), {"100"}));
    ASSERT_EQ(b.rec.umacount, 2);
    EXPECT_EQ(std::vector<Money>({b.rec.umaban1[0], b.rec.umaban2[0], b.rec.umakin[0], b.rec.umaban1[1], b.rec.umaban2[1],
                                  b.rec.umakin[1], b.rec.umaban1[2]}),
              std::vector<Money>({3, 8, 700, 1, 2, 200, 0}));  // the merged entry was emptied

    EXPECT_TRUE(b.buy(6, "1番2番3番 9.9倍(1番人気)", {"100"}));
    EXPECT_TRUE(b.buy(6, "3番2番1番 9.9倍(1番人気)", {"100"}));
    EXPECT_EQ(std::vector<int>({b.rec.sanrentancount, b.rec.wideflag}), std::vector<int>({2, 0}));
    EXPECT_TRUE(b.buy(4, "7番15番 1.0倍から2.0倍(9番人気)", {"100"}));
    EXPECT_EQ(std::vector<int>({b.rec.wideflag, b.rec.sanrentanflag}), std::vector<int>({255, -1}));

    hunsucria(b.rec);
    for (int kind = 1; kind <= 6; ++kind) EXPECT_TRUE(ticketCount(b.rec, kind) == 0 && !kindFlagSet(b.rec, kind)) << kind;
    EXPECT_EQ(b.rec.kingaku, "");
}

TEST(Stake, RefusalsAndAcceptance) {
    const std::string unit = "100円単位で入力して下さい。", over = "持ち金の15000円以下にして下さい";
    struct Case { std::vector<std::string> answers; bool bought; Money stake; std::vector<std::string> messages; } cases[] = {
        {{"1000"}, true, 1000, {}}, {{"15000"}, true, 15000, {}}, {{" 500"}, true, 500, {}},
        {{"150", "50", "00", "abc00", "1000"}, true, 1000, {unit, unit, unit, unit}},
        {{"150.00", "100.00"}, true, 100, {unit}},  // must be a multiple of 100 yen
        {{"20000", ""}, false, 0, {over}},
        {{"500 ", "-100", "100000", ""}, false, 0, {unit, unit, over}},
        {{""}, false, 0, {}},
    };
    for (const auto& c : cases) {
        Bet b;
        addTicket(b.rec, 5, {1, 2, 3}, 100);  // held already: giving up must leave it
        b.ui.inputs.assign(c.answers.begin(), c.answers.end());
        b.rec.bakenkind = 5;
        bool bought = registerTicket(b.rec, b.ui, 5, "4番5番6番 ");
        EXPECT_EQ(bought, c.bought) << c.answers.front();
        EXPECT_EQ(std::vector<Money>({b.rec.sanrenpukucount, b.rec.mochikin}), std::vector<Money>({1 + c.bought, 15000 - c.stake}));
        std::vector<Box> refusals;
        for (const std::string& m : c.messages) refusals.push_back({m, "入力エラー", kStyleNotice});
        EXPECT_EQ(b.ui.boxes, refusals) << c.answers.front();
        std::vector<Effect> sounds(refusals.size(), Effect::Refused);
        if (c.bought) sounds.push_back(Effect::Bought);
        EXPECT_EQ(b.ui.effects, sounds) << c.answers.front();  // each refusal and the purchase once
        ASSERT_EQ(b.ui.prompts.size(), c.answers.size());
        EXPECT_EQ(b.ui.prompts[0], (Box{"金額を入力して下さい。持ち金は 15000円です", "6", 0}));
        if (c.bought) continue;
        EXPECT_EQ(b.rec.kingaku, "");
        EXPECT_EQ(b.rec.bakenkind, 0);
    }
    Bet b;
    EXPECT_FALSE(b.buy(2, "4番", {""}));
    EXPECT_EQ(b.rec.fukuflag, 0);  // a kind given up keeps its flag clear
}

TEST(Registration, SelectionTextsAndTheMoneyCheck) {
    // A refusal shows "入力エラー" with style 6, or a plain OK box without a title.
    struct Case { int kind; std::string selection; bool bought; Horses horses; bool plainBox = false; } cases[] = {
        {1, "12番 X 7.5 倍 5番人気)", true, {12, 0, 0}}, {1, "3番 Y", true, {3, 0, 0}},
        {1, "07番", true, {7, 0, 0}},                    {1, "7", true, {7, 0, 0}},
        {1, "", false, {}, true},                        {2, "", false, {}},
        {1, "19", false, {}, true},                      {1, "7x", false, {}},
        {2, "abc", false, {}},                           {3, "7番15番 ", true, {7, 15, 0}},
        {3, "12番15番 9.9倍(1番人気)", true, {12, 15, 0}}, {4, "1番12番 1.0倍から2.0倍(1番人気)", true, {1, 12, 0}},
        {3, "", false, {}},                              {4, "7番15番", false, {}},
        {5, "1番2番3番 ", true, {1, 2, 3}},              {5, "1番2番", false, {}},
        {6, "15番7番3番 ", true, {15, 7, 3}},            {6, "1番1番3番 ", false, {}},
        {6, "", false, {}},
    };
    for (const auto& c : cases) {
        Bet b;
        bool bought = b.buy(c.kind, c.selection, {"100"});
        EXPECT_EQ(bought, c.bought) << c.selection;
        EXPECT_EQ(ticketCount(b.rec, c.kind), c.bought ? 1 : 0) << c.selection;
        EXPECT_EQ(ticketHorses(b.rec, c.kind, 0), c.horses) << c.selection;
        EXPECT_EQ(b.ui.boxes, boxIf(!c.bought, {"1から18の番号で指定して下さい", c.plainBox ? "" : "入力エラー",
                                               c.plainBox ? kStyleOk : kStyleNotice}))
            << c.selection;
        EXPECT_EQ(b.ui.prompts.size(), c.bought ? 1u : 0u) << c.selection;  // refused before the stake dialog
    }
    // Below 100 yen nothing can be bought, whatever the selection.
    for (Money money : {99, 100}) {
        for (int kind = 1; kind <= 6; ++kind) {
            Bet b;
            b.rec.mochikin = money;
            const char* sel[] = {"1番", "1番", "1番2番 ", "1番2番 ", "1番2番3番 ", "1番2番3番 "};
            bool bought = b.buy(kind, sel[kind - 1], {"100"});
            EXPECT_EQ(bought, money == 100);
            EXPECT_EQ(b.ui.boxes, boxIf(money == 99, {"持ち金が100円以下です", "持ち金", kStyleNotice}));
            EXPECT_EQ(b.ui.prompts.size(), money == 99 ? 0u : 1u);
            EXPECT_EQ(b.rec.mochikin, money == 99 ? 99 : 0);
        }
    }
}

TEST(Registration, FullStoreStillMergesHeldSelections) {
    Bet b;
    b.rec.mochikin = 1000000;
    for (int h = 1; h <= 18; ++h) ASSERT_TRUE(b.buy(1, std::to_string(h) + "番", {"100"}));
    EXPECT_TRUE(b.buy(1, "5番", {"200"}));
    EXPECT_FALSE(b.buy(1, "5番", {""}));  // cancel leaves everything as it was
    EXPECT_EQ(std::vector<Money>({b.rec.tancount, b.rec.tankin[4], b.rec.mochikin}),
              std::vector<Money>({18, 300, 1000000 - 2000}));

    // A full trio store refuses a selection it does not hold.
    b.rec.sanrenpukucount = kTrios;
    for (int i = 0; i < kTrios; ++i) setTicketHorses(b.rec, 5, i, {1, 2, 3 + (i % 16)});
    EXPECT_FALSE(b.buy(5, "4番5番6番 ", {"100"}));
    EXPECT_EQ(b.ui.boxes, boxIf(true, {"この馬券はこれ以上買えません", "入力エラー", kStyleNotice}));
    EXPECT_EQ(b.rec.sanrenpukucount, kTrios);
}

TEST(TypedEntry, PerList) {
    struct Case { int kind; std::vector<std::string> answers; std::optional<std::string> selection; int refusals; } cases[] = {
        {1, {"7", "07"}, "07番", 1},                     {1, {"19", "00", ""}, std::nullopt, 2},
        {2, {"11"}, "11番", 0},                          {3, {"1507", "0715"}, "7番15番 ", 1},
        {4, {"0101", "0118"}, "1番18番 ", 1},            {5, {"030201", "010203"}, "1番2番3番 ", 1},
        {6, {"010101", "030201"}, "3番2番1番 ", 1},      {6, {"150703"}, "15番7番3番 ", 0},
        {6, {"19 203", "a10203", ""}, std::nullopt, 2}, {5, {"0102031"}, std::nullopt, 1},
    };
    const char* prompts[] = {"単勝の馬番を07や11などのように二桁で入れて下さい",
                             "副賞の馬番を07や11などのように二桁で入れて下さい",
                             "馬連の馬番を0715などのように四桁で入れて下さい",
                             "ワイドの馬番を0715などのように四桁で入れて下さい",
                             "３連副の馬番を071518などのように六桁で入れて下さい",
                             "３連単の馬番を071518などのように六桁で入れて下さい"};
    for (const auto& c : cases) {
        FakeUi ui;
        ui.inputs.assign(c.answers.begin(), c.answers.end());
        EXPECT_EQ(typedEntry(ui, c.kind), c.selection) << c.answers.front();
        EXPECT_EQ(ui.boxes, std::vector<Box>(c.refusals, {"1から18の数字を入れて下さい", "入力エラー", kStyleNotice}));
        EXPECT_EQ(ui.prompts.front(), (Box{prompts[c.kind - 1], "", 0}));
    }
}

TEST(Lists, PageKeys) {
    struct Case { int kind; Modifiers mods; bool down; int from, count, to; } cases[] = {
        {6, {false, true, false}, true, 4000, 4896, 4895}, {6, {}, true, 4000, 4896, 4010},
        {6, {true, false, false}, false, 4000, 4896, 3900}, {3, {}, false, 9, 153, 0},
        {3, {}, false, 10, 153, 0},                        {3, {}, false, 25, 153, 15},
        {5, {true, false, false}, true, 750, 816, 815},    {5, {true, false, false}, true, 700, 816, 800},
        {5, {false, true, false}, true, 700, 816, 710},   // Ctrl means nothing in list 5
        {6, {true, true, false}, true, 0, 4896, 10},      // Shift+Ctrl: 10
        {4, {true, false, false}, true, 0, 153, 10},      // Shift means nothing in list 4
        {3, {}, true, -1, 153, 9}, {3, {}, false, -1, 153, 0},  // nothing selected
    };
    for (const auto& c : cases) {
        int step = pageStep(c.kind, c.mods);
        int to = c.down ? pageDownIndex(c.from, c.count, step) : pageUpIndex(c.from, step);
        EXPECT_EQ(to, c.to) << c.kind << " from " << c.from;
    }
    EXPECT_EQ(pageStep(1, {}), 0);
    EXPECT_EQ(pageStep(2, {true, false, false}), 0);
    // What is made ahead: every row one key reaches, nearest first.
    EXPECT_EQ(rowsAhead(6, 4000, 4896), (std::vector<int>{4001, 3999, 4010, 3990, 4100, 3900, 4895, 3000}));
    EXPECT_EQ(rowsAhead(5, 0, 816), (std::vector<int>{1, 10, 100}));
    EXPECT_EQ(rowsAhead(3, 152, 153), (std::vector<int>{151, 142}));
    EXPECT_EQ(rowsAhead(1, -1, 18), (std::vector<int>{0}));  // nothing selected: Down selects the first
}

TEST(Bulk, FormsCountsAndMistakes) {
    using F = BulkForm;
    struct Case { int kind; std::string line; F form; std::size_t count; Horses front, back; std::string error; } cases[] = {
        {1, "11 07", F::Row, 2, {7, 0, 0}, {11, 0, 0}, ""},
        {2, "１８、３", F::Row, 2, {3, 0, 0}, {18, 0, 0}, ""},  // full-width, and the comma of a Japanese keyboard
        {3, "07 15 18", F::Box, 3, {7, 15, 0}, {15, 18, 0}, ""},
        {4, "1,2,3", F::Box, 3, {1, 2, 0}, {2, 3, 0}, ""},
        {5, "01 02 03 04 05", F::Box, 10, {1, 2, 3}, {3, 4, 5}, ""},
        {6, "01 02 03 04", F::Box, 24, {1, 2, 3}, {4, 3, 2}, ""},
        {3, "07-01 03 15", F::Axis, 3, {1, 7, 0}, {7, 15, 0}, ""},
        {5, "07-01 03 15", F::Axis, 3, {1, 3, 7}, {3, 7, 15}, ""},
        {5, "07 15-01 03", F::Axis, 2, {1, 7, 15}, {3, 7, 15}, ""},
        {6, "07-01 03 15", F::Axis, 6, {7, 1, 3}, {7, 15, 3}, ""},
        {6, "15 07-01 03", F::Axis, 2, {15, 7, 1}, {15, 7, 3}, ""},  // the axes keep their order
        {6, "07-01 03 15 M", F::Multi, 18, {1, 3, 7}, {15, 7, 3}, ""},
        {6, "07 15ー01 03マルチ", F::Multi, 12, {1, 7, 15}, {15, 7, 3}, ""},
        {6, "０７－０１　０３ ｍ", F::Multi, 6, {1, 3, 7}, {7, 3, 1}, ""},
        {6, "07/15 18/01 03", F::Formation, 4, {7, 15, 1}, {7, 18, 3}, ""},
        {6, "07 15/01 03/01 02 03", F::Formation, 8, {7, 1, 2}, {15, 3, 2}, ""},
        {5, "07 15/01 03/01 02 03", F::Formation, 6, {1, 2, 7}, {2, 3, 15}, ""},
        {3, "07 15/01 03 07", F::Formation, 5, {1, 7, 0}, {7, 15, 0}, ""},
        {6, "07・15・01", F::Formation, 1, {7, 15, 1}, {7, 15, 1}, ""},  // "/" as a Japanese keyboard types it
        {3, "07 19", {}, 0, {}, {}, "19という馬番はありません。1から18の数字を入れて下さい"},
        {1, "00", {}, 0, {}, {}, "00という馬番はありません。1から18の数字を入れて下さい"},
        {6, "123 4", {}, 0, {}, {}, "123という馬番はありません。1から18の数字を入れて下さい"},
        {5, "07 08 07", {}, 0, {}, {}, "7番が二つ入っています"},
        {6, "07/15 15/01", {}, 0, {}, {}, "15番が二つ入っています"},
        {1, "07-08", {}, 0, {}, {}, "単勝にはながしやフォーメーションはありません。01 03 07 のように馬番を並べて下さい"},
        {3, "07-01 02 M", {}, 0, {}, {}, "マルチは３連単だけです"},
        {6, "M 07-01 02", {}, 0, {}, {}, "マルチは 07-01 03 15 M のように、ながしの最後にMを付けます"},
        {6, "07 01 02 M", {}, 0, {}, {}, "マルチは 07-01 03 15 M のように、ながしの最後にMを付けます"},
        {4, "07 08-01 02", {}, 0, {}, {}, "ワイドのながしの軸は1頭です"},
        {6, "-01 02", {}, 0, {}, {}, "３連単のながしの軸は1頭か2頭です"},
        {6, "01 02 03-04", {}, 0, {}, {}, "３連単のながしの軸は1頭か2頭です"},
        {3, "07-07 08", {}, 0, {}, {}, "7番が軸と相手の両方に入っています"},
        {3, "07/08/09", {}, 0, {}, {}, "馬連のフォーメーションは「/」で区切った2組です"},
        {5, "07/08", {}, 0, {}, {}, "３連複のフォーメーションは「/」で区切った3組です"},
        {6, "01-02/03", {}, 0, {}, {}, "ながしの「-」とフォーメーションの「/」は一緒に使えません"},
        {6, "01-02-03", {}, 0, {}, {}, "ながしの「-」は一つだけです"},
        {3, "07", {}, 0, {}, {}, "組み合わせが1点もありません"},
        {6, "07/07/07", {}, 0, {}, {}, "組み合わせが1点もありません"},
        {5, "07-", {}, 0, {}, {}, "組み合わせが1点もありません"},
        {1, "07 a", {}, 0, {}, {}, "「a」は使えません。馬番と - / M だけで入れて下さい"},
    };
    for (const auto& c : cases) {
        BulkParse p = parseBulk(c.kind, c.line);
        EXPECT_EQ(p.error, c.error) << c.line;
        if (!c.error.empty()) continue;
        EXPECT_EQ(p.order.form, c.form) << c.line;
        ASSERT_EQ(p.order.tickets.size(), c.count) << c.line;
        EXPECT_EQ(p.order.tickets.front(), c.front) << c.line;
        EXPECT_EQ(p.order.tickets.back(), c.back) << c.line;
    }
    // The pointer dialog's rows make the lines that are typed.
    struct Rows { int kind; F form; std::vector<std::vector<int>> rows; std::string line; std::size_t count; } picks[] = {
        {1, F::Row, {{3, 11}}, "03 11", 2},
        {3, F::Box, {{7, 15, 18}}, "07 15 18", 3},
        {5, F::Axis, {{7, 15}, {1, 3}}, "07 15-01 03", 2},
        {6, F::Multi, {{7}, {1, 3, 15}}, "07-01 03 15 M", 18},
        {6, F::Formation, {{7}, {15, 18}, {1, 3}}, "07/15 18/01 03", 4},
    };
    for (const auto& r : picks) {
        EXPECT_EQ(bulkLine(r.form, r.rows), r.line);
        const BulkParse p = parseBulk(r.kind, r.line);
        EXPECT_EQ(p.order.form, r.form) << r.line;
        EXPECT_EQ(p.order.tickets.size(), r.count) << r.line;
    }
}

TEST(Bulk, PurchaseIsAllOrNone) {
    const std::string prompt = bulkPrompt(3), kind6 = bulkPrompt(6);
    EXPECT_EQ(kind6, "３連単のまとめ買い：ボックスは 01 03 07、ながしは 07-01 03 15、フォーメーションは 07 15/01 03/01 "
                     "02 03、マルチはながしの最後に M");
    struct Case { Money money; std::vector<std::string> inputs; std::deque<Answer> answers; bool bought; Money left; std::vector<std::string> boxes; } cases[] = {
        // 7-15 is held: it grows, the others are new.
        {15000, {"07 19", "07 15 18", "100"}, {}, true, 14700,
         {"19という馬番はありません。1から18の数字を入れて下さい", "馬連 ボックス 3点 各100円 合計300円 買いますか"}},
        {500, {"07 15 18", "200", "100"}, {}, true, 200,
         {"合計600円は持ち金の500円を超えます", "馬連 ボックス 3点 各100円 合計300円 買いますか"}},
        {500, {"01 02 03 04", "100", ""}, {}, false, 500, {"合計600円は持ち金の500円を超えます"}},
        {15000, {"07-01 02", "150", "1000"}, {Answer::Other, Answer::No}, false, 15000,
         {"100円単位で入力して下さい。", "馬連 ながし 2点 各1000円 合計2000円 買いますか"}},
        {15000, {"07 19", ""}, {}, false, 15000, {"19という馬番はありません。1から18の数字を入れて下さい"}},
        {99, {"07 15 18", "100"}, {}, false, 99, {"持ち金が100円以下です"}},
    };
    for (const auto& c : cases) {
        Bet b;
        b.rec.mochikin = c.money;
        addTicket(b.rec, 3, {7, 15, 0}, 200);
        b.ui.inputs.assign(c.inputs.begin(), c.inputs.end());
        b.ui.answers = c.answers;
        auto bought = bulkPurchase(b.rec, b.ui, 3);
        EXPECT_EQ(bought.has_value(), c.bought) << c.inputs[0];
        EXPECT_EQ(b.rec.mochikin, c.left) << c.inputs[0];
        std::vector<std::string> boxes;
        for (const Box& box : b.ui.boxes) boxes.push_back(box.prompt);
        EXPECT_EQ(boxes, c.boxes) << c.inputs[0];
        std::vector<Effect> sounds(std::count_if(c.boxes.begin(), c.boxes.end(), [](auto& m) { return !m.ends_with("買いますか"); }),
                                   Effect::Refused);
        if (c.bought) sounds.push_back(Effect::Bought);                          // once for all the tickets
        EXPECT_EQ(b.ui.effects, sounds) << c.inputs[0];
        std::vector<Money> store;
        for (int i = 0; i < b.rec.umacount; ++i)
            store.insert(store.end(), {b.rec.umaban1[i], b.rec.umaban2[i], b.rec.umakin[i]});
        const Money stake = c.money - c.left;
        EXPECT_EQ(store, c.bought ? std::vector<Money>({7, 15, 200 + stake / 3, 7, 18, stake / 3, 15, 18, stake / 3})
                                  : std::vector<Money>({7, 15, 200}))
            << c.inputs[0];
        EXPECT_EQ(bought ? bulkPurchaseSpeech(*bought) : "", c.bought ? "馬連 3点 " + std::to_string(stake) + "円 買いました" : "");
        if (c.money < 100) continue;
        EXPECT_EQ(b.ui.prompts[0], (Box{prompt, "まとめ買い", 0}));
        EXPECT_EQ(b.ui.defaults[1], c.inputs[0] == "07 19" ? "07 19" : "");  // the box again, the text kept
    }
    // A line picked by pointer comes first; a mistake in it opens the typed box with it.
    for (const char* picked : {"07 15 18", "07 19"}) {
        Bet b;
        b.ui.inputs = {picked == std::string("07 19") ? "07 18" : "100", "100"};
        auto bought = bulkPurchase(b.rec, b.ui, 3, [&] { return std::optional<std::string>(picked); });
        EXPECT_EQ(bought ? bought->tickets : 0, picked == std::string("07 19") ? 1 : 3);
        EXPECT_EQ(b.ui.defaults[0], picked == std::string("07 19") ? "07 19" : "");
    }
    // The wrap once reproduced: a box of all 18 at 10^18 yen a ticket, held
    // 9×10^18 (an old save); and the largest total that the game takes.
    for (Money held : {Money(9'000'000'000'000'000'000), kMoneyLimit}) {
        Bet big;
        big.rec.mochikin = held;
        big.ui.inputs = {"01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18", "1000000000000000000", "",
                         "01/02/03 04", "500000000000000"};
        EXPECT_FALSE(bulkPurchase(big.rec, big.ui, 6));
        EXPECT_EQ(big.ui.boxes.at(0).prompt, held == kMoneyLimit ? "持ち金の1000000000000000円以下にして下さい"
                                                                 : "合計が持ち金の9000000000000000000円を超えます");
        EXPECT_EQ(std::make_pair(big.rec.mochikin, int(big.rec.sanrentancount)), std::make_pair(held, 0));
        if (held != kMoneyLimit) continue;
        big.ui.answers = {Answer::Yes};
        ASSERT_TRUE(bulkPurchase(big.rec, big.ui, 6));
        EXPECT_EQ(big.ui.boxes.back().prompt, "３連単 フォーメーション 2点 各500000000000000円 合計1000000000000000円 買いますか");
        EXPECT_EQ(big.rec.mochikin, 0);
    }
    Bet cancelled;
    EXPECT_FALSE(bulkPurchase(cancelled.rec, cancelled.ui, 3, [] { return std::optional<std::string>(); }));
    EXPECT_TRUE(cancelled.ui.prompts.empty());
    // More new tickets than the store has room for.
    Bet b;
    b.rec.sanrentancount = kTrifectas - 1;
    b.ui.inputs = {"01 02 03", ""};
    EXPECT_FALSE(bulkPurchase(b.rec, b.ui, 6));
    EXPECT_EQ(b.ui.boxes, boxIf(true, {"３連単はあと1点しか買えません", "入力エラー", kStyleNotice}));
}
