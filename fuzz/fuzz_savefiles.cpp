// The save file and the settings file: reading any bytes never fails
// loudly, and a value written and read back is unchanged (an amount beyond
// what the game holds is read as too large, a negative one as damaged).
#include <cstring>
#include <limits>

#include "core/datafiles.h"
#include "core/savefile.h"
#include "fuzz_common.h"

using namespace ozn;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string save = fuzz::fileWith("baken.txt", data, size);
    (void)readSave(save);
    const std::string cfg = fuzz::fileWith("ozn.cfg", data, size);
    (void)readSettings(cfg);  // any byte value is a setting

    Money money = 0;
    std::memcpy(&money, data, std::min(size, sizeof money));
    OZN_CHECK(writeSaveFile(save, money));
    // The game never saves a negative amount (read back, one is not a save),
    // nor one beyond what it can hold.
    const SaveRead back = readSave(save);
    using S = SaveRead::State;
    OZN_CHECK(back.state == (money < 0 ? S::Damaged : money > kMoneyLimit ? S::TooLarge : S::Whole));
    OZN_CHECK(back.state != S::Whole || back.money == money);
    const std::uint8_t voice = size ? data[0] : 4;
    writeSettings(cfg, voice);
    OZN_CHECK(readSettings(cfg) == voice);
    return 0;
}
