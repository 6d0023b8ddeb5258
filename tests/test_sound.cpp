#include <gtest/gtest.h>
#include <SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <map>
#include <mutex>
#include <condition_variable>
#include <thread>
#include <sys/stat.h>

#include "betting/betting.h"
#include "fakes.h"
#include "sound/audio.h"
#include "sound/engines.h"
#include "sound/keytable.h"
#include "sound/readings.h"
#include "sound/soundsettings.h"
#include "sound/voice.h"
#include "tempdir.h"

using namespace ozn;
using namespace ozn::test;

namespace {

double rms(const Pcm& pcm) {
    double sum = 0;
    for (auto s : pcm.samples) sum += static_cast<double>(s) * s;
    return pcm.samples.empty() ? 0 : std::sqrt(sum / pcm.samples.size());
}

}  // namespace

// Which engines a text is handed to, in order, as the transcript logs them;
// the last one says it, whole and waited for, unless it is the clipboard.
TEST(Voice, DispatchFallbackAndScreenReaderFirstUse) {
    struct Case {
        int voicemode; bool screenReader, first, secondExists, secondWorks, newSecond, third; int after; const char* routes;
    } cases[] = {
        {4, false, true, false, false, false, true, 1, "jtalk"},              // first use finds engine 1
        {4, false, false, false, false, false, true, 3, "jtalk speechd"},     // no 1, no 2 to create: ends at 3
        {4, false, false, false, false, true, true, 2, "jtalk espeak"},       // no 1: a new engine 2
        {2, false, true, false, false, false, true, 2, "speechd"},            // 2 absent: spoken by 3, stays 2
        {1, false, false, true, true, false, true, 1, "jtalk espeak"},        // 1 fails: 2 speaks, stays 1
        {3, false, true, true, true, false, false, 3, "speechd clipboard"},   // 3 fails: the clipboard
        {4, false, false, false, false, false, false, 3, "jtalk speechd clipboard"},
        {0, false, true, false, false, false, false, 1, "jtalk"},
        {4, true, true, false, false, false, true, 3, "speechd"},             // the screen reader's engine first
        {4, true, true, false, false, false, false, 1, "speechd jtalk"},      // not there: the usual search
        {4, true, false, false, false, false, false, 3, "speechd jtalk clipboard"},  // 3 is not asked twice
    };
    TempDir dir;
    const std::string text = "単勝 1番2.3倍\r\n残り持ち金は 11350円です", path = dir.file("speech.log");
    for (const auto& c : cases) {
        std::remove(path.c_str());
        GameRecord rec;
        rec.voicemode = static_cast<std::uint8_t>(c.voicemode);
        FakeUi ui;
        FakeEngine one(c.first);
        auto two = std::make_shared<FakeEngine>(c.secondWorks), three = std::make_shared<FakeEngine>(c.third),
             created = std::make_shared<FakeEngine>();
        if (c.secondExists) rec.pctkvoice = two;
        rec.sapivoice = three;
        SpeechLog log(std::fopen(path.c_str(), "a"));
        VoiceDispatcher d(rec, ui, &one, [&]() -> std::shared_ptr<SpeechEngine> { return c.newSecond ? created : nullptr; },
                          &log);
        d.setScreenReader(c.screenReader);
        d.reading(text, SpeakMode::Wait);
        EXPECT_EQ(rec.voicemode, c.after) << c.routes;
        std::string routes;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {  // milliseconds, engine, text
            auto t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
            ASSERT_NE(t2, std::string::npos) << line;
            EXPECT_GE(std::stol(line.substr(0, t1)), 0);
            const std::string route = line.substr(t1 + 1, t2 - t1 - 1);
            routes += (routes.empty() ? "" : " ") + route;
            // Each synthesiser is handed the text as it is to be said; the
            // screen reader's server and the clipboard get it as written.
            const char* expected = route == "jtalk"    ? "たんしょう 1番2.3倍\\n残りもちがねは 11350円です"
                                   : route == "espeak" ? "たんしょう いちバンにてんさんバイ\\nノコリもちがねわ いちまんせんさんびゃくごじゅうエンです"
                                                       : "単勝 1番2.3倍\\n残り持ち金は 11350円です";
            EXPECT_EQ(line.substr(t2 + 1), expected);
        }
        EXPECT_EQ(routes, c.routes);
        const bool toClipboard = routes.ends_with("clipboard");
        EXPECT_EQ(ui.clipboard, toClipboard ? text : "") << c.routes;
        std::vector<std::string> heard;
        for (FakeEngine* e : {&one, two.get(), three.get(), created.get()})
            for (std::size_t i = 0; i < e->said.size(); ++i) heard.push_back(e->modes[i] == SpeakMode::Wait ? "waited" : "not waited");
        EXPECT_EQ(heard, std::vector<std::string>(toClipboard ? 0 : 1, "waited")) << c.routes;
    }
}

// The window's tests hear the usual dialogs and menus; these are the rarer shapes,
// and how a text is cut into phrases and its silence trimmed.
TEST(Voice, WhatIsSaidAndHowItIsCut) {
    EXPECT_EQ(dialogSpeech("ozn", "馬連の馬番を0715などのように四桁で入れて下さい", {}, "0715"),
              "馬連の馬番を0715などのように四桁で入れて下さい\r\n0715");
    EXPECT_EQ(dialogSpeech("予想紙", " 3番 7番\n\r", {"OK"}), "予想紙\r\n 3番 7番\n\r\r\nOK");
    EXPECT_EQ(menuItemSpeech("その他(&o)", ""), "その他");
    EXPECT_EQ(menuItemSpeech("A&&B", ""), "A&B");
    EXPECT_EQ(purchaseSpeech({6, {15, 7, 3}, 1200}), "３連単 15番7番3番 1200円 買いました");
    EXPECT_EQ(purchaseSpeech({2, {18, 0, 0}, 100}), "副賞 18番 100円 買いました");
    // Line breaks become pauses.
    EXPECT_EQ(speakableText("単勝の選択\r\n3番 X"), "単勝の選択、3番 X");
    EXPECT_EQ(speakableText("\r\n副賞 \r\n4番100円"), "副賞 、4番100円");
    EXPECT_EQ(speakableText("2番 5番\n\r"), "2番 5番、");
    // Silence around a phrase is trimmed, and texts are said a phrase at a time.
    Pcm pcm{1000, std::vector<std::int16_t>(1000, 5)};
    for (int i = 400; i < 500; ++i) pcm.samples[i] = 8000;
    trimSilence(pcm);
    EXPECT_EQ(pcm.samples.size(), 20u + 100u + 83u);  // 20 ms before, 83 ms after at 1 kHz
    EXPECT_EQ(pcm.samples[20], 8000);
    Pcm quiet{1000, std::vector<std::int16_t>(100, 0)};
    trimSilence(quiet);
    EXPECT_EQ(quiet.samples.size(), 100u);  // nothing to hear: left alone
    EXPECT_EQ(phrases("単勝の選択、1番 X 2.4 倍"),
              (std::vector<std::string>{"単勝の選択、", "1番", "X", "2.4", "倍"}));
}

// F9: the next engine; from anything that is not one of the three, engine 1.
TEST(Voice, MenuCycle) {
    for (auto [from, to] : {std::pair{1, 2}, {2, 3}, {3, 1}, {4, 1}, {255, 1}, {0, 1}}) {
        GameRecord rec;
        rec.voicemode = static_cast<std::uint8_t>(from);
        switchVoice(rec);
        EXPECT_EQ(rec.voicemode, to) << from;
    }
}

// An engine still being made is waited for while it comes within the bound;
// one that does not come by then counts as failed. What decides is when it
// is released, not how long anything takes.
TEST(Voice, AnEngineMadeAsideIsWaitedForUpToItsBound) {
    using namespace std::chrono;
    enum When { Before, WhileWaiting, After, NeededLate };
    for (When when : {Before, WhileWaiting, After, NeededLate}) {
        auto engine = std::make_shared<FakeEngine>();
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        // Everything by value: the thread may outlive this round, and the test.
        auto pending = PendingEngine::start([engine, released]() -> std::shared_ptr<SpeechEngine> {
            released.wait();
            return engine;
        }, when == After || when == NeededLate ? milliseconds(300) : seconds(30));
        // Slow to start, and first needed after its bound from the start:
        // waited for from then on, not written off.
        if (when == NeededLate) std::this_thread::sleep_for(milliseconds(400));
        if (when == Before) {
            release.set_value();
            ASSERT_TRUE(pending->resolve());
        }
        std::thread releaser;
        if (when == WhileWaiting || when == NeededLate)
            releaser = std::thread([&release, when] {
                if (when == NeededLate) std::this_thread::sleep_for(milliseconds(50));
                release.set_value();
            });
        // As engine 3 of the dispatch: a failure ends on the clipboard.
        GameRecord rec;
        rec.voicemode = 3;
        rec.sapivoice = pending;
        FakeUi ui;
        VoiceDispatcher d(rec, ui, nullptr, nullptr);
        d.reading("持ち金は 15000円です");  // an engine that never answers would hang here
        if (releaser.joinable()) releaser.join();
        if (when == After) release.set_value();
        EXPECT_EQ(engine->said.empty(), when == After) << when;
        EXPECT_EQ(ui.clipboard.empty(), when != After) << when;
    }
}

// speech-dispatcher's notices come late and out of order: the newest id
// counts. A connection made after its caller gave up is closed.
TEST(Voice, SpeechdNoticesAndALateConnection) {
    MessageIds ids;
    ids.said(5, false);
    ids.said(6, true);
    ids.ended(6);
    ids.ended(5);  // the cancel of the older one, late
    EXPECT_FALSE(ids.speaking());
    EXPECT_FALSE(ids.commentaryOn());
    ids.said(7, true);
    EXPECT_TRUE(ids.speaking() && ids.commentaryOn());
    auto closed = std::make_shared<std::promise<void*>>();
    static int connection;
    void* made = openWithin([] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); return static_cast<void*>(&connection); },
                            [closed](void* c) { closed->set_value(c); }, 20);
    EXPECT_EQ(made, nullptr);
    auto late = closed->get_future();
    ASSERT_EQ(late.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(late.get(), &connection);
    EXPECT_EQ(openWithin([] { return static_cast<void*>(&connection); }, [](void*) { ADD_FAILURE(); }, 5000), &connection);
}

// Sounds are kept per voice; made ahead, they are not made again; a voice
// whose settings changed keeps nothing; queued texts and the race's calls
// follow what is being said, and only stop() cuts the calls off.
TEST(Audio, SpeechChannelCacheQueueAndCommentary) {
    SpeechChannel channel;
    std::mutex m;
    std::condition_variable cv;
    std::map<std::string, int> made;  // per voice
    std::vector<std::string> order;   // phrases as they are heard
    auto synth = [&](const std::string& voice, int samples = 400) {
        return [&, voice, samples](const std::string&) {
            std::lock_guard lock(m);
            ++made[voice];
            cv.notify_all();
            return std::optional<Pcm>(Pcm{8000, std::vector<std::int16_t>(samples, 4000)});
        };
    };
    // Waiting is the dispatcher's: here each text is heard out before the next.
    auto heard = [&](bool said) {
        for (int i = 0; i < 2000 && channel.speaking(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return said;
    };
    if (!heard(channel.say("1番", "a", synth("a"), SpeakMode::Wait))) GTEST_SKIP() << "no audio device";
    heard(channel.say("1番", "a", synth("a"), SpeakMode::Wait));  // again: from the cache
    heard(channel.say("1番", "b", synth("b"), SpeakMode::Wait));  // another engine makes its own
    EXPECT_EQ(made, (std::map<std::string, int>{{"a", 1}, {"b", 1}}));
    // Made ahead, a phrase at a time: saying them later makes nothing more.
    channel.prefetch({"2番 ミナモ", "3番 カガミ"}, "c", synth("c"));
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return made["c"] == 4; }));
    }
    EXPECT_TRUE(channel.has("ミナモ", "c"));
    heard(channel.say("3番 カガミ", "c", synth("c"), SpeakMode::Wait));
    EXPECT_EQ(made["c"], 4);
    // New settings: nothing made before is kept, so it is made anew.
    channel.forget("c");
    EXPECT_FALSE(channel.has("ミナモ", "c"));
    heard(channel.say("2番", "c", synth("c"), SpeakMode::Wait));
    EXPECT_EQ(made["c"], 5);
    // A call of the race (8000 samples: a second) is not cut off by a text
    // that comes meanwhile; that text follows it. Queued texts follow too.
    channel.setPlayedHook([&](const std::string& phrase) {
        std::lock_guard lock(m);
        order.push_back(phrase);
    });
    channel.say("先頭 サンダー", "d", synth("d", 8000), SpeakMode::Commentary);
    channel.say("割り込み", "d", synth("d"), SpeakMode::Interrupt);
    channel.say("あと", "d", synth("d"), SpeakMode::Queue);
    heard(channel.say("おわり", "d", synth("d"), SpeakMode::Wait));
    EXPECT_EQ(order, (std::vector<std::string>{"先頭", "サンダー", "割り込み", "あと", "おわり"}));
    EXPECT_FALSE(channel.speaking());
    // stop(): the call and everything queued behind it end at once.
    channel.say("一 二 三 四", "e", synth("e", 8000), SpeakMode::Commentary);
    channel.say("五", "e", synth("e"), SpeakMode::Queue);
    EXPECT_TRUE(channel.speaking());
    channel.stop();
    EXPECT_FALSE(channel.speaking());
    channel.say("六", "e", synth("e"), SpeakMode::Interrupt);  // not held back by the stopped call
    EXPECT_TRUE(channel.speaking());
    // A first phrase that cannot be made hands the whole text on, unheard.
    std::promise<std::string> handed;
    channel.say("十 十一", "g", [](const std::string&) { return std::optional<Pcm>(); }, SpeakMode::Interrupt,
                [&](const std::string& rest) { handed.set_value(rest); });
    auto rest = handed.get_future();
    ASSERT_EQ(rest.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(rest.get(), "十 十一");
    // Fixed texts asked for again (each step of a setting) are queued once;
    // the one being made is not queued again either.
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    auto held = [&, open](const std::string& phrase) {
        open.wait();
        return synth("h")(phrase);
    };
    channel.prefetchIdle({"甲 乙", "丙"}, "h", held);
    for (int i = 0; i < 400 && channel.idleQueued() == 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    channel.prefetchIdle({"甲 乙", "丙"}, "h", held);
    EXPECT_EQ(channel.idleQueued(), 2u);
    gate.set_value();
    for (int i = 0; i < 400 && !channel.has("丙", "h"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(made["h"], 3);
    // A new text is made in pieces side by side: its first phrase alone, then
    // two at a time; it starts once its second piece is made too, so no
    // pause falls in the middle.
    std::vector<std::string> events;
    channel.setPlayedHook([&](const std::string& phrase) {
        std::lock_guard lock(m);
        events.push_back("played " + phrase);
    });
    auto slow = [&](const std::string& piece) {
        std::this_thread::sleep_for(std::chrono::milliseconds(piece == "一" ? 10 : piece == "二 三" ? 200 : 600));
        std::lock_guard lock(m);
        events.push_back("made " + piece);
        return std::optional<Pcm>(Pcm{8000, std::vector<std::int16_t>(400, 4000)});
    };
    heard(channel.say("一 二 三 四、五", "i", slow, SpeakMode::Interrupt));
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 4),
              (std::vector<std::string>{"made 一", "made 二 三", "played 一", "played 二 三"}));
    // Once shut down (before the engines go), no engine is asked for anything.
    channel.shutdown();
    const int before = made["f"];
    channel.prefetch({"七 八"}, "f", synth("f"));
    EXPECT_FALSE(channel.say("九", "f", synth("f"), SpeakMode::Wait));
    EXPECT_EQ(made["f"], before);
}

// A transcript named by OZN_SPEECH_LOG that is a pipe nobody reads is
// dropped at once instead of holding up the start.
TEST(Voice, TranscriptOnAPipeWithoutReaderDoesNotBlock) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    setenv("OZN_SPEECH_LOG", fifo.c_str(), 1);
    auto opened = std::async(std::launch::async, [] { return SpeechLog::fromEnvironment() != nullptr; });
    // A blocking open would never return: bounded, so that the test cannot hang.
    ASSERT_EQ(opened.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(opened.get());
    setenv("OZN_SPEECH_LOG", dir.file("log.txt").c_str(), 1);
    EXPECT_TRUE(SpeechLog::fromEnvironment());  // a plain file still takes it
    unsetenv("OZN_SPEECH_LOG");
}

TEST(RealEngines, OpenJTalkAndEspeakSpeakAListEntry) {
    SpeechChannel channel;
    OpenJTalkEngine jtalk(channel);
    auto espeak = EspeakEngine::create(channel);
    if (!jtalk.available() || !espeak) GTEST_SKIP() << "Open JTalk or espeak-ng is missing";
    const std::string entry = "3番 サンダーダスト 2.4 倍 1番人気)";
    for (const auto& pcm : {jtalk.synthesize(entry), espeak->synthesize(entry)}) {
        ASSERT_TRUE(pcm);
        EXPECT_GT(pcm->samples.size(), static_cast<std::size_t>(pcm->rate / 2));  // over half a second
        EXPECT_GT(rms(*pcm), 300.0);                                               // and not silent
    }
    // The next speed step, made ahead in the voice it will be said in, is
    // there when the step comes.
    jtalk.prefetchIn({110, 0, 100}, {"速さ 110%"});
    jtalk.setParams({110, 0, 100});
    auto madeAhead = [&] { return channel.has("速さ", jtalk.voice()) && channel.has("110%", jtalk.voice()); };
    for (int i = 0; i < 1000 && !madeAhead(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(madeAhead());
    OpenJTalkEngine missing(channel, {"open_jtalk", "/nonexistent", "/nonexistent.htsvoice"});
    EXPECT_FALSE(missing.synthesize("テスト"));
    EXPECT_FALSE(missing.speak("テスト", SpeakMode::Interrupt, Topic::Info));
}

// Open JTalk as a program: one that hangs is given up at the limit, and
// one whose end cannot be waited for has failed, whatever it wrote.
TEST(RealEngines, AJTalkThatHangsOrCannotBeWaitedForFails) {
    TempDir dir;
    dir.write("hang", "#!/bin/sh\nexec sleep 1000\n");
    dir.write("ok", "#!/bin/sh\nwhile [ \"$1\" != -ow ]; do shift; done\ncp " OZN_BUILD_DIR "/fx-bought.wav \"$2\"\n");
    ::chmod(dir.file("hang").c_str(), 0755);
    ::chmod(dir.file("ok").c_str(), 0755);
    SpeechChannel channel;
    struct Case { const char* program; bool childrenIgnored, made; } cases[] = {
        {"ok", false, true}, {"ok", true, false}, {"hang", false, false}};
    for (const Case& c : cases) {
        OpenJTalkEngine engine(channel, {dir.file(c.program), dir.path(), dir.path(), std::chrono::milliseconds(300)});
        if (c.childrenIgnored) std::signal(SIGCHLD, SIG_IGN);  // no status to wait for
        EXPECT_EQ(engine.synthesize("テスト").has_value(), c.made) << c.program;
        std::signal(SIGCHLD, SIG_DFL);
    }
}

TEST(RealEngines, AnEmptyTextWithoutASoundDeviceStillReachesTheClipboard) {
    AudioDevice::instance().close();
    const std::string before = std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "dummy";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);  // no device: only the silent stand-in
    SpeechChannel channel;
    OpenJTalkEngine jtalk(channel);
    for (int voicemode : {1, 2, 3, 4}) {
        GameRecord rec;
        rec.voicemode = static_cast<std::uint8_t>(voicemode);
        rec.pctkvoice = EspeakEngine::create(channel);
        FakeUi ui;
        ui.clipboard = "前の文";
        VoiceDispatcher d(rec, ui, &jtalk, [&] { return EspeakEngine::create(channel); });
        d.reading("");
        EXPECT_EQ(ui.clipboard, "") << "voice setting " << voicemode;
    }
    AudioDevice::instance().close();
    setenv("SDL_AUDIODRIVER", before.c_str(), 1);
}

TEST(RealEngines, Mp3WaitsForItsLength) {
    TempDir d;
    std::string cmd = "sox -q -n -r 44100 -c 1 -t wav - synth 1.2 sine 440 2>/dev/null | lame --quiet - " +
                      d.file("one.mp3") + " 2>/dev/null";
    if (std::system(cmd.c_str()) != 0 || !d.exists("one.mp3")) GTEST_SKIP() << "sox and lame are needed";
    SdlMp3Player mp3;
    mp3.init();
    if (!AudioDevice::instance().isOpen()) GTEST_SKIP() << "no audio, not even the dummy driver";
    auto seconds = [&](const char* file) {
        auto start = std::chrono::steady_clock::now();
        const bool started = mp3.start(d.file(file));
        while (mp3.playing()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return started ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() : -1.0;
    };
    // It cannot end before the sound has been played (a bound that no load can break).
    EXPECT_GE(seconds("one.mp3"), 1.1);
    EXPECT_FALSE(mp3.skipped());
    EXPECT_GE(mp3.position(), 1.1);  // and its clock goes on past the end
    EXPECT_EQ(seconds("missing.mp3"), -1.0);  // nothing to wait for
    EXPECT_NEAR(mp3.length(d.file("one.mp3")), 1.2, 0.1);
    EXPECT_EQ(mp3.length(d.file("missing.mp3")), 0);
    // Escape ends it at once, and says so until the next music begins.
    ASSERT_TRUE(mp3.start(d.file("one.mp3")));
    EXPECT_TRUE(mp3.playing() && mp3.position() < 0.5);
    mp3.skip();
    EXPECT_TRUE(!mp3.playing() && mp3.skipped());
    ASSERT_TRUE(mp3.start(d.file("one.mp3")));
    EXPECT_FALSE(mp3.skipped());

    // Volumes reach the mixer: music lowered under a call, effects beside speech's channel.
    mp3.setMusicVolume(50);
    EXPECT_EQ(Mix_VolumeMusic(-1), 64);
    mp3.duck(true);
    EXPECT_EQ(Mix_VolumeMusic(-1), 25);
    mp3.duck(false);
    mp3.setEffectVolume(30);
    EXPECT_EQ(std::vector<int>({Mix_Volume(0, -1), Mix_Volume(1, -1), Mix_Volume(3, -1)}), std::vector<int>({128, 38, 38}));
    cmd = "sox -q -n -r 44100 -c 1 -b 16 " + d.file("fx-won.wav") + " synth 0.5 sine 880";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::FILE* f = std::fopen(d.file("log").c_str(), "w");
    SpeechLog log(f);
    mp3.setLog(&log);
    mp3.effect(d.path() + "/", Effect::Won);
    mp3.effect(d.path() + "/", Effect::Gate);  // no such file: only its line
    EXPECT_EQ(std::vector<int>({Mix_Playing(0), Mix_Playing(-1)}), std::vector<int>({0, 1}));
    mp3.setLog(nullptr);
    std::fflush(f);
    EXPECT_NE(d.read("log").find("\teffect\twon\n"), std::string::npos) << d.read("log");
    EXPECT_NE(d.read("log").find("\teffect\tgate\n"), std::string::npos);

    mp3.free();  // released: nothing plays any more
    EXPECT_FALSE(mp3.playing());
    EXPECT_EQ(seconds("one.mp3"), -1.0);
}

// The game's words as said, key names as words, no decorative symbols; and
// espeak-ng never gets a kanji.
TEST(Voice, ReadingsAndKana) {
    const std::pair<const char*, const char*> words[] = {
        {"馬連 7番15番", "うまれん 7番15番"},  {"持ち金は 15000円です", "もちがねは 15000円です"},
        {"3連探", "さんれんたん"},             {"３連探", "さんれんたん"},
        {"探勝", "たんしょう"},                {"探副オッズ", "たんぷくオッズ"},
        {"３連副の馬番を071518などのように六桁で入れて下さい", "さんれんぷくのうまばんを071518などのように六桁で入れて下さい"},
        {"３連複の選択", "さんれんぷくの選択"}, {"予想しを見る F8", "よそうしをみる F8"},
        {"拡大 Ctrl++", "拡大 コントロール プラス"}, {"Ctrl+上、読み上げを速くします", "コントロール 上、読み上げを速くします"},
        {"■ 今開催の成績", " 今開催の成績"}, {"芝1200m", "芝1200メートル"}, {"Shift+PageDown", "シフト ページダウン"},
        // Checked with Open JTalk's own analysis of what it says.
        {"一つ下の項目へ、一つ上", "一つしたの項目へ、一つうえ"}, {"10項目下へ", "10項目したへ"},
        {"10項目上へ、1画面下へ、1画面上へ", "10項目うえへ、1がめんしたへ、1がめんうえへ"},
        {"1〜3番人気 5～20倍", "1から3ばんにんき 5から20倍"}, {"3 7日、4 30日", "3 7日間、4 30日間"}, {"12月7日", "12月7日"},
        {"2026-12-07 15:43 第2開催", "12月7日 15時43分 第2開催"}, {"09:05:10 馬連", "9時5分10秒 うまれん"},
        {"ながしは 07-01 03、フォーメーションは 07/01", "ながしは 07ハイフン01 03、フォーメーションは 07スラッシュ01"},
        {"「-」と「/」", "「ハイフン」と「スラッシュ」"}, {"1番 ミナモ 12.倍 1番人気)", "1番 ミナモ 12倍 1ばんにんき)"},
        {"2.4倍", "2.4倍"}, {"1番 トオイヤマナミ 22.5 倍 9番人気)", "1番 トオイヤマナミ 22.5倍 9ばんにんき)"}, {"8. 倍", "8倍"}};
    for (const auto& [written, said] : words) EXPECT_EQ(withReadings(written), said) << written;
    // Echoed marks and rule lines by name: no synthesiser says " ", "/" or "====".
    const std::pair<const char*, const char*> typed[] = {{" ", "スペース"}, {"/", "スラッシュ"}, {"-", "ハイフン"}, {"7", "7"}};
    for (const auto& [ch, said] : typed) EXPECT_EQ(typedCharacter(ch), said) << ch;
    const std::pair<const char*, const char*> lines[] = {
        {"", "空行"}, {"　 ", "空行"}, {"========", "区切り線"}, {"  1着 10番", "  1着 10番"}, {"-300円", "-300円"}};
    for (const auto& [line, said] : lines) EXPECT_EQ(lineSpeech(line), said) << line;
    KanaReader kana;
    ASSERT_TRUE(kana.available()) << "MeCab and its dictionary are installed by the set-up";
    for (const char* text : {"第3レース 菊花賞 芝3000m 持ち金 15000円", "着順結果\r\n1着 15番", "金額を入力して下さい。"}) {
        const std::string k = kana.toKana(withReadings(text));
        EXPECT_FALSE(hasKanji(k)) << k;
        EXPECT_EQ(std::count(k.begin(), k.end(), ' '), std::count(text, text + std::strlen(text), ' ')) << k;
    }
    EXPECT_EQ(kana.toKana("第3レース 菊花賞"), "ダイ3レース キッカショウ");
    EXPECT_EQ(kana.toKana("もちがねは 15000円です 項目へ"), "もちがねわ 15000エンです コウモクえ");  // particles as said
    // espeak-ng: numbers as kana words, the long-vowel mark as its vowel.
    const std::pair<const char*, const char*> espeak[] = {
        {"14.8倍", "じゅうよんてんはち倍"}, {"15000円", "いちまんごせん円"}, {"4レース", "よんレえス"}, {"07", "ぜろなな"},
        {"速さ 110%", "速さ ひゃくじゅうぱあせんと"}, {"ーキョー", "キョお"}, {"2026 3800 600 11", "にせんにじゅうろく さんぜんはっぴゃく ろっぴゃく じゅういち"},
        {"100000000 10000 0", "いちおく いちまん ぜろ"}};
    for (const auto& [text, said] : espeak) EXPECT_EQ(forEspeak(text), said) << text;
}

// Settings: kept as whole numbers, clamped, stepped by the keys, and put in
// each engine's own terms.
TEST(SoundSettings, ClampStepsAndEngineTerms) {
    SoundSettings wild = SoundSettings::fromValues({{"sound/speed", 900}, {"sound/pitch", -30}, {"sound/speechVolume", 0},
                                                    {"sound/musicVolume", -5}, {"sound/effectVolume", 101}, {"sound/commentary", 0}});
    EXPECT_EQ(wild, (SoundSettings{300, -10, 10, 0, 100, false}));
    EXPECT_EQ(SoundSettings::fromValues({}), SoundSettings{});
    SoundSettings kept{130, 3, 80, 40, 70, false};
    EXPECT_EQ(SoundSettings::fromValues(kept.values()), kept);
    struct Step { int from, direction; bool speed; int to; const char* said; } steps[] = {
        {100, 1, true, 110, "速さ 110%"}, {300, 1, true, 300, "速さ 300%"}, {55, -1, true, 50, "速さ 50%"},
        {55, 1, true, 60, "速さ 60%"},    {50, -1, true, 50, "速さ 50%"},   {100, 1, false, 100, "音量 100%"},
        {100, -1, false, 90, "音量 90%"}, {10, -1, false, 10, "音量 10%"},
        {75, -1, true, 70, "速さ 70%"},   {75, -1, false, 70, "音量 70%"}};  // odd values fall in step
    for (const Step& c : steps) {
        SoundSettings s;
        (c.speed ? s.speed : s.speechVolume) = c.from;
        EXPECT_EQ(c.speed ? stepSpeed(s, c.direction) : stepVolume(s, c.direction), c.said) << c.from;
        EXPECT_EQ(c.speed ? s.speed : s.speechVolume, c.to) << c.from;
    }
    struct Terms { SpeechParams p; std::vector<std::string> jtalk; double tempo; EspeakParams espeak; SpeechdParams speechd; int sdl; } terms[] = {
        {{100, 0, 100}, {"-fm", "0"}, 1.0, {175, 50, 1.0}, {0, 0, 100}, 128},
        {{200, 4, 50}, {"-fm", "4"}, 2.0, {350, 70, 1.0}, {50, 40, 0}, 64},
        {{50, -10, 10}, {"-fm", "-10"}, 0.5, {87, 0, 1.0}, {-100, -100, -80}, 13},
        {{300, 10, 70}, {"-fm", "10"}, 3.0, {450, 100, 525.0 / 450}, {100, 100, 40}, 90}};  // espeak-ng's top is 450
    for (const Terms& t : terms) {
        EXPECT_EQ(jtalkOptions(t.p), t.jtalk) << t.p.speed;
        EXPECT_EQ(jtalkTempo(t.p), t.tempo) << t.p.speed;
        EXPECT_EQ(espeakParams(t.p), t.espeak) << t.p.speed;
        EXPECT_EQ(speechdParams(t.p), t.speechd) << t.p.speed;
        EXPECT_EQ(channelVolume(t.p), t.sdl) << t.p.speed;
    }
}

// The history: stepping with its place, its two ends, a new text bringing the
// place back to the newest, and only the last 200 kept.
TEST(Voice, MessageHistorySteps) {
    MessageHistory h;
    EXPECT_EQ(h.older(), "履歴はありません");
    for (const char* t : {"一", "二", "三", "四"}) h.add(t);
    EXPECT_EQ(h.current(), "四");
    EXPECT_EQ(h.newer(), "これが最新です");
    EXPECT_EQ(h.older(), "1つ前、三");
    EXPECT_EQ(h.older(), "2つ前、二");
    EXPECT_EQ(h.current(), "二");  // F3 repeats where the player stands
    EXPECT_EQ(h.older(), "3つ前、一");
    EXPECT_EQ(h.older(), "これより前はありません");
    EXPECT_EQ(h.newer(), "2つ前、二");
    h.add("五");
    EXPECT_EQ(h.place(), 0u);
    EXPECT_EQ(h.older(), "1つ前、四");
    for (int i = 0; i < 300; ++i) h.add(std::to_string(i));
    EXPECT_EQ(h.messages().size(), 200u);
    EXPECT_EQ(h.messages().back().text, "100");
    h.add("馬連\r\n7番");
    EXPECT_EQ(h.lines().front().substr(8), " 馬連 7番");  // after its time, HH:MM:SS
}

// What each text does to the engines and to the history: the settings reach
// every engine (one made later too, before it speaks), stop() empties the
// queue, and only news is kept.
TEST(Voice, DispatcherSettingsStopAndWhatIsKept) {
    GameRecord rec;
    rec.voicemode = 1;
    FakeUi ui;
    FakeEngine one;
    auto two = std::make_shared<FakeEngine>(), three = std::make_shared<FakeEngine>();
    rec.sapivoice = three;
    VoiceDispatcher d(rec, ui, &one, [&] { return two; });
    d.prefetchIdle({"発送 F2", "馬連の選択"});  // made ahead as said, and made again in a new voice
    const SpeechParams p{130, 2, 70};
    d.setParams(p);
    EXPECT_EQ(one.params, std::vector<SpeechParams>{p});
    EXPECT_EQ(one.fixed, (std::vector<std::string>{"はっそう F2", "うまれんの選択", "はっそう F2", "うまれんの選択"}));
    EXPECT_EQ(three->params, std::vector<SpeechParams>{p});
    rec.voicemode = 4;  // first use: engine 1 fails over to a new engine 2
    FakeEngine broken(false);
    VoiceDispatcher later(rec, ui, &broken, [&] { return two; });
    later.setParams(p);
    later.reading("持ち金は 15000円です");
    EXPECT_EQ(two->params, std::vector<SpeechParams>{p});
    EXPECT_EQ(two->said, std::vector<std::string>{"もちがねわ いちまんごせんエンです"});  // as espeak-ng is to say it

    rec.voicemode = 1;
    struct Said { const char* text; SpeakMode mode; Topic topic; } texts[] = {
        {"単勝の選択", SpeakMode::Interrupt, Topic::Focus}, {"1番 ミナモ", SpeakMode::Interrupt, Topic::Entry},
        {"発送 F2", SpeakMode::Interrupt, Topic::Screen},   {"金額を入力して下さい", SpeakMode::Interrupt, Topic::Dialog},
        {"先頭は3番", SpeakMode::Commentary, Topic::Info},  {"3番が抜けた", SpeakMode::Commentary, Topic::Info}};
    for (const Said& s : texts) d.reading(s.text, s.mode, s.topic);
    EXPECT_EQ(one.queue, (std::vector<std::string>{"金額を入力して下さい", "先頭は3番", "3番が抜けた"}));  // the calls queue up
    EXPECT_TRUE(d.speaking());
    d.stop();
    EXPECT_FALSE(d.speaking());
    EXPECT_TRUE(one.queue.empty());
    d.repeat();  // the call cut off is still there
    EXPECT_EQ(one.said.back(), "3番が抜けた");
    std::vector<std::string> kept;
    for (const auto& m : d.history().messages()) kept.push_back(m.text);
    EXPECT_EQ(kept, (std::vector<std::string>{"3番が抜けた", "先頭は3番", "金額を入力して下さい", "1番 ミナモ"}));
    // Beside a screen reader, what it reads itself is neither said nor kept.
    d.setScreenReader(true);
    d.reading("2番 カガミ", SpeakMode::Interrupt, Topic::Entry);
    d.reading("馬連 7番15番 500円 買いました");
    d.older();
    EXPECT_EQ(one.said.back(), "1つ前、3番が抜けた");
    // At start-up, until it is known whether a screen reader runs, the focus
    // and entries wait; the last is said once none turns out to run.
    for (bool reader : {true, false}) {
        d.setScreenReader(false);
        d.holdForScreenReader();
        d.reading("単勝の選択\r\n", SpeakMode::Queue, Topic::Focus);
        d.reading("第1レース", SpeakMode::Interrupt, Topic::Info);  // news is not held
        d.reading("1番 ミナモ", SpeakMode::Queue, Topic::Entry);
        EXPECT_EQ(one.said.back(), "第1レース");
        d.setScreenReader(reader);
        const auto before = one.said.size();
        d.releaseHeld();
        d.releaseHeld();
        EXPECT_EQ(one.said.size(), before + (reader ? 0 : 1));
        EXPECT_EQ(one.said.back(), reader ? "第1レース" : "1番 ミナモ");
        EXPECT_EQ(one.modes.back(), reader ? SpeakMode::Interrupt : SpeakMode::Queue);
    }
    // On the very first run the start-up news waits as well, so that beside a
    // screen reader the first use starts at the engine it shares.
    for (bool reader : {true, false}) {
        rec.voicemode = 4;
        three->said.clear(), one.said.clear();
        d.setScreenReader(false);
        d.holdForScreenReader();
        d.answer("第1レース", SpeakMode::Interrupt);
        d.reading("単勝の選択\r\n", SpeakMode::Queue, Topic::Focus);
        EXPECT_TRUE(one.said.empty() && three->said.empty());
        d.setScreenReader(reader);
        d.releaseHeld();
        EXPECT_EQ(rec.voicemode, reader ? 3 : 1);
        EXPECT_EQ(reader ? three->said : one.said,
                  reader ? std::vector<std::string>{"第1レース"} : (std::vector<std::string>{"第1レース", "たんしょうの選択\r\n"}));
    }
    // Only the engine that took the last text is waited for: one used before
    // whose server never tells the end no longer holds up the race.
    three->queue = {"終わりの知らせがない"};
    rec.voicemode = 1;
    d.setScreenReader(false);
    d.reading("残り持ち金は 14700円です", SpeakMode::Wait);
    EXPECT_FALSE(d.speaking());
}

// Key help and the key list come from one table; the manual and the README
// list the same keys.
TEST(Keys, HelpTableManualAndReadmeAgree) {
    struct Case { const char* key; KeyPlace place; int kind; const char* said; } cases[] = {
        {"F2", KeyPlace::Anywhere, 0, "F2、発送。レースを始めます"},
        {"F2", KeyPlace::List, 3, "F2、発送。レースを始めます"},
        {"0", KeyPlace::List, 5, "0、番号を打って買います"},
        {"0", KeyPlace::Button, 0, "このキーは使いません"},
        {"Ctrl+Up", KeyPlace::List, 1, "Ctrl+上、読み上げを速くします"},
        {"Ctrl+=", KeyPlace::Anywhere, 0, "Ctrl+Plus、拡大。画面を大きくします"},
        {"PgDown", KeyPlace::List, 2, "PageDown、1画面下へ移ります"},
        {"PgDown", KeyPlace::List, 4, "PageDown、10項目下へ移ります"},
        {"Shift+PgDown", KeyPlace::List, 4, "このキーは使いません"},
        {"Ctrl+PgUp", KeyPlace::List, 6, "Ctrl+PageUp、1000項目上へ移ります"},
        {"Space", KeyPlace::Button, 0, "Enter / Space、このボタンの馬券を買います"},
        {"Left", KeyPlace::List, 1, "このキーは使いません"},
        {"Ctrl+B", KeyPlace::Anywhere, 0, "Ctrl+B、まとめ買い。ボックス・ながし・フォーメーションで、その券種の馬券をまとめて買います"},
        {"Ctrl", KeyPlace::Anywhere, 0, "Ctrl、読み上げを止めます"},
    };
    for (const Case& c : cases) EXPECT_EQ(keyHelp(c.key, c.place, c.kind), c.said) << c.key;
    auto linesOf = [](const std::string& path, const std::string& from, const std::string& to) {
        std::ifstream in(path);
        std::vector<std::string> out;
        bool on = false;
        for (std::string line; std::getline(in, line);) {
            if (on && line == to) break;
            if (on) out.push_back(line);
            on = on || line == from;
        }
        return out;
    };
    EXPECT_EQ(linesOf(OZN_DATA_DIR "/ozn.txt", "■ キー一覧", ""), keyListLines());
    std::vector<std::string> readme = linesOf(OZN_DATA_DIR "/../README.md", "```", "```");
    EXPECT_EQ(readme, keyListLines());
    for (const char* page : {"/../packaging/ozn.6", "/../packaging/ja/ozn.6"})  // the manual pages too
        EXPECT_EQ(linesOf(OZN_DATA_DIR + std::string(page), ".nf", ".fi"), keyListLines()) << page;
}
