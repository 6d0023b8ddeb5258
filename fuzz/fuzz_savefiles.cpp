// The save file and the settings file: reading any bytes never fails
// loudly, and a value written and read back is unchanged.
#include <cstring>
#include <limits>

#include "core/datafiles.h"
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
    // The game never saves a negative amount: read back, one is not a save.
    const SaveRead back = readSave(save);
    OZN_CHECK(money < 0 ? back.state == SaveRead::State::Damaged
                        : back.state == SaveRead::State::Whole && back.money == money);
    const std::uint8_t voice = size ? data[0] : 4;
    writeSettings(cfg, voice);
    OZN_CHECK(readSettings(cfg) == voice);
    return 0;
}
