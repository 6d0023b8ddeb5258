// The money between runs: never written through a planted link, read back
// from every place it may have gone, a damaged save kept aside, one game per save.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <numeric>

#include "core/lifecycle.h"
#include "core/savefile.h"
#include "fakes.h"
#include "history/keeper.h"
#include "tempdir.h"

using namespace ozn;
using namespace ozn::test;
namespace fs = std::filesystem;

namespace {

struct Game { GameRecord rec; FakeUi ui; bool ok = false; };

std::unique_ptr<Game> start(const StartupEnv& env) {
    auto g = std::make_unique<Game>();
    g->ok = startUp(g->rec, g->ui, env, {});
    return g;
}

int boxesSaying(const FakeUi& ui, const std::string& part) {
    return int(std::count_if(ui.boxes.begin(), ui.boxes.end(), [&](const Box& b) { return b.prompt.find(part) != std::string::npos; }));
}

// TMPDIR for one test: the game's own temporary folder is made there.
struct TmpDirEnv {
    TempDir dir;
    TmpDirEnv() { ::setenv("TMPDIR", dir.path().c_str(), 1); }
    ~TmpDirEnv() { ::unsetenv("TMPDIR"); }
};

}  // namespace

TEST(Saves, AWriteReplacesAPlantedLinkAndNeverFollowsIt) {
    enum Plant { TempDangling, TempToVictim, SaveSymlink, SaveHardLink, SettingsSymlink };
    for (Plant plant : {TempDangling, TempToVictim, SaveSymlink, SaveHardLink, SettingsSymlink}) {
        TempDir d, other;  // other: files that are not the game's
        d.copyBundledData();
        d.write("baken.txt", " 15000 \r\n");
        other.write("victim", "2\r\n");
        const std::string victim = other.file("victim"), absent = other.file("absent");
        if (plant == TempDangling) fs::create_symlink(absent, d.file("baken.txt.tmp"));
        if (plant == SettingsSymlink) fs::create_symlink(victim, d.file("ozn.cfg"));
        auto g = start({d.path(), "", "", d.file("home")});
        ASSERT_TRUE(g->ok);
        EXPECT_EQ(g->rec.voicemode, plant == SettingsSymlink ? 2 : 4) << plant;  // read through a link: allowed
        const std::string save = d.file("baken.txt"), temp = d.file("baken.txt.tmp");
        if (plant == TempToVictim) fs::create_symlink(victim, temp);
        if (plant == SaveSymlink || plant == SaveHardLink) {
            fs::remove(save);
            plant == SaveSymlink ? fs::create_symlink(victim, save) : fs::create_hard_link(victim, save);
        }
        g->rec.mochikin = 12300, g->rec.voicemode = 3;
        EXPECT_TRUE(saveMoney(g->rec, g->ui));  // as after a race
        FakeMp3 mp3;
        EXPECT_EQ(closeRequest(g->rec, g->ui, mp3), CloseResult::Close);
        EXPECT_EQ(other.read("victim"), "2\r\n") << plant;
        EXPECT_FALSE(fs::exists(absent)) << plant;
        EXPECT_EQ(d.read("baken.txt") + d.read("ozn.cfg"), " 12300 \r\n3\r\n") << plant;
        EXPECT_EQ(std::vector<int>({modeOf(save), modeOf(d.file("ozn.cfg"))}), std::vector<int>({0600, 0600})) << plant;
        // Said once, as other failed saves are, when a link stood where the game writes.
        const bool told = plant == SaveSymlink || plant == SaveHardLink || plant == SettingsSymlink;
        EXPECT_EQ(boxesSaying(g->ui, "リンク"), told ? 1 : 0) << plant;
    }
    // The desktop's settings store writes through links: it gets a file of its own first.
    TempDir d, other;
    other.write("victim", "[x]\n");
    fs::create_symlink(other.file("victim"), d.file("ozn.conf"));
    GameRecord rec;
    FakeUi ui;
    ownCopyOfLink(rec, ui, d.file("ozn.conf"));
    EXPECT_EQ(std::make_pair(modeOf(d.file("ozn.conf")), d.read("ozn.conf")), std::make_pair(0600, std::string("[x]\n")));
    EXPECT_EQ(boxesSaying(ui, "リンク"), 1);
}

TEST(Saves, EveryPlaceASaveMayBeIsReadNewestFirst) {
    enum Place { Program, DataFolder, OwnTemp, OldSharedTemp };
    struct Saved { Place place; const char* content; int ageSeconds; };
    struct Case { std::vector<Saved> saves; Money money; int damaged; } cases[] = {
        {{{Program, " 1000 \r\n", 20}, {DataFolder, " 2000 \r\n", 10}}, 2000, 0},
        {{{Program, " 3000 \r\n", 5}, {DataFolder, " 2000 \r\n", 10}}, 3000, 0},
        {{{OwnTemp, " 4000 \r\n", 5}}, 4000, 0},
        {{{OldSharedTemp, " 5000 \r\n", 5}, {Program, " 1000 \r\n", 30}}, 5000, 0},
        {{{Program, "garbage", 1}, {OwnTemp, " 2000 \r\n", 10}}, 2000, 1},  // the damaged one is kept aside
    };
    for (const auto& c : cases) {
        TmpDirEnv tmpdir;
        TempDir d, temp, home;
        d.copyBundledData();
        const std::string own = tmpdir.dir.file("ozn-" + std::to_string(::geteuid()));
        fs::create_directories(own), fs::permissions(own, fs::perms::owner_all);
        fs::create_directories(home.file("ozn"));
        const std::string path[] = {d.file("baken.txt"), home.file("ozn/baken.txt"), own + "/baken.txt", temp.file("baken.txt")};
        for (const Saved& s : c.saves) {
            std::ofstream(path[s.place]) << s.content;
            fs::last_write_time(path[s.place], fs::file_time_type::clock::now() - std::chrono::seconds(s.ageSeconds));
        }
        auto g = start({d.path(), "", temp.path(), home.file("ozn")});
        ASSERT_TRUE(g->ok);
        EXPECT_EQ(g->rec.mochikin, c.money) << c.saves.front().content;
        EXPECT_EQ(boxesSaying(g->ui, "金額として読めない"), c.damaged);
        ASSERT_TRUE(saveMoney(g->rec, g->ui));  // home again: the copies elsewhere go
        EXPECT_EQ(std::vector<bool>({fs::exists(path[0]), fs::exists(path[1]), fs::exists(path[2]), fs::exists(path[3])}),
                  std::vector<bool>({true, false, false, false}));
    }
    // A save that had to go to the data folder at quit is the next start's money.
    TempDir d, home;
    d.copyBundledData();
    fs::create_directory(d.file("baken.txt"));
    const StartupEnv env{d.path(), "", "", home.file("ozn")};
    auto first = start(env);
    first->rec.mochikin = 23400;
    FakeMp3 mp3;
    EXPECT_EQ(endshori(first->rec, first->ui, mp3), EndResult::Close);
    first.reset();
    EXPECT_EQ(start(env)->rec.mochikin, 23400);
}

TEST(Saves, ADamagedSaveIsKeptAsideAndTheGameStartsWith15000) {
    struct Case { std::string content; Money money; bool damaged; } cases[] = {
        {" 2300 \r\n", 2300, false}, {"0042\n\n", 42, false}, {"\xEF\xBB\xBF 700 \r\n \r\n", 700, false},
        {"abc", 15000, true}, {"\r\n 5000 \r\n", 15000, true}, {" 12,000 ", 15000, true}, {"2300.5", 15000, true},
        {"-42 \r\n", 15000, true}, {"", 15000, true}, {std::string("\x93\xfa\0\xff 1", 6), 15000, true},
        {" 5000 \r\n 6000 \r\n", 15000, true}, {std::string(300, ' ') + "1", 15000, true},
    };
    for (const auto& c : cases) {
        TempDir d;
        d.copyBundledData();
        d.write("baken.txt", c.content);
        auto g = start({d.path(), "", "", d.file("home")});
        ASSERT_TRUE(g->ok);
        EXPECT_EQ(g->rec.mochikin, c.money) << c.content;
        std::vector<std::string> aside;
        for (const auto& e : fs::directory_iterator(d.path()))
            if (e.path().filename().string().rfind("baken.txt.bad-", 0) == 0) aside.push_back(e.path());
        ASSERT_EQ(aside.size(), c.damaged ? 1u : 0u) << c.content;
        if (!c.damaged) continue;
        EXPECT_EQ(g->ui.boxes, (std::vector<Box>{{"持ち金のファイル " + d.file("baken.txt") + " は金額として読めないので、" +
                                                       aside[0] + " に移して、15000円から始めます", "エラー", kStyleOk}}));
        std::ifstream in(aside[0], std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.content);
        EXPECT_EQ(d.read("baken.txt"), " 15000 \r\n");  // begun anew beside the one kept aside
    }
}

TEST(Saves, OneGameAtATimePerSaveAndPerDataFolder) {
    struct Case { bool sameProgram, sameData, readOnlyData, refused; } cases[] = {
        {true, false, false, true},   // one save, two data folders
        {false, true, false, true},   // one data folder, two saves
        {false, true, true, true},    // a folder that cannot be written is locked all the same
        {false, false, false, false},
    };
    for (const auto& c : cases) {
        TempDir p1, p2, h1, h2;
        p1.copyBundledData(), p2.copyBundledData();
        fs::create_directories(h1.file("ozn"));
        if (c.readOnlyData) fs::permissions(h1.file("ozn"), fs::perms::owner_read | fs::perms::owner_exec);
        auto first = start({p1.path(), "", "", h1.file("ozn")});
        ASSERT_TRUE(first->ok);
        auto second = start({(c.sameProgram ? p1 : p2).path(), "", "", (c.sameData ? h1 : h2).file("ozn")});
        EXPECT_EQ(second->ok, !c.refused);
        const std::vector<Box> refusal{{"ozn はすでに動いています", "", kStyleOk}};
        EXPECT_EQ(second->ui.boxes, c.refused ? refusal : std::vector<Box>{});
        fs::permissions(h1.file("ozn"), fs::perms::owner_all);
    }
}

// A crash between the race's record and its save: the history's money is
// taken back at the next start. Tip sheets are kept as they are bought.
TEST(Saves, MoneyTheHistoryKeptAfterTheLastSaveIsTakenBack) {
    struct Case { const char* name; bool savedAfterRace, tipSheet, savedAtQuit, otherSave; Money money; bool told; } cases[] = {
        {"crash after the race", false, false, false, false, 17300, true},
        {"saved after the race", true, false, false, false, 17300, false},
        {"tip sheet, then quit", true, true, true, false, 17000, false},
        {"tip sheet, then crash", true, true, false, false, 17000, true},
        {"another save's race", false, false, false, true, 15000, false},
    };
    using Clock = fs::file_time_type::clock;
    auto local = [](std::time_t t) {
        std::tm tm{};
        localtime_r(&t, &tm);
        char text[32];
        return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm));
    };
    for (const auto& c : cases) {
        TempDir d;
        const std::string save = d.file("baken.txt");
        RaceOutcome out;
        std::iota(out.order.begin(), out.order.end(), 1);
        GameRecord rec;
        rec.raceno = 1, rec.bakenpath = c.otherSave ? d.file("elsewhere/baken.txt") : save, rec.mochikin = 15000;
        ASSERT_TRUE(writeSaveFile(save, 15000));
        fs::last_write_time(save, Clock::now() - std::chrono::seconds(60));
        {
            RaceKeeper keeper;
            keeper.open(d.path(), "x");
            keeper.cardMade(15000);
            EXPECT_EQ(keeper.resume(rec), "");
            rec.mochikin = 17300;
            keeper.settled(rec, out, {}, local(std::time(nullptr) - 20));
            if (c.savedAfterRace) writeSaveFile(save, 17300), fs::last_write_time(save, Clock::now() - std::chrono::seconds(10));
            keeper.cardMade(17300);
            if (c.tipSheet) rec.mochikin -= 300, keeper.tipSheet(300);
            if (c.savedAtQuit) writeSaveFile(save, rec.mochikin);
        }
        GameRecord next;
        next.raceno = 1, next.bakenpath = save, next.mochikin = readSave(save).money;
        RaceKeeper keeper;
        keeper.open(d.path(), "x");
        keeper.cardMade(next.mochikin);
        const std::string told = keeper.resume(next);
        EXPECT_EQ(told, c.told ? "前回は持ち金を保存する前に終わったので、成績に記録された持ち金 " + std::to_string(c.money) + "円から始めます" : "")
            << c.name;
        EXPECT_EQ(next.mochikin, c.money) << c.name;
        EXPECT_EQ(readSave(save).money, c.money) << c.name;
        // The next race starts where the last one ended, its tip sheet with it.
        keeper.settled(next, out, {}, local(std::time(nullptr)));
        const RaceRow last = keeper.history()->allRaces().back();
        EXPECT_EQ(std::vector<Money>({last.before, last.after}), std::vector<Money>({c.otherSave ? 15000 : 17300, c.money})) << c.name;
        EXPECT_EQ(last.tipSheets, c.tipSheet ? std::vector<Money>{300} : std::vector<Money>{}) << c.name;
    }
}
