// Drawing the race view on a 1280×1024 window at 100 %: a whole frame, an
// upper bound for what the race draws 30 times a second (it draws only
// what moved). Under 3.3 ms a frame keeps it under 10 % of one core.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <cmath>

#include "core/random.h"
#include "fakes.h"
#include "race/field.h"
#include "window/raceview.h"

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "ozn_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication a(argc, argv);
    return a;
}

void BM_RaceViewWholeFrame(benchmark::State& state) {
    app();
    ozn::GameRecord rec;
    for (int h = 0; h < ozn::kHorses; ++h) rec.umaname[h] = "ウマ" + std::to_string(h + 1);
    rec.racename = "大空ダービー", rec.raceno = 1, rec.racehist[0] = 13;
    ozn::GameRandom rng(5);
    ozn::RaceOutcome out;
    out.fallen = 4;
    ozn::drawFinish(rec, rng, out);
    QScrollArea scroll;
    scroll.setWidgetResizable(true);
    scroll.setWidget(new QWidget);
    scroll.resize(1280, 1024 - 30);  // below the menu bar
    ozn::RaceView view(&scroll);
    view.start(ozn::RaceField(ozn::runningOrder(rec, out), ozn::stageTimes({}, 30), 30), rec);
    QImage frame(view.size(), QImage::Format_ARGB32_Premultiplied);
    double t = 0;
    for (auto _ : state) {
        t = std::fmod(t + 1 / 30.0, 30);
        view.setTime(t);
        view.render(&frame);
        benchmark::DoNotOptimize(frame.bits());
    }
    // Seconds a frame × 30 frames × 100 %.
    state.counters["core_at_30fps_%"] = benchmark::Counter(static_cast<double>(state.iterations()) / 3000,
                                                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RaceViewWholeFrame)->Unit(benchmark::kMillisecond);

}  // namespace
