// The game as a child process for the signal tests: the real window, music
// player and signal handling over the program folder argv[1]. With "race"
// it buys a win ticket and starts the race at once; with "startup" it sends
// itself SIGTERM while the first card is drawn; with "early" before anything
// but the handlers exists; with "held" it buys 1000 + 5000 and waits. It writes the file "ready"
// there when the signal may come, and "ended" with the race number and money
// when it ends.
#include <QApplication>
#include <QTimer>
#include <signal.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "core/random.h"
#include "core/stopsignal.h"
#include "fakes.h"
#include "sound/audio.h"
#include "sound/voice.h"
#include "window/form1.h"

using namespace ozn;

int main(int argc, char** argv) {
    // As the program does: the handlers come first, so a stop this early still ends the game as a close.
    installStopSignals();
    if (argc > 2 && std::strcmp(argv[2], "early") == 0) ::kill(::getpid(), SIGTERM);
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    GameRandom rng(5);
    SystemClock clock;
    SdlMp3Player mp3;
    test::FakeEngine voice;
    WindowServices s;
    s.rng = &rng, s.clock = &clock, s.mp3 = &mp3;
    s.makeSpeaker = [&](GameRecord& rec, Ui& ui) { return std::make_unique<VoiceDispatcher>(rec, ui, &voice, nullptr); };
    const std::string folder = argv[1];
    Form1* window = nullptr;
    auto report = [&] {
        const GameRecord& rec = window->record();
        std::ofstream(folder + "/ended") << "raceno=" << int(rec.raceno) << " mochikin=" << rec.mochikin << "\n";
    };
    s.endProgram = [](int status) { QCoreApplication::exit(status); };
    Form1 w(s);
    window = &w;
    w.watchStopSignals();
    // Runs at the first processing of events, before the game is ready.
    if (std::strcmp(argv[2], "startup") == 0) QTimer::singleShot(0, [] { ::kill(::getpid(), SIGTERM); });
    if (!w.startUp({folder, "", "", folder + "/home"})) return 1;
    w.show();
    QObject::connect(&app, &QCoreApplication::aboutToQuit, report);
    const bool race = std::strcmp(argv[2], "race") == 0, held = std::strcmp(argv[2], "held") == 0;
    QTimer::singleShot(0, &w, [&] {
        GameRecord& rec = w.record();
        if (race || held) {
            rec.tancount = 1, rec.tanban[0] = rec.yoso1, rec.tankin[0] = 1000, rec.tanflag = kTrue;
            rec.mochikin -= 1000;
        }
        if (held) rec.umacount = 1, rec.umaban1[0] = 1, rec.umaban2[0] = 2, rec.umakin[0] = 5000, rec.mochikin -= 5000;
        std::ofstream(folder + "/ready") << "ready\n";
        if (race) w.mnuhasso();  // the signal comes while it runs
    });
    return app.exec();
}
