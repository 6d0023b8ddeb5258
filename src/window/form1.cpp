#include "window/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScopeGuard>
#include <QTimer>

#include <utility>

#include "betting/betting.h"
#include "core/stopsignal.h"
#include "history/keeper.h"
#include "race/race.h"
#include "racecard/rules.h"
#include "sound/voice.h"
#include "window/accessible.h"
#include "window/buying.h"
#include "window/layout.h"
#include "window/menus.h"
#include "window/printarea.h"
#include "window/qtui.h"
#include "window/qtext.h"
#include "window/racedriver.h"
#include "window/racesound.h"
#include "window/raceview.h"
#include "window/selectionlist.h"
#include "window/speechcontrol.h"
#include "window/stopwatch.h"
#include "window/resultswindow.h"
#include "window/textwindow.h"

namespace ozn {
namespace {

const QString kStatusStart = QStringLiteral("発走");
const QString kStatusRunning = QStringLiteral("レース中");

}  // namespace

Form1::Form1(WindowServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)), keeper_(std::make_unique<RaceKeeper>()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ozn"));
    installAccessibleFactories();
    area_ = new PrintArea(this);
    // At a large zoom the form outgrows the screen: it scrolls to the focus.
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setFocusPolicy(Qt::NoFocus);  // the first list takes the focus at start, as always
    scroll_->setWidget(area_);
    setCentralWidget(scroll_);
    ui_ = std::make_unique<QtUi>(this, area_);
    speech_ = services_.makeSpeaker(rec_, *ui_);
    ui_->setSpeaker(speech_.get());
    SpeechControl::Hooks hooks;
    raceSound_ = std::make_unique<RaceSound>(rec_, *ui_, *speech_, *services_.mp3, services_.applySound);
    hooks.applySound = [this](const SoundSettings& s) { raceSound_->apply(s); };
    hooks.escape = [this] { return race_ && race_->escape(); };
    speechControl_ = new SpeechControl(this, *speech_, std::move(hooks));
    srChoice_ = new ScreenReaderChoice(this, [this](bool on) { speech_->setScreenReader(on); });
    buildControls();
    buildView();
    buildMenus();
    // Maximised; also sized to the screen for desktops without a window manager.
    if (QScreen* s = QGuiApplication::primaryScreen()) resize(s->availableGeometry().size());
    setWindowState(Qt::WindowMaximized);
}

Form1::~Form1() {
    // Closing the window moves the focus; nothing of this window may answer then.
    disconnect(focusWatch_);
    QApplication::setFont(baseFont_);  // the zoom was this window's
}

Ports Form1::ports() { return Ports{*ui_, *services_.rng, *services_.clock, *speech_, *services_.mp3}; }

// Places and fonts come from layoutControls(), at the zoom in force.
void Form1::buildControls() {
    for (int kind = 1; kind <= kAllKinds; ++kind) {
        auto* list = new SelectionList(kind, area_);
        list->setObjectName(QStringLiteral("list%1").arg(kind));
        list->setAccessibleName(q(labelCaption(kind)));
        lists_[kind - 1] = list;

        auto* button = new QPushButton(q(buttonCaption(kind)), area_);
        button->setObjectName(QStringLiteral("Command%1").arg(kind));
        button->setAccessibleName(q(buttonCaption(kind)));
        button->setStyleSheet(QStringLiteral("padding: 0px; margin: 0px;"));
        button->installEventFilter(this);
        commands_[kind - 1] = button;

        auto* label = new QLabel(q(labelCaption(kind)), area_);
        label->setObjectName(QStringLiteral("Label%1").arg(kind));
        label->setFocusPolicy(Qt::NoFocus);
        labels_[kind - 1] = label;

        connect(list, &SelectionList::selectionSpoken, this, [this, kind](const QString& text) {
            say(text.toStdString(), Topic::Entry);
            prefetchAround(kind);
        });
        connect(list, &SelectionList::focused, this, [this, kind] {
            // After the news of a new card, the list follows it instead of cutting in.
            speech_->reading(focusSpeech(kind, this->list(kind)->currentText().toStdString()),
                             std::exchange(focusAfterNews_, false) ? SpeakMode::Queue : SpeakMode::Interrupt, Topic::Focus);
            prefetchAround(kind);
        });
    }
    status_ = new RaceStatus(kStatusStart, area_);
    status_->setObjectName(QStringLiteral("raceStatus"));
    status_->setFocusPolicy(Qt::StrongFocus);
    status_->installEventFilter(this);
    status_->hide();
    for (int kind = 1; kind <= kAllKinds; ++kind) {
        setTabOrder(lists_[kind - 1], commands_[kind - 1]);
        if (kind < kAllKinds) setTabOrder(commands_[kind - 1], lists_[kind]);
    }
    buying_ = std::make_unique<Buying>(rec_, *ui_, *speech_, lists_, commands_, [this] { return refused(); });
}

void Form1::say(const std::string& text, Topic topic) { speech_->reading(text, SpeakMode::Interrupt, topic); }

bool Form1::refused() {
    // After what the race is saying, never over it; not kept, so F3 stays on the race.
    if (race_) speech_->answer("レース中です", SpeakMode::Queue);
    return busy();
}

void Form1::prefetchAround(int kind) { speech_->prefetch(list(kind)->neighbourTexts()); }

bool Form1::startUp(const StartupEnv& env) {
    bool ok = startUpSequence(env);
    // A stop asked for while the first card was drawn ends the game now.
    if (ok && closePending_) QTimer::singleShot(0, this, &Form1::finishStop);
    return ok;
}

bool Form1::startUpSequence(const StartupEnv& env) {
    busy_ = true;
    const auto done = qScopeGuard([this] { busy_ = false; });
    StartupHooks hooks;
    hooks.readlist = [this] {
        showCard(readlist(rec_, *services_.rng));
        keeper_->cardMade(rec_.mochikin);
    };
    hooks.initOutside = [this] {
        services_.mp3->init();
        if (services_.createVoices) services_.createVoices(rec_);
    };
    if (!ozn::startUp(rec_, *ui_, env, hooks)) return false;
    ownCopyOfLink(rec_, *ui_, userSettings().fileName().toStdString());
    openHistory(env.dataHome);
    announceCard();
    // The game's fixed texts, ready before the player asks for them.
    speechControl_->makeAhead(menuBar()->findChildren<QMenu*>());
    return true;
}

void Form1::watchStopSignals() { new StopWatch(this, [this] { finishStop(); }); }

void Form1::finishStop() {
    if (race_) return race_->askToClose();
    if (busy_) closePending_ = true;
    else close();
}

void Form1::showCard(const CardLists& lists, int fromKind) {
    for (int kind = fromKind; kind <= kAllKinds; ++kind) {
        QStringList items;
        items.reserve(static_cast<int>(lists[kind - 1].size()));
        const TextList& texts = lists[kind - 1];
        for (std::size_t i = 0; i < texts.size(); ++i) {
            std::string_view v = texts.view(i);
            items.append(QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size())));
        }
        list(kind)->fill(items);
    }
    if (list(1)->isVisibleTo(area_)) controlon();  // 馬単 and 枠連 come and go with the rules
    if (wideLists_ || fromKind > 1) layoutControls();  // the new entries may need more room
}

void Form1::rulesChanged() {
    if (busy() || !adoptRules(rec_)) return;  // the next card takes it up
    CardLists lists;
    if (rec_.honkaku) rulesOdds(rec_, lists);
    showCard(lists, kExacta);
    if (QWidget* f = focusWidget(); !f || !f->isVisible()) list(1)->setFocus(Qt::OtherFocusReason);
}

void Form1::announceCard() {
    // Kept, so that F3 repeats the card the player is on, and Shift+F3
    // steps back to the race before it.
    speech_->reading(cardAnnouncement(rec_), SpeakMode::Interrupt, Topic::Info);
    focusAfterNews_ = true;
}

void Form1::controloff() {
    for (SelectionList* l : lists_) {
        l->empty();
        l->hide();
        l->setEnabled(false);
    }
    for (QPushButton* b : commands_) b->hide(), b->setEnabled(false);
    for (QLabel* l : labels_) l->hide(), l->setEnabled(false);
    area_->setTextLeft(0);
}

void Form1::controlon() {
    for (int k = 0; k < kAllKinds; ++k) {
        const bool shown = k < kindsInPlay(rec_);
        for (QWidget* w : std::initializer_list<QWidget*>{lists_[k], commands_[k], labels_[k]})
            w->setVisible(shown), w->setEnabled(shown);
    }
    area_->setTextLeft(textLeftBesideControls_);
}

void Form1::mnuhasso() {
    // Not behind the results window's back: it would show a stale meeting.
    if (refused() || (results_ && results_->isVisible())) return;
    // The focus waits on the race's status, never on a hidden control.
    focusBeforeRace_ = focusWidget();
    status_->setText(kStatusStart);
    status_->show();
    status_->setFocus(Qt::OtherFocusReason);
    controloff();
    RaceHooks hooks;
    hooks.underway = [this] { status_->setText(kStatusRunning); };
    hooks.settled = [this](const RaceOutcome& out, const Settlement& s) {
        // Over: nothing "underway" to come back to from the boxes that follow.
        status_->clear();
        recordRace(out, s);
    };
    hooks.saved = [this](bool ok) { saves_.saved(*ui_, ok); };
    hooks.controlon = [this] { controlon(); };
    hooks.closeWindow = [this] { return runCloseRequest(false); };
    hooks.showCard = [this](CardLists lists) {
        showCard(lists);
        announceCard();
        keeper_->cardMade(rec_.mochikin);
    };
    findChild<RaceView*>()->watch(hooks, rec_);
    race_ = new RaceDriver(this, rec_, ports(), std::move(hooks), raceSound_->call());
    connect(race_, &RaceDriver::finished, this, &Form1::raceOver);
    race_->start();
}

void Form1::raceOver(HassoResult result) {
    const bool closeAsked = race_ && race_->closeAsked();
    if (race_) race_->deleteLater();
    race_ = nullptr;
    switch (result) {
        case HassoResult::GameOver: return endGame(0);
        case HassoResult::WriteFailed: return endGame(1);
        case HassoResult::Ended: return;
        case HassoResult::NextRace: break;
    }
    QWidget* back = focusBeforeRace_;
    if (!back || !back->isVisibleTo(this) || back == status_) back = list(1);
    back->setFocus(Qt::OtherFocusReason);
    status_->hide();
    if (closeAsked) close();
}

void Form1::mnumatome() { buying_->bulk(lastFocusedList_); }
void Form1::mnubaken() {
    if (!refused()) ozn::mnubaken(rec_, *ui_, *speech_);
}
void Form1::mnuracename() {
    if (!refused()) ozn::mnuracename(rec_, *ui_, *speech_);
}
void Form1::mnumochikin() {
    if (!refused()) ozn::mnumochikin(rec_, *ui_, *speech_);
}
void Form1::mnutanfuku() {
    if (!refused()) ozn::mnutanfuku(rec_, *ui_);
}
void Form1::mnulook() {
    if (refused() || !ozn::mnulook(rec_, *ui_)) return;
    keeper_->tipSheet(kTipSheetFee);
    say("予想紙に300円払いました", Topic::Info);
}
void Form1::mnuvoice() {
    switchVoice(rec_);
    say(voiceName(rec_.voicemode), Topic::Info);
}
void Form1::mnusound() {
    if (!refused()) speechControl_->openSoundDialog();
}
void Form1::mnuver() {
    if (!refused()) ozn::mnuver(*ui_);
}

void Form1::mnuman() {
    std::string path = manualPath(rec_);
    // A screen reader reads the desktop's own viewer; self-voicing needs ours.
    if (screenReaderMode() && services_.openDocument && services_.openDocument(path)) return;
    QStringList lines;
    QFile f(q(path));
    if (f.open(QIODevice::ReadOnly)) lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    TextWindow::open(this, QStringLiteral("manual"), QStringLiteral("オンラインマニュアル"), lines,
                     [this](const std::string& line) { say(line, Topic::Entry); });
}

void Form1::mnuurl() {
    if (services_.openDocument) services_.openDocument(homePagePath(rec_));
}

bool Form1::runCloseRequest(bool insideCloseEvent) {
    switch (closeRequest(rec_, *ui_, *services_.mp3, heldStakes(rec_))) {
        case CloseResult::Stay: return false;
        case CloseResult::GameOver:
        case CloseResult::Close: endGame(0, insideCloseEvent); return true;
        case CloseResult::WriteFailed: endGame(1, insideCloseEvent); return true;
    }
    return true;
}

void Form1::endGame(int status, bool insideCloseEvent) {
    if (closing_) return;
    closing_ = true;
    if (race_) race_->deleteLater(), race_ = nullptr;
    // Races that waited for a busy history file: written now, or the player hears how many are lost.
    if (!keeper_->flush() || keeper_->lost())
        ui_->msgBox("成績の記録ファイルが使えないため、" + std::to_string(keeper_->waiting() + keeper_->lost()) +
                        "レースの成績を記録できませんでした",
                    "成績", kStyleOk);
    if (!insideCloseEvent) close();
    if (services_.endProgram) services_.endProgram(status);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    // Closing mid-race waits until the race is settled, so no stake is lost.
    if (race_ || busy_) {
        if (race_) race_->askToClose();
        else closePending_ = true;
        event->ignore();
        return;
    }
    if (runCloseRequest(true) && closing_) event->accept();
    else event->ignore();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // Enter on a focused button buys, as a click does; the buying keys on
    // the race's status are refused.
    if (event->type() == QEvent::KeyPress) {
        const int k = static_cast<QKeyEvent*>(event)->key();
        if (k == Qt::Key_Return || k == Qt::Key_Enter || (k == Qt::Key_0 && watched == status_)) {
            if (watched == status_) return refused();
            if (auto* b = qobject_cast<QPushButton*>(watched)) return b->click(), true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace ozn
