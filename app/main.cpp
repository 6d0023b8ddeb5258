// ozn: the program. Builds the real outside world and opens the main window.
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QUrl>
#include <chrono>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>

#include "core/random.h"
#include "core/stopsignal.h"
#include "sound/audio.h"
#include "sound/engines.h"
#include "sound/voice.h"
#include "window/application.h"
#include "window/form1.h"
#include "window/screenreader.h"

namespace {

std::string joinedArguments(int argc, char** argv) {
    std::string s;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) s += ' ';
        s += argv[i];
    }
    return s;
}

// The stop handlers before even the libraries' own start-up, which takes a
// while on a busy machine: a stop asked for then still ends the game as a close.
[[gnu::used, gnu::section(".preinit_array")]] void (*const kStopSignalsFirst)() = [] { ozn::installStopSignals(); };

}  // namespace

int main(int argc, char** argv) {
    ozn::installStopSignals();  // already done, unless the linker dropped the early call
    ::umask(077);               // what the game writes is the player's alone
    ozn::GameApplication app(argc, argv);  // takes its own options out of argv
    const std::string commandLine = joinedArguments(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ozn"));
    // A Japanese font for every caption, when one is installed.
    for (const char* family : {"IPAGothic", "IPAPGothic", "Noto Sans CJK JP"})
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            QFont f(QString::fromLatin1(family));
            f.setPixelSize(13);
            QApplication::setFont(f);
            break;
        }

    ozn::GameRandom rng(ozn::seedFromEnvironment());
    ozn::SystemClock clock;
    ozn::SdlMp3Player mp3;
    ozn::SpeechChannel channel;
    ozn::OpenJTalkEngine jtalk(channel);
    std::unique_ptr<ozn::SpeechLog> speechLog = ozn::SpeechLog::fromEnvironment();
    mp3.setLog(speechLog.get());
    // The transcript also shows what reached the speaker, and when: a text
    // asked for but never heard shows as a line without its "played" lines.
    if (speechLog) channel.setPlayedHook([log = speechLog.get()](const std::string& phrase) { log->write("played", phrase); });

    ozn::WindowServices services;
    services.rng = &rng;
    services.clock = &clock;
    services.mp3 = &mp3;
    // Both voices are made aside: the window shows at once, and a text that
    // needs one before it is ready waits for it up to the bound.
    constexpr std::chrono::milliseconds kVoiceBound(1500);
    std::shared_ptr<ozn::PendingEngine> espeak;
    ozn::VoiceDispatcher* voice = nullptr;
    services.makeSpeaker = [&](ozn::GameRecord& rec, ozn::Ui& ui) {
        auto made = std::make_unique<ozn::VoiceDispatcher>(
            rec, ui, &jtalk, [&espeak]() -> std::shared_ptr<ozn::SpeechEngine> {
                return espeak ? espeak->resolve() : nullptr;
            },
            speechLog.get());
        voice = made.get();
        return made;
    };
    services.createVoices = [&](ozn::GameRecord& rec) {
        espeak = ozn::PendingEngine::start([&channel] { return ozn::EspeakEngine::create(channel); }, kVoiceBound);
        rec.pctkvoice = espeak;
        rec.sapivoice = ozn::PendingEngine::start([] { return ozn::SpeechdEngine::connect(1500); }, kVoiceBound);
    };
    services.openDocument = [](const std::string& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
    };
    services.endProgram = [](int status) { QCoreApplication::exit(status); };

    ozn::Form1 window(services);
    // At the end the speech worker stops before the window and the engines
    // go: nothing it still makes ahead may call an engine that is gone.
    struct JoinSpeechFirst {
        ozn::SpeechChannel& channel;
        ~JoinSpeechFirst() { channel.shutdown(); }
    } joinSpeechFirst{channel};
    window.watchStopSignals();
    ozn::StartupEnv env;
    env.exeDir = QCoreApplication::applicationDirPath().toStdString();
    env.commandLine = commandLine;
    const char* temp = std::getenv("TEMP");
    env.temp = temp ? temp : "";
    env.dataHome = ozn::dataHomeFrom(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    // Installed from the package, the program's folder belongs to the system.
    env.installed = QFileInfo::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/INSTALLED"));
    ozn::ScreenReaderWatch screenReader;
    QObject::connect(&screenReader, &ozn::ScreenReaderWatch::changed, &window, &ozn::Form1::setScreenReaderRunning);
    // A screen reader that is running but not yet noticed would hear the
    // first list twice: what it reads itself waits for the first answer.
    if (window.screenReaderSetting() == ozn::ScreenReaderSetting::Auto && !screenReader.answered()) {
        voice->holdForScreenReader();
        QObject::connect(&screenReader, &ozn::ScreenReaderWatch::firstAnswer, &window, [voice] { voice->releaseHeld(); });
    }
    if (!window.startUp(env)) return 1;
    window.showMaximized();
    return app.exec();
}
