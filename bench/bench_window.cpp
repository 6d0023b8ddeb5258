// F4 (the tickets held, printed and said) in the real window, offscreen:
// 1000 held tickets from an empty print area, and on top of 2000 lines
// printed before, which must cost no more.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <memory>

#include "core/random.h"
#include "fakes.h"
#include "sound/voice.h"
#include "tempdir.h"
#include "window/form1.h"
#include "window/printarea.h"

namespace {

using namespace ozn;

struct Window {
    test::TempDir dir;
    test::FakeClock clock;
    test::FakeMp3 mp3;
    test::FakeEngine voice;
    GameRandom rng{7};
    std::unique_ptr<Form1> w;
    Window() {
        dir.copyBundledData();
        WindowServices s;
        s.rng = &rng, s.clock = &clock, s.mp3 = &mp3;
        s.makeSpeaker = [](GameRecord& rec, Ui& ui) { return std::make_unique<VoiceDispatcher>(rec, ui, nullptr, nullptr); };
        s.createVoices = [this](GameRecord& rec) { rec.sapivoice = std::shared_ptr<SpeechEngine>(&voice, [](SpeechEngine*) {}); };
        s.endProgram = [](int) {};
        w = std::make_unique<Form1>(s);
        w->startUp({dir.path(), "", "", dir.file("data")});
        w->show();
        QApplication::processEvents();
        GameRecord& rec = w->record();
        rec.mochikin = 10'000'000;
        for (int i = 0; i < 1000; ++i) test::addTicket(rec, 6, {1 + i / 272, 1 + (i / 16) % 17, 1 + i % 16}, 100);
    }
    void f4() { w->findChild<QAction*>(QStringLiteral("mnubaken"))->trigger(); }
};

void BM_F4ThousandTickets(benchmark::State& state) {
    Window win;
    const int before = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        win.w->printArea()->clear();
        for (int i = 0; i < before; ++i) win.w->printArea()->print(QStringLiteral("単勝 1番100円"), true);
        QApplication::processEvents();
        state.ResumeTiming();
        win.f4();
    }
}
BENCHMARK(BM_F4ThousandTickets)->Arg(0)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
