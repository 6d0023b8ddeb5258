#pragma once
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QScrollArea>
#include <QPushButton>
#include <array>
#include <functional>
#include <memory>

#include "betting/store.h"
#include "core/interfaces.h"
#include "core/lifecycle.h"
#include "core/record.h"
#include "race/race.h"
#include "racecard/racecard.h"
#include "window/racedriver.h"
#include "window/screenreader.h"

namespace ozn {

class Buying;
class RaceSound;
class History;
class PrintArea;
class RaceKeeper;
class QtUi;
class ResultsWindow;
class SelectionList;
class SpeechControl;
class VoiceDispatcher;
struct SoundSettings;

// What the window gets from outside: the generator, the clock, the MP3
// player, the speech, and how to open documents and end the process.
struct WindowServices {
    Random* rng = nullptr;
    Clock* clock = nullptr;
    Mp3Player* mp3 = nullptr;
    // Builds `reading` over the record once the window's Ui exists.
    std::function<std::unique_ptr<VoiceDispatcher>(GameRecord&, Ui&)> makeSpeaker;
    // Creates the speech objects (start-up, after the MP3 player is ready).
    std::function<void(GameRecord&)> createVoices;
    // Asks the desktop to open a local file; false when it cannot.
    std::function<bool(const std::string&)> openDocument;
    // Ends the program: main returns this status once the window has gone.
    std::function<void(int status)> endProgram;
    // Puts the sound settings in force outside speech (music and effects).
    std::function<void(const SoundSettings&)> applySound;
};

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    explicit Form1(WindowServices services, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence; false when the program must end.
    bool startUp(const StartupEnv& env);
    // SIGINT, SIGTERM and SIGHUP end the game as a confirmed close does; in
    // a race, once the race is settled.
    void watchStopSignals();

    GameRecord& record() { return rec_; }
    SelectionList* list(int kind) const { return lists_[kind - 1]; }
    QPushButton* command(int kind) const { return commands_[kind - 1]; }
    QLabel* label(int kind) const { return labels_[kind - 1]; }
    PrintArea* printArea() const { return area_; }
    // Holds the focus while a race runs and says what is happening.
    QLabel* raceStatus() const { return status_; }
    bool busy() const { return busy_ || race_; }

    // Whether a screen reader runs on the desktop (from the accessibility bus).
    void setScreenReaderRunning(bool running) { srChoice_->setRunning(running); }
    void setScreenReaderSetting(ScreenReaderSetting setting) { srChoice_->setSetting(setting); }
    ScreenReaderSetting screenReaderSetting() const { return srChoice_->setting(); }
    // The speech mode in force: true while a screen reader reads the window.
    bool screenReaderMode() const { return srChoice_->mode(); }

    // The view (kept in the user's settings): zoom 100..300 %, lists as wide
    // as their entries, white and yellow on black.
    int zoom() const { return zoom_; }
    void setZoom(int percent);
    void stepZoom(int direction);
    bool wideLists() const { return wideLists_; }
    void setWideLists(bool on);
    bool highContrast() const { return highContrast_; }
    void setHighContrast(bool on);
    QWidget* focusFrame() const;

    void controloff();
    void controlon();
    void showCard(const CardLists& lists, int fromKind = 1);
    // 本格ルール switched: lists 7 and 8 shown or hidden, when the card takes it up now.
    void rulesChanged();
    // Says the race on the card and the money; the list the focus reaches next follows.
    void announceCard();

    // Menu commands.
    void mnuhasso();
    void mnubaken();
    void mnumatome();  // まとめ買い (Ctrl+B)
    void mnuracename();
    void mnumochikin();
    void mnutanfuku();
    void mnulook();
    void mnuvoice();
    void mnuman();
    void mnuver();
    void mnusound();
    void mnuurl();
    SpeechControl* speechControl() const { return speechControl_; }
    // 成績 (F12): the results window; 成績をCSVで保存: one row per ticket.
    void mnuseiseki();
    void mnucsv();
    bool exportCsv(const std::string& path);
    History* history() const;
    int meeting() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void buildView();
    void buildViewMenu(QMenu* other);
    void layoutControls();
    void followFocus(QWidget* now);
    void say(const std::string& text, Topic topic);
    // true when a command must wait (a race runs, a card is being made); in
    // a race the player hears why, once for each key.
    bool refused();
    // Lets the speech make the list's neighbouring entries ahead.
    void prefetchAround(int kind);
    // Runs the close request; true when the program ends.
    bool runCloseRequest(bool insideCloseEvent);
    void raceOver(HassoResult result);
    // The one way out: waiting races written or reported, the window gone,
    // and main returns `status`.
    void endGame(int status, bool insideCloseEvent = false);
    bool startUpSequence(const StartupEnv& env);
    void finishStop();
    void openHistory(const std::string& folder);
    // The user's settings (XDG config folder): speech mode and view.
    void recordRace(const RaceOutcome& out, const Settlement& s);
    void historyNotice(const std::string& notice);
    Ports ports();

    WindowServices services_;
    GameRecord rec_;
    PrintArea* area_ = nullptr;
    std::unique_ptr<QtUi> ui_;
    std::unique_ptr<VoiceDispatcher> speech_;
    SpeechControl* speechControl_ = nullptr;
    QLabel* status_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* focusRing_ = nullptr;
    SelectionList* lastFocusedList_ = nullptr;
    int zoom_ = 100;
    bool wideLists_ = false, highContrast_ = false;
    int textLeftBesideControls_ = 0;
    QPalette normalPalette_;
    QFont baseFont_;
    QMetaObject::Connection focusWatch_;  // cut first when the window goes
    QPointer<QWidget> focusBeforeRace_;
    ScreenReaderChoice* srChoice_ = nullptr;
    std::array<SelectionList*, kAllKinds> lists_{};
    std::array<QPushButton*, kAllKinds> commands_{};
    std::array<QLabel*, kAllKinds> labels_{};
    bool busy_ = false;          // the first card is being built
    bool closePending_ = false;  // a close asked for then
    bool closing_ = false;       // the close request has been confirmed
    bool focusAfterNews_ = false;  // the next list focus follows the card's news
    SaveWatch saves_;
    QPointer<RaceDriver> race_;  // from F2 until the next card is up
    std::unique_ptr<Buying> buying_;
    std::unique_ptr<RaceSound> raceSound_;
    std::unique_ptr<RaceKeeper> keeper_;
    QPointer<ResultsWindow> results_;  // while the results window is open
};

}  // namespace ozn
