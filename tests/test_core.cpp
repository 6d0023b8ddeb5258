#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <deque>
#include <filesystem>
#include <limits>
#include <fstream>

#include "betting/store.h"
#include "core/datafiles.h"
#include "core/lifecycle.h"
#include "core/text.h"
#include "fakes.h"
#include "tempdir.h"

using namespace ozn;
using namespace ozn::test;

namespace {

void writeData(const TempDir& d) {
    std::string races;  // a meeting's twelve
    for (int i = 1; i <= 12; ++i) races += "砂塵" + std::to_string(i) + "\r\n";
    d.write("race.txt", races);
    d.write("horsename.txt", "アオ dirt\r\nアカ 1200\r\n");
    d.write("odds.txt", "1 2.5 1.3\r\n2 4.0 2\r\n");
}

struct Started { bool ok; GameRecord rec; FakeUi ui; int cards = 0; };

std::unique_ptr<Started> start(const TempDir& d, const std::string& cmd = "") {
    auto s = std::make_unique<Started>();
    s->ok = startUp(s->rec, s->ui, {d.path(), cmd, "", d.file("home")}, {[&] { ++s->cards; }, nullptr});
    return s;
}

}  // namespace

TEST(DataFiles, OddsLines) {
    struct Case {
        const char* line; bool ok; const char* win = nullptr; double tan = 0, fuku = 0; const char *f1 = "", *f2 = "";
    } cases[] = {
        {"3 12 4", true, "12 ", 12, 4, "5.0", "4.5"},
        {"1 2.5 1.3", true, "2.5 ", 2.5, 1.3, "1.6", "1.4"},
        {"2 3.1 2", true, "3.1 ", 3.1, 2, "2.5", "2.3"},
        {"1.5", true, "", 0, 1.5, "1.9", "1.7"},          // no blank: all of it is the place field
        {"7  9.9", true, " ", 0, 9.9, "12.4", "11.2"},    // the win field ends at the second blank
        {"1 2.5", false},  // exactly one blank
        {"1 1e999 2", false}, {"1 2 1e999", false}, {"1 -3 2", false}, {"1 3 -0.1", false},
        {"1 100000 2", false}, {"1 2 99999.95", false}, {"1 99999.9 99999.9", true}, {"1 0 0", true},
    };
    for (const auto& c : cases) {
        GameRecord rec;
        EXPECT_EQ(parseOddsLine(rec, 0, c.line), c.ok) << c.line;
        if (!c.win) continue;
        EXPECT_EQ(rec.tanoddsstr[0], c.win) << c.line;
        EXPECT_DOUBLE_EQ(rec.tanodds[0], c.tan) << c.line;
        EXPECT_DOUBLE_EQ(rec.fukuodds[0], c.fuku) << c.line;
        EXPECT_EQ(rec.fukuodds1str[0] + "|" + rec.fukuodds2str[0], std::string(c.f1) + "|" + c.f2) << c.line;
    }
}

TEST(DataFiles, HorseLines) {
    struct Case { const char* line; const char* name; int code; } cases[] = {
        {"ソラノハテ 2400", "ソラノハテ", 6}, {"カゼノウタ", "カゼノウタ", 0}, {"アオ abcdefg", "アオ", 0},
        {"two words dirt", "two", 1},        {"X DIRT", "X", 0},            {"Y 3200", "Y", 9},
        {"Z x1200", "Z", 2},                 {"", "", 0},
    };
    for (const auto& c : cases) {
        std::string name;
        std::uint8_t code = 99;
        parseHorseLine(c.line, name, code);
        EXPECT_EQ(std::make_pair(name, int(code)), std::make_pair(std::string(c.name), c.code)) << c.line;
    }
}

TEST(DataFiles, Encodings) {
    TempDir d;
    d.write("a.txt", "\xEF\xBB\xBF" "一\r\n二\n三\r四");
    d.write("sjis.txt", "\x82\xa0\x82\xa2 dirt\r\n");  // あい dirt in Shift-JIS
    using Lines = std::optional<std::vector<std::string>>;
    EXPECT_EQ(readTextLines(d.file("a.txt")), (Lines{{"一", "二", "三", "四"}}));
    EXPECT_EQ(readTextLines(d.file("sjis.txt")), (Lines{{"あい dirt"}}));
    EXPECT_FALSE(readTextLines(d.file("missing.txt")));
    d.write("huge.txt", std::string((1 << 20) + 1, 'a'));
    EXPECT_FALSE(readTextLines(d.file("huge.txt")));
}

TEST(DataFiles, FailuresEndTheProgram) {
    std::string nineteen;  // one line too many
    for (int i = 0; i < 19; ++i) nineteen += "1 2.0 1.1\r\n";
    const std::string missing;  // no file at all
    const char *race = "レース名ファイル読みこみエラーです", *horse = "馬名ファイル読みこみエラーです",
               *odds = "オッズデータ読みこみエラーです。";
    struct Case { const char* file; std::string content; const char* message; const char* title; } cases[] = {
        {"race.txt", missing, race, "エラー"},       {"race.txt", nineteen, race, "エラー"},
        {"horsename.txt", missing, horse, "エラー"}, {"horsename.txt", nineteen, horse, "エラー"},
        {"horsename.txt", nineteen.substr(0, nineteen.size() - 11) + "\r\n", horse, "エラー"},  // 18 and an empty 19th
        {"odds.txt", "1 2.0 1.1\r\n2 3.0\r\n", odds, "error"},
        {"odds.txt", missing, odds, "error"},        {"odds.txt", nineteen, odds, "error"},
    };
    for (const auto& c : cases) {
        TempDir d;
        writeData(d);
        if (c.content == missing) std::filesystem::remove(d.file(c.file));
        else d.write(c.file, c.content);
        auto s = start(d);
        EXPECT_FALSE(s->ok) << c.file;
        EXPECT_EQ(s->ui.boxes, (std::vector<Box>{{c.message, c.title, kStyleNotice}})) << c.file;
        EXPECT_EQ(s->cards, 0);
        EXPECT_FALSE(d.exists("baken.txt"));
        GameRecord rec;  // the headless game names the same file
        EXPECT_EQ(loadDataFiles(rec, d.path()), c.file);
    }
}

TEST(Startup, RecordAfterStart) {
    TempDir d;
    writeData(d);
    auto s = start(d);
    ASSERT_TRUE(s->ok);
    EXPECT_EQ(s->rec.apppath, d.path() + "/");
    EXPECT_EQ(s->rec.racelist[11] + "|" + s->rec.racelist[12] + "|" + s->rec.horsename[1], "砂塵12||アカ");
    EXPECT_DOUBLE_EQ(s->rec.fukuodds1[0], 1.6);
    EXPECT_EQ(std::vector<int>({s->rec.raceno, s->cards, s->rec.voicemode, s->rec.tekisei[1]}), std::vector<int>({1, 1, 4, 2}));
}

TEST(Startup, Money) {
    struct Case { std::string cmd, save /* "": no save file */; bool ok; Money money; bool fromSave; } cases[] = {
        {"", "", true, 15000, true},         {"", " 2300 \r\n", true, 2300, true},
        {"150", " 2300 \r\n", true, 150, false}, {"100", "", true, 100, false}, {"300000", "", true, 300000, false},
        {"1 50", "", true, 150, false},           // arguments joined by a blank
        {"50", " 2300 \r\n", true, 2300, true},  // two characters: ignored
        {"099", "", false, 0, false}, {" 99", "", false, 0, false}, {"300001", "", false, 0, false}, {"abc", "", false, 0, false},
        // Beyond what a payout can be worked out on: refused, the file kept.
        {"", " 1000000000000000 \r\n", true, kMoneyLimit, true}, {"", " 1000000000000001 \r\n", false, 0, true},
        {"", " 9000000000000000000 \r\n", false, 0, true},      {"", "99999999999999999999", false, 0, true},
    };
    for (const auto& c : cases) {
        TempDir d;
        writeData(d);
        if (!c.save.empty()) d.write("baken.txt", c.save);
        auto s = start(d, c.cmd);
        EXPECT_EQ(s->ok, c.ok) << c.cmd << "|" << c.save;
        const std::string tooMuch = "持ち金のファイル " + d.file("baken.txt") + " の金額が、このゲームで払い戻しを正しく計算できる"
                                    "上限の1000000000000000円を超えているので始められません。ファイルはそのままにしてあります";
        EXPECT_EQ(s->ui.boxes, boxIf(!c.ok, {c.fromSave ? tooMuch : "100円以上300000円以下に設定してください", "エラー", kStyleNotice}));
        if (!c.ok && c.fromSave) {
            EXPECT_EQ(d.read("baken.txt"), c.save);
        }
        if (!c.ok) continue;
        EXPECT_EQ(s->rec.mochikin, c.money) << c.cmd << "|" << c.save;
        EXPECT_EQ(s->rec.bakenpath.empty(), !c.fromSave);
    }
}

TEST(Startup, SaveAndSettingsLeaveAClosedOrInstalledProgramFolder) {
    enum Where { Program, Temp, Home };
    enum TempKind { NoTemp, SharedTemp, RelativeTemp, PlantedTemp /* a link where our own folder goes */ };
    struct Case { bool readOnly, installed; TempKind temp; Where where; } cases[] = {
        {false, false, SharedTemp, Program},
        {true, false, SharedTemp, Temp},
        {true, false, NoTemp, Home},      // no TEMP: the data folder, created on demand
        {true, false, RelativeTemp, Home},  // a relative TEMP is ignored
        {true, false, PlantedTemp, Home},
        {false, true, SharedTemp, Home},    // installed: never beside the program, not even a probe
    };
    for (const auto& c : cases) {
        TempDir d, temp, home;
        writeData(d);
        const std::string own = temp.file("ozn-" + std::to_string(::geteuid()));
        if (c.temp == PlantedTemp) std::filesystem::create_directory_symlink(home.path(), own);
        if (c.readOnly) {  // refuses new files, also for root
            std::filesystem::create_directory(d.file("test.txt"));
            std::filesystem::permissions(d.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        } else {
            d.write("test.txt", "not a probe");
        }
        // In a shared TEMP, a folder of the player's own.
        const std::string folder[] = {d.path(), own, home.file("ozn")};
        std::filesystem::create_directories(folder[c.where]);
        std::ofstream(folder[c.where] + "/baken.txt") << " 4200 \r\n";
        std::ofstream(folder[c.where] + "/baken.txt.tmp") << " 99";  // saves killed half-way
        std::ofstream(folder[c.where] + "/baken.txt.tmp-Ab12Cd") << " 98";
        GameRecord rec;
        FakeUi ui;
        const std::string temps[] = {"", temp.path(), "tmp", temp.path()};
        StartupEnv env{d.path(), "", temps[c.temp], home.file("ozn"), c.installed};
        ASSERT_TRUE(startUp(rec, ui, env, {}));
        EXPECT_EQ(rec.bakenpath, folder[c.where] + "/baken.txt");
        EXPECT_EQ(settingsPath(rec), folder[c.where] + "/ozn.cfg");
        EXPECT_EQ(rec.mochikin, 4200);
        EXPECT_FALSE(std::filesystem::exists(folder[c.where] + "/baken.txt.tmp"));  // removed at start
        EXPECT_FALSE(std::filesystem::exists(folder[c.where] + "/baken.txt.tmp-Ab12Cd"));
        EXPECT_EQ(c.readOnly ? "" : d.read("test.txt"), c.installed ? "not a probe" : "");  // no probe left
    }
}

TEST(SavedFiles, SettingsAndMoneyReadAndWritten) {
    struct Case { const char* content /* nullptr: no file */; int voice; } cases[] = {
        {nullptr, 4}, {"1\r\n", 1}, {"3", 3}, {"2.7\n", 2}, {"255\r\n", 255}, {"256", 4},
        {"-1", 4},    {"abc", 4},   {"", 4},  {" 2 ", 2}};
    for (const auto& c : cases) {
        TempDir d;
        if (c.content) d.write("ozn.cfg", c.content);
        EXPECT_EQ(readSettings(d.file("ozn.cfg")), c.voice) << (c.content ? c.content : "none");
    }
    TempDir d;
    writeSettings(d.file("ozn.cfg"), 2);
    EXPECT_EQ(d.read("ozn.cfg"), "2\r\n");
    writeSettings(d.file("missing/ozn.cfg"), 2);  // cannot be written: ignored
    // All that the game can hold comes back; more is refused as too large.
    for (Money m : {Money(15000), kMoneyLimit, kMoneyLimit + 1, std::numeric_limits<Money>::max()}) {
        ASSERT_TRUE(writeSaveFile(d.file("baken.txt"), m));
        const SaveRead r = readSave(d.file("baken.txt"));
        EXPECT_EQ(std::make_pair(r.state, r.money), m <= kMoneyLimit ? std::make_pair(SaveRead::State::Whole, m)
                                                                     : std::make_pair(SaveRead::State::TooLarge, Money(0)));
    }
}

TEST(Shutdown, CloseRequestAndEndProcedure) {
    enum Block { None, TempIsAFolder, SaveIsAFolder };
    struct Case {
        Money money; std::string cmd; std::deque<Answer> answers; CloseResult result;
        const char* save;  // expected content, nullptr: no file
        Block block = None;
        bool tickets = false;  // 5000 + 1000 bought, the race not yet run
    } cases[] = {
        {15000, "", {Answer::Yes}, CloseResult::Close, " 15000 \r\n"},
        {15000, "", {Answer::No}, CloseResult::Stay, " 999 \r\n"},  // declined: old save kept
        {80, "", {Answer::Yes}, CloseResult::GameOver, nullptr},     // below 100: deleted
        {100, "", {Answer::Yes}, CloseResult::Close, " 100 \r\n"},
        {5000, "1000", {Answer::Yes}, CloseResult::Close, " 999 \r\n"},  // command-line money: no save
        {20000, "", {Answer::Yes}, CloseResult::Close, " 20000 \r\n", TempIsAFolder},  // does not block the save
        // 再試行 tries again; given up, the money goes to the data folder and the player is told where.
        {20000, "", {Answer::Yes, Answer::Retry, Answer::Other}, CloseResult::Close, nullptr, SaveIsAFolder},
        // Quitting before the race gives the stakes back; staying keeps the tickets.
        {9000, "", {Answer::Yes}, CloseResult::Close, " 15000 \r\n", None, true},
        {9000, "", {Answer::No}, CloseResult::Stay, " 999 \r\n", None, true},
    };
    for (const auto& c : cases) {
        TempDir d;
        writeData(d);
        d.write("baken.txt", " 999 \r\n");
        auto s = start(d, c.cmd);
        ASSERT_TRUE(s->ok);
        if (c.block == TempIsAFolder) std::filesystem::create_directory(d.file("baken.txt.tmp"));
        if (c.block == SaveIsAFolder) std::filesystem::remove(d.file("baken.txt")), std::filesystem::create_directory(d.file("baken.txt"));
        s->rec.mochikin = c.money;
        s->rec.voicemode = 3;
        s->ui.answers = c.answers;
        if (c.tickets) s->rec.tancount = 1, s->rec.tankin[0] = 5000, s->rec.umacount = 1, s->rec.umakin[0] = 1000;
        FakeMp3 mp3;
        EXPECT_EQ(closeRequest(s->rec, s->ui, mp3, heldStakes(s->rec)), c.result) << c.money;
        EXPECT_EQ(s->rec.mochikin, c.tickets && c.result == CloseResult::Close ? 15000 : c.money);
        EXPECT_EQ(d.read("ozn.cfg"), "3\r\n");  // written whatever the answer
        const std::string refund = c.tickets ? "\r\nまだ走っていないレースの馬券代 6000円は持ち金に戻します" : "";
        std::vector<Box> boxes{{"終了しますか?" + refund, "", kStyleYesNoQuestion}};
        if (c.block == SaveIsAFolder)
            boxes.insert(boxes.end(), {{"ファイル書きこみエラーです", "エラー", kStyleNotice}, {"ファイル書きこみエラーです", "エラー", kStyleNotice},
                                       {"持ち金を " + d.file("home/baken.txt") + " に保存しました", "", kStyleOk}});
        EXPECT_EQ(s->ui.boxes, boxes);
        EXPECT_EQ(mp3.frees, c.answers[0] == Answer::Yes ? 1 : 0);
        if (c.block != SaveIsAFolder) EXPECT_EQ(d.exists("baken.txt") ? d.read("baken.txt") : "no file", c.save ? c.save : "no file");
        else EXPECT_EQ(d.read("home/baken.txt"), " 20000 \r\n");
        std::vector<std::string> left;
        for (const auto& e : std::filesystem::directory_iterator(d.path())) left.push_back(e.path().filename());
        EXPECT_EQ(std::count_if(left.begin(), left.end(), [](const std::string& f) { return f.rfind("baken.txt.tmp-", 0) == 0; }), 0);
    }
    // The data folder by the XDG rules: a relative one is ignored.
    EXPECT_EQ(dataHomeFrom("/x/data", "/home/p"), "/x/data/ozn");
    EXPECT_EQ(dataHomeFrom("rel/data", "/home/p"), "/home/p/.local/share/ozn");
    EXPECT_EQ(dataHomeFrom(nullptr, "home"), "");
}

using namespace ozn::text;  // the numbers in texts

TEST(Text, LeadingNumber) {
    struct Case { const char* in; double out; } cases[] = {
        {"12", 12},       {" 1 2 ", 12},   {"2.5 ", 2.5},   {"-3.5x", -3.5}, {"+7", 7},   {"1e3", 1000},
        {"1e", 1},        {"abc", 0},      {"", 0},         {".5", 0.5},     {"1.2.3", 1.2}, {"07", 7},
        {"12番", 12},     {"  15000 ", 15000}, {"3d2", 300}, {"-", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(leadingNumber(c.in), c.out) << c.in;
}

TEST(Text, NumericTextAndStrictConversion) {
    struct Case { const char* in; bool numeric; } cases[] = {
        {"500", true},  {" 500", true}, {"500 ", true}, {"150.00", true}, {"1e3", true}, {"-4", true},
        {"abc00", false}, {"", false},  {" ", false},   {"1 5", false},   {"12a", false}, {".", false},
        {"4\r", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isNumericText(c.in), c.numeric) << c.in;
    EXPECT_EQ(strictNumber(" 2.5 "), 2.5);
}

TEST(Text, OddsFormats) {
    struct Case { double v; int decimals; const char* out; } cases[] = {
        {2.25, 1, "2.3"},   {1.625, 1, "1.6"}, {0.7 * 1.5, 1, "1.1"}, {12, 1, "12."},  {2.0, 2, "2."},
        {1.249, 2, "1.25"}, {1.25, 1, "1.3"},  {1.44, 1, "1.4"},      {0.04, 1, "0."}, {0.05, 1, "0.1"},
        {9.96, 1, "10."},   {99.95, 1, "100."}, {1234567.891, 2, "1234567.89"}, {-2.25, 1, "-2.3"},
        {0.004, 2, "0."},   {3.0, 1, "3."},    {1e-20, 1, "0."},      {2.35, 2, "2.35"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatOdds(c.v, c.decimals), c.out) << c.v;
    EXPECT_EQ(oneDecimal("12."), "12.0");
    EXPECT_EQ(oneDecimal("1.6"), "1.6");
    EXPECT_DOUBLE_EQ(roundOdds(1.249, 2), 1.25);
}

TEST(Text, RoundHalfEven) {
    struct Case { double v; long long lo, hi; std::optional<long long> out; } cases[] = {
        {2.5, 0, 255, 2},       {3.5, 0, 255, 4},     {-2.5, -10, 10, -2}, {255.4, 0, 255, 255},
        {255.5, 0, 255, std::nullopt}, {-0.6, 0, 255, std::nullopt}, {NAN, 0, 9, std::nullopt},
        {1e300, 0, 9223372036854775807LL, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(roundHalfEven(c.v, c.lo, c.hi), c.out) << c.v;
}

TEST(Text, RoundingInUnitsAgreesWithTheText) {
    // Products of odds, including ones that sit on a half only in their text.
    const double factors[] = {0.4, 0.9, 1.5, 1.25, 0.7, 1.1, 2.35, 12.5, 1.3, 0.05, 3.33};
    for (double a : factors)
        for (double b : factors)
            for (int d = 1; d <= 2; ++d) {
                double x = a * b;
                EXPECT_DOUBLE_EQ(static_cast<double>(roundOddsUnits(x, d)) / (d == 1 ? 10 : 100), roundOdds(x, d))
                    << a << "*" << b;
            }
    EXPECT_EQ(std::vector<long long>({roundOddsUnits(0.7 * 1.5, 1), roundOddsUnits(1.249, 2)}), std::vector<long long>({11, 125}));
    EXPECT_EQ(tenthsText(125) + " " + tenthsText(120) + " " + tenthsText(3), "12.5 12.0 0.3");
}
