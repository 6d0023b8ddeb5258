// ozn-sim: races played with no window and no sound, one report line each.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/datafiles.h"
#include "core/random.h"
#include "history/keeper.h"
#include "race/autoplay.h"
#include "racecard/racecard.h"

namespace {

constexpr const char* kUsage =
    "usage: ozn-sim [--seed N] [--races N] [--money N] [--bet none|favourite|box] [--data DIR] [--history FILE]\n";

bool number(const char* s, long long lo, long long hi, long long& out) {
    if (!s || !*s) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s, &end, 10);
    if (errno || *end || v < lo || v > hi) return false;
    out = v;
    return true;
}

std::string programFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
    long long seed = 1, races = 12, money = 15000;
    ozn::Strategy bet = ozn::Strategy::None;
    std::string data = programFolder(), historyFile;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = value != nullptr;
        if (opt == "--seed") ok = ok && number(value, 0, (1LL << 62), seed);
        else if (opt == "--races") ok = ok && number(value, 1, 1000000, races);
        else if (opt == "--money") ok = ok && number(value, 100, 300000, money);
        else if (opt == "--bet") ok = ok && (bet = ozn::strategyNamed(value).value_or(bet), ozn::strategyNamed(value));
        else if (opt == "--data") data = value ? value : "";
        else if (opt == "--history") historyFile = value ? value : "";
        else if (opt == "--help" || opt == "-h") return std::cout << kUsage, 0;
        else ok = false;
        if (!ok) return std::cerr << "ozn-sim: bad option " << opt << "\n" << kUsage, 2;
        ++i;
    }

    ozn::GameRecord rec;
    rec.apppath = data + "/";
    if (std::string bad = ozn::loadDataFiles(rec, rec.apppath); !bad.empty())
        return std::cerr << "ozn-sim: cannot read " << rec.apppath << bad << "\n", 1;
    rec.mochikin = money;
    rec.raceno = 1;
    ozn::GameRandom rng(static_cast<std::uint64_t>(seed));
    ozn::SilentWorld world;
    ozn::Ports ports{world, rng, world, world, world};

    ozn::RaceKeeper keeper;
    ozn::RaceHooks hooks;
    if (!historyFile.empty()) {
        const std::filesystem::path file(historyFile);
        const std::string notice = keeper.open(file.parent_path().empty() ? "." : file.parent_path().string(), "",
                                               file.filename().string());
        if (!keeper.history()) return std::cerr << "ozn-sim: " << (notice.empty() ? "no history" : notice) << "\n", 1;
        hooks.settled = [&](const ozn::RaceOutcome& out, const ozn::Settlement& s) {
            const std::string n = keeper.settled(rec, out, s);
            if (!n.empty()) std::cerr << "ozn-sim: " << n << "\n";
            keeper.cardMade(rec.mochikin);  // nothing is bought between two races but their tickets
        };
    }
    ozn::readlist(rec, rng);
    keeper.cardMade(rec.mochikin);

    ozn::Money stakes = 0, back = 0;
    const ozn::AutoplayResult r = ozn::autoplay(rec, ports, static_cast<int>(races), bet, hooks, [&](const ozn::PlayedRace& p) {
        stakes += p.stakes, back += p.back;
        std::cout << ozn::reportLine(p) << "\n";
    });
    std::cout << "total\t" << r.races << "\t" << money << "\t" << stakes << "\t" << back << "\t" << rec.mochikin << "\t"
              << (r.last == ozn::HassoResult::GameOver ? "gameover" : "ok") << "\n";
    if (!keeper.flush()) return std::cerr << "ozn-sim: " << keeper.waiting() << " races could not be recorded\n", 1;
    return 0;
}
