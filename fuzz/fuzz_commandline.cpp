// The amount on the command line: a text shorter than three characters is
// ignored; otherwise the game starts exactly when it reads as 100 to 300000
// yen, with that amount (halves to even) and no save file.
#include <cmath>

#include "core/lifecycle.h"
#include "core/text.h"
#include "fakes.h"
#include "fuzz_common.h"

using namespace ozn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        for (const char* f : {"race.txt", "horsename.txt", "odds.txt"})
            std::ofstream(fuzz::scratch() + "/" + f) << "1 2.0 1.1\r\n";
        return true;
    }();
    (void)ready;
    const std::string line = fuzz::textOf(data, size);
    GameRecord rec;
    test::FakeUi ui;
    StartupEnv env{fuzz::scratch(), line, "", fuzz::scratch() + "/home"};
    const bool ok = startUp(rec, ui, env, {});
    if (text::charCount(line) < 3) {
        OZN_CHECK(ok && !rec.bakenpath.empty());
        return 0;
    }
    const double v = text::leadingNumber(line);
    OZN_CHECK(ok == (v >= 100 && v <= 300000));
    if (ok) {
        OZN_CHECK(rec.bakenpath.empty());
        OZN_CHECK(rec.mochikin == static_cast<Money>(std::nearbyint(v)));
    } else {
        OZN_CHECK(ui.boxes.size() == 1 && ui.boxes[0].prompt == "100円以上300000円以下に設定してください");
    }
    return 0;
}
