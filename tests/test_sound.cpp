#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "fakes.h"
#include "sound/audio.h"
#include "sound/engines.h"
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

TEST(Voice, DispatchAndFallback) {
    enum Engine { None, First, Second, Third, Clipboard };
    struct Case {
        int voicemode;
        bool first, secondExists, secondWorks, newSecond, third;
        Engine speaker;
        int after;
    } cases[] = {
        {4, true, false, false, false, true, First, 1},    // first use finds engine 1
        {4, false, false, false, false, true, Third, 3},   // no 1, no 2 to create: ends at 3
        {4, false, false, false, true, true, Second, 2},   // no 1: a new engine 2
        {2, true, false, false, false, true, Third, 2},    // 2 absent: spoken by 3, stays 2
        {1, false, true, true, false, true, Second, 1},    // 1 fails: 2 speaks, stays 1
        {3, true, true, true, false, false, Clipboard, 3}, // 3 fails: the clipboard
        {4, false, false, false, false, false, Clipboard, 3},
        {0, true, false, false, false, false, First, 1},
    };
    for (const auto& c : cases) {
        GameRecord rec;
        rec.voicemode = static_cast<std::uint8_t>(c.voicemode);
        FakeUi ui;
        FakeEngine one(c.first);
        auto two = std::make_shared<FakeEngine>(c.secondWorks);
        auto three = std::make_shared<FakeEngine>(c.third);
        auto created = std::make_shared<FakeEngine>(true);
        if (c.secondExists) rec.pctkvoice = two;
        rec.sapivoice = three;
        VoiceDispatcher d(rec, ui, &one, [&]() -> std::shared_ptr<SpeechEngine> {
            return c.newSecond ? created : nullptr;
        });
        d.reading("1番 X");
        Engine spoke = !one.said.empty()       ? First
                       : !two->said.empty()    ? Second
                       : !created->said.empty() ? Second
                       : !three->said.empty()  ? Third
                       : ui.clipboard == "1番 X" ? Clipboard
                                                 : None;
        EXPECT_EQ(spoke, c.speaker) << "case voicemode " << c.voicemode;
        EXPECT_EQ(rec.voicemode, c.after) << "case voicemode " << c.voicemode;
    }
}

TEST(Voice, MenuCycle) {
    struct Case { int from, to; } cases[] = {{1, 2}, {2, 3}, {3, 1}, {4, 1}, {255, 1}, {0, 1}};
    for (const auto& c : cases) {
        GameRecord rec;
        rec.voicemode = static_cast<std::uint8_t>(c.from);
        switchVoice(rec);
        EXPECT_EQ(rec.voicemode, c.to) << c.from;
    }
}

TEST(Voice, LineBreaksArePauses) {
    EXPECT_EQ(speakableText("単勝の選択\r\n3番 X"), "単勝の選択、3番 X");
    EXPECT_EQ(speakableText("\r\n副賞 \r\n4番100円"), "副賞 、4番100円");
    EXPECT_EQ(speakableText("2番 5番\n\r"), "2番 5番、");
    EXPECT_EQ(speakableText(""), "");
}

TEST(Audio, SilenceIsTrimmed) {
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

TEST(Audio, MadeSoundsAreKeptPerVoice) {
    SpeechChannel channel;
    int made[2] = {0, 0};
    auto synth = [&](int voice) {
        return [&made, voice](const std::string&) {
            ++made[voice];
            return std::optional<Pcm>(Pcm{8000, std::vector<std::int16_t>(400, 4000)});
        };
    };
    if (!channel.say("1番", "a", synth(0), true)) GTEST_SKIP() << "no audio device";
    channel.say("1番", "a", synth(0), true);  // again: from the cache
    channel.say("1番", "b", synth(1), true);  // another engine makes its own
    EXPECT_EQ(made[0], 1);
    EXPECT_EQ(made[1], 1);
}

TEST(RealEngines, OpenJTalkSpeaksAListEntry) {
    SpeechChannel channel;
    OpenJTalkEngine jtalk(channel);
    if (!jtalk.available()) GTEST_SKIP() << "Open JTalk is not installed";
    auto pcm = jtalk.synthesize("3番 サンダーダスト 2.4 倍 1番人気)");
    ASSERT_TRUE(pcm);
    EXPECT_GT(pcm->samples.size(), static_cast<std::size_t>(pcm->rate / 2));  // over half a second
    EXPECT_GT(rms(*pcm), 300.0);                                               // and not silent
    OpenJTalkEngine missing(channel, {"open_jtalk", "/nonexistent", "/nonexistent.htsvoice"});
    EXPECT_FALSE(missing.synthesize("テスト"));
    EXPECT_FALSE(missing.speak("テスト", false));
}

TEST(RealEngines, EspeakSynthesises) {
    SpeechChannel channel;
    auto espeak = EspeakEngine::create(channel);
    if (!espeak) GTEST_SKIP() << "espeak-ng could not be initialised";
    auto pcm = espeak->synthesize("1番 2番");
    ASSERT_TRUE(pcm);
    EXPECT_GT(rms(*pcm), 100.0);
}

TEST(RealEngines, Mp3WaitsForItsLength) {
    TempDir d;
    std::string cmd = "sox -q -n -r 44100 -c 1 -t wav - synth 1.2 sine 440 2>/dev/null | lame --quiet - " +
                      d.file("one.mp3") + " 2>/dev/null";
    if (std::system(cmd.c_str()) != 0 || !d.exists("one.mp3")) GTEST_SKIP() << "sox and lame are needed";
    SdlMp3Player mp3;
    mp3.init();
    if (!AudioDevice::instance().isOpen()) GTEST_SKIP() << "no audio, not even the dummy driver";
    FakeUi ui;
    auto start = std::chrono::steady_clock::now();
    mp3.playAndWait(d.file("one.mp3"), true, ui);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(took, 1.0);
    EXPECT_LT(took, 3.0);
    EXPECT_GT(ui.events, 10);  // the start music lets the window breathe

    start = std::chrono::steady_clock::now();
    mp3.playAndWait(d.file("missing.mp3"), false, ui);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.5);
    mp3.free();  // released: nothing plays any more
    start = std::chrono::steady_clock::now();
    mp3.playAndWait(d.file("one.mp3"), false, ui);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.5);
}

TEST(RealEngines, SpeechDispatcherNeverHoldsUpStartUp) {
    auto start = std::chrono::steady_clock::now();
    auto engine = SpeechdEngine::connect(300);  // connected or absent, but quickly
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    if (engine) {
        EXPECT_TRUE(engine->speak("", false));
    }
}
