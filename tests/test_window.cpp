// The main window, offscreen. Every modal dialog is answered from a timer.
#include <QAbstractButton>
#include <QCheckBox>
#include <QAccessible>
#include <QApplication>
#include <QChartView>
#include <QLineSeries>
#include <QComboBox>
#include <QDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>

#include "core/datafiles.h"
#include "core/random.h"
#include "race/autoplay.h"
#include "history/history.h"
#include "fakes.h"
#include "tempdir.h"
#include "sound/voice.h"
#include "window/accessible.h"
#include "window/application.h"
#include "window/bulkpicker.h"
#include "window/form1.h"
#include "window/menus.h"
#include "window/printarea.h"
#include "window/qtext.h"
#include "window/raceview.h"
#include "window/resultswindow.h"
#include "window/screenreader.h"
#include "window/selectionlist.h"
#include "window/speechcontrol.h"
#include "sound/keytable.h"
#include "sound/soundsettings.h"
#include <QLineEdit>
#include <QSlider>
#include <QMenu>

using namespace ozn;
using namespace ozn::test;

namespace {

void clickIn(QWidget* box, const QString& button) {
    for (auto* b : box->findChildren<QAbstractButton*>())
        if (b->text() == button) return b->click();
}

// Answers modal dialogs in order; an unexpected one is closed after a while
// so that no test can hang.
class DialogBot : public QObject {
public:
    struct Seen { QString title, text; QStringList buttons; QString name; };
    std::deque<std::function<void(QWidget*)>> steps;
    std::vector<Seen> seen;

    DialogBot() {
        connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
        timer_.start(15);
    }
    void answerInput(const QString& text) {
        steps.push_back([text](QWidget* w) {
            if (auto* d = qobject_cast<QInputDialog*>(w)) { d->setTextValue(text); d->accept(); }
        });
    }
    void press(const QString& button) { steps.push_back([button](QWidget* w) { clickIn(w, button); }); }

private:
    void tick() {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->property("botSeen").toBool()) {
            if (++idle_ > 200) w->close();  // about three seconds unanswered
            return;
        }
        idle_ = 0;
        if (!w) return;
        w->setProperty("botSeen", true);
        Seen s{w->windowTitle(), {}, {}, w->accessibleName()};
        if (auto* in = qobject_cast<QInputDialog*>(w)) s.text = in->labelText();
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            s.text = box->text();
            for (auto* b : box->buttons()) s.buttons << b->text();
        }
        seen.push_back(s);
        if (steps.empty()) return;
        auto step = steps.front();
        steps.pop_front();
        QTimer::singleShot(0, w, [step, w] { step(w); });
    }
    QTimer timer_;
    int idle_ = 0;
};

struct Game {
    TempDir dir;
    GameRandom rng{7};
    SystemClock clock;  // the race is timed by the window's own timer
    FakeMp3 mp3;
    // What the player hears: every engine choice ends at it, as the screen
    // reader's engine 3, which is handed the texts as written.
    FakeEngine voice;
    std::vector<std::string>& said = voice.said;
    std::vector<int> exits;
    std::vector<std::string> opened;
    bool desktop = true;  // whether the desktop can open documents
    std::unique_ptr<Form1> w;

    explicit Game(bool keepSettings = false) {
        if (!keepSettings) QSettings(QStringLiteral("ozn"), QStringLiteral("ozn")).clear();
        dir.copyBundledData();
        w = std::make_unique<Form1>(services());
        if (!w->startUp(env())) qFatal("start-up failed");
        w->show();
        QApplication::setActiveWindow(w.get());
        if (!QTest::qWaitForWindowActive(w.get())) qWarning("window not active");
    }
    QStringList printed() const { return w->printArea()->lines(); }
    WindowServices services() {
        WindowServices s;
        s.rng = &rng, s.clock = &clock, s.mp3 = &mp3;
        s.makeSpeaker = [](GameRecord& rec, Ui& ui) { return std::make_unique<VoiceDispatcher>(rec, ui, nullptr, nullptr); };
        s.createVoices = [this](GameRecord& rec) { rec.sapivoice = std::shared_ptr<SpeechEngine>(&voice, [](SpeechEngine*) {}); };
        s.openDocument = [this](const std::string& p) { opened.push_back(p); return desktop; };
        s.endProgram = [this](int status) { exits.push_back(status); };
        return s;
    }
    StartupEnv env() const { return {dir.path(), "", "", dir.file("data")}; }
};

// Records whether each activation of one window was reported as spontaneous,
// which is what the accessibility bridge tells a screen reader about.
struct ActivationSpy : QObject {
    QWidget* window;
    std::vector<bool> spontaneous;
    explicit ActivationSpy(QWidget* w) : window(w) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (o == window && e->type() == QEvent::WindowActivate) spontaneous.push_back(e->spontaneous());
        return false;
    }
};

void focusOn(QWidget* w) {
    w->setFocus();
    QTRY_VERIFY(w->hasFocus());
}

// Gives the keyboard back to the window, as the player does after a dialog.
void key(Game& g, Qt::Key k, Qt::KeyboardModifiers mods = {}) {
    QApplication::setActiveWindow(g.w.get());
    QTest::keyClick(g.w.get(), k, mods);
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void layoutTabFocusSpeechRowsAndControlStates() {
        Game g;
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(g.w->list(1)));  // where play begins
        // First the race and the money, then the list after it: the label and the entry.
        const GameRecord& rec = g.w->record();
        QCOMPARE(g.said, (std::vector<std::string>{"第1レース " + rec.racename + " " + currentCourse(rec) + " 持ち金 15000円",
                                                   "単勝の選択\r\n"}));
        const double s = g.w->logicalDpiX() / 96.0 / 15.0;
        auto rect = [&](int l, int t, int w, int h) {
            return QRect(qRound(l * s), qRound(t * s), qRound(w * s), qRound(h * s));
        };
        const char* captions[] = {"探勝", "副賞", "馬連", "ワイド", "3連複", "3連探"};
        const char* labels[] = {"単勝の選択", "副賞の選択", "馬連の選択", "ワイドの選択", "３連複の選択", "３連単の選択"};
        const int sizes[] = {18, 18, 153, 153, 816, 4896};
        for (int k = 1; k <= 6; ++k) {
            const int left = 100 + (k - 1) / 2 * 2200, top = k % 2 ? 800 : 3600;  // lists in three columns of two
            QCOMPARE(g.w->list(k)->geometry(), rect(left, top, 2100, 2400));
            QCOMPARE(g.w->command(k)->geometry(), rect(100 + (k - 1) * 1100, 350, 1000, 180));
            QCOMPARE(g.w->label(k)->geometry(), rect(left, top - 200, 2100, 180));
            QCOMPARE(g.w->command(k)->text(), QString::fromUtf8(captions[k - 1]));
            QCOMPARE(g.w->label(k)->text(), QString::fromUtf8(labels[k - 1]));
            QCOMPARE(g.w->list(k)->accessibleName(), QString::fromUtf8(labels[k - 1]));
            QCOMPARE(g.w->list(k)->count(), sizes[k - 1]);
            // Every caption fits its fixed size.
            QFontMetrics fm(g.w->command(k)->font());
            QVERIFY(fm.horizontalAdvance(g.w->command(k)->text()) < g.w->command(k)->width());
            QVERIFY(fm.height() <= g.w->command(k)->height());
            QVERIFY(QFontMetrics(g.w->label(k)->font()).horizontalAdvance(g.w->label(k)->text()) <= g.w->label(k)->width());
            // Tab goes from each list to its button, then to the next list.
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(g.w->list(k)));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(g.w->command(k)));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(g.w->windowTitle(), QStringLiteral("ozn"));
        QStringList menus, items;
        for (QAction* a : g.w->menuBar()->actions()) {
            menus << a->text();
            for (QAction* i : a->menu()->actions()) items << i->text() + "|" + i->shortcut().toString();
        }
        QCOMPARE(menus, QStringList({"file(&f)", "その他(&o)", "ヘルプ(&h)"}));
        QCOMPARE(items, QStringList({"発送(&h)|F2", "馬券(&b)|F4", "レース名(&r)|F5", "持ち金(&m)|F6",
                                     "単勝・副賞のオッズ(&t)|F7", "予想しを見る(&l)|F8", "終了(&x)|",
                                     "音声切り替え(&v)|F9", "まとめ買い(&b)|Ctrl+B", "まとめ買い・チェックで選ぶ(&p)|", "スクリーンリーダー連携(&s)|", "表示(&d)|", "本格ルール(&n)|", "成績(&k)|F12",
                                     "成績をCSVで保存(&c)|", "音の設定(&a)|", "実況(&j)|", "レースを表示(&w)|", "読み上げ履歴(&r)|", "オンラインマニュアル(&m)|",
                                     "バージョン情報(&v)|", "ころもちのページへ(&u)|", "キー一覧(&k)|"}));
        // Speech on focus only when the player moves to another control.
        SelectionList* l2 = g.w->list(2);
        auto focus = [&](QEvent::Type type, Qt::FocusReason reason) {
            QFocusEvent e(type, reason);
            QApplication::sendEvent(l2, &e);
        };
        g.said.clear();
        focus(QEvent::FocusIn, Qt::TabFocusReason);
        focus(QEvent::FocusOut, Qt::ActiveWindowFocusReason);  // a dialog opens
        focus(QEvent::FocusIn, Qt::ActiveWindowFocusReason);   // and closes again
        focus(QEvent::FocusOut, Qt::MenuBarFocusReason);       // F10: a menu, and back
        focus(QEvent::FocusIn, Qt::PopupFocusReason);
        focus(QEvent::FocusOut, Qt::TabFocusReason);
        focus(QEvent::FocusIn, Qt::ActiveWindowFocusReason);   // the window itself comes back
        QCOMPARE(g.said, (std::vector<std::string>{"副賞の選択\r\n", "副賞の選択\r\n"}));
        // Left for another window, and the focus moved on meanwhile: coming to
        // the list later is a move like any other, said in full.
        focusOn(l2);
        QWidget other;
        other.show();
        QApplication::setActiveWindow(&other);
        g.w->command(3)->setFocus();
        QApplication::setActiveWindow(g.w.get());
        QTRY_VERIFY(g.w->command(3)->hasFocus());
        g.said.clear();
        focusOn(l2);
        QCOMPARE(g.said, (std::vector<std::string>{"副賞の選択\r\n"}));
        // The trifecta list to a screen reader: its rows made on demand.
        SelectionList* l = g.w->list(6);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(l);
        QCOMPARE(a->role(), QAccessible::List);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("３連単の選択"));
        QCOMPARE(a->text(QAccessible::Description), QStringLiteral("4896件"));
        QCOMPARE(a->childCount(), 0);  // nothing for a screen reader to count one by one
        QAccessibleInterface* row = a->child(4000);
        QVERIFY(row && row->isValid());
        QCOMPARE(row->text(QAccessible::Name), l->item(4000)->text());
        QCOMPARE(row->role(), QAccessible::ListItem);
        QCOMPARE(a->indexOfChild(row), 4000);
        QCOMPARE(row->parent(), a);
        focusOn(l);
        l->setCurrentRow(4000);
        QCOMPARE(a->focusChild(), row);
        QVERIFY(row->state().focused && row->state().selected);
        // Coming back to the list, a screen reader hears of the entry it is on too.
        static std::vector<std::pair<QObject*, int>> focusEvents;
        setAccessibleEventSink([](QAccessibleEvent* e) { focusEvents.emplace_back(e->object(), e->child()); });
        focusOn(g.w->command(6));
        focusOn(l);
        QTRY_COMPARE(focusEvents, (std::vector<std::pair<QObject*, int>>{{l, 4000}}));
        setAccessibleEventSink(nullptr);
        // Off hides, disables and empties everything; on shows it again, not refilled. Both twice.
        for (bool on : {false, false, true, true}) {
            on ? g.w->controlon() : g.w->controloff();
            for (int k = 1; k <= 6; ++k) {
                QCOMPARE(g.w->list(k)->count(), 0);
                for (QWidget* c : QList<QWidget*>{g.w->list(k), g.w->command(k), g.w->label(k)}) {
                    QCOMPARE(c->isVisible(), on);
                    QCOMPARE(c->isEnabled(), on);
                }
            }
            QCOMPARE(a->child(4000), nullptr);  // the rows made before are gone with the entries
        }
    }

    void shortcutsAndTheManual() {
        Game g;
        DialogBot bot;
        GameRecord& rec = g.w->record();
        key(g, Qt::Key_F3);  // the start-up announcement, kept
        QCOMPARE(g.said.back(), cardAnnouncement(rec));
        key(g, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(g.said.back(), std::string("これより前はありません"));
        QVERIFY(g.printed() == QStringList({""}));
        QVERIFY(bot.seen.empty());

        rec.tancount = 1, rec.tanban[0] = 7, rec.tankin[0] = 1500, rec.tanflag = -1;
        const std::string race = "第 1レース" + rec.racename + "です";
        key(g, Qt::Key_F4);
        const int line = std::exchange(rec.racehist[0], 1);  // the dirt course: said with its distance
        key(g, Qt::Key_F5);
        QCOMPARE(g.said.back(), race + " ダート1800m");
        rec.racehist[0] = 17;
        QVERIFY(cardAnnouncement(rec).ends_with(rec.racename + " 芝3000m 持ち金 15000円"));
        rec.racehist[0] = line;
        key(g, Qt::Key_F6);
        QCOMPARE(g.said.back(), std::string("持ち金は 15000円です"));
        QCOMPARE(g.printed(), QStringList({"単勝 7番1500円", QString::fromStdString(race), "持ち金は 15000円です", ""}));
        // A screen reader reviews the same lines through the text interface.
        // It is a child beside the controls (not their surroundings), and gives whole lines.
        QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(g.w->printArea()->textWidget())->textInterface();
        QVERIFY(text && !QAccessible::queryAccessibleInterface(g.w->printArea())->textInterface());
        QCOMPARE(text->text(0, text->characterCount()), g.printed().join('\n'));
        int from = 0, to = 0;
        QCOMPARE(text->textAtOffset(5, QAccessible::LineBoundary, &from, &to), g.printed()[0] + '\n');
        QCOMPARE(text->textAtOffset(g.printed()[0].size() + 3, QAccessible::LineBoundary, &from, &to), g.printed()[1] + '\n');

        bot.press(QStringLiteral("キャンセル"));
        key(g, Qt::Key_F8);  // F7 is heard in the purchase test
        QTRY_COMPARE(bot.seen.size(), std::size_t(1));
        QCOMPARE(bot.seen[0].title, QStringLiteral("予想紙"));
        QCOMPARE(rec.mochikin, Money(14700));
        QTRY_COMPARE(g.said.back(), std::string("予想紙に300円払いました"));  // once the sheet is closed
        // The manual: self-voiced in a window of our own, read line by line;
        // beside a screen reader, by the desktop's viewer when there is one.
        g.dir.write("ozn.txt", "ozn オンラインマニュアル\n\n■ 画面");
        g.w->record().apppath = g.dir.path() + "/";
        g.w->mnuman();
        auto* manual = g.w->findChild<QDialog*>(QStringLiteral("manual"));
        QVERIFY(manual && g.opened.empty());
        auto* viewer = manual->findChild<QPlainTextEdit*>();
        QVERIFY(viewer->isReadOnly() && manual->focusWidget() == viewer);
        QCOMPARE(g.said.back(), std::string("ozn オンラインマニュアル"));
        QTest::keyClick(viewer, Qt::Key_Down);
        QCOMPARE(g.said.back(), std::string("空行"));
        QTest::keyClick(viewer, Qt::Key_Down);
        QCOMPARE(g.said.back(), std::string("■ 画面"));
        manual->close();
        g.w->setScreenReaderSetting(ScreenReaderSetting::On);
        g.w->mnuman();
        QCOMPARE(g.opened.back(), g.dir.file("ozn.txt"));
        g.desktop = false;
        g.w->mnuman();
        QTRY_VERIFY(g.w->findChild<QDialog*>(QStringLiteral("manual")));  // no desktop: ours again
        g.w->setScreenReaderSetting(ScreenReaderSetting::Auto);
        g.w->mnuurl();
        QCOMPARE(g.opened.back(), g.dir.file("ozn.html"));
    }

    // Typed entry, refusal, stake, page keys and Enter, a click, and what
    // self-voicing says of each dialog, menu and button on the way; then the
    // same with a screen reader, which says most of it itself.
    void buyByKeysAloneAndHearEveryStep() {
        Game g;
        DialogBot bot;
        GameRecord& rec = g.w->record();
        focusOn(g.w->list(3));
        bot.answerInput(QStringLiteral("1507"));  // refused: the smaller number first
        bot.press(QStringLiteral("続行"));
        bot.answerInput(QStringLiteral("0715"));
        bot.answerInput(QStringLiteral("500"));
        g.said.clear();
        QTest::keyClick(g.w->list(3), Qt::Key_0);
        QTRY_COMPARE(rec.mochikin, Money(14500));
        QCOMPARE((std::vector<int>{rec.umacount, rec.umaban1[0], rec.umaban2[0]}), (std::vector<int>{1, 7, 15}));
        const std::string prompt = "馬連の馬番を0715などのように四桁で入れて下さい";
        QCOMPARE(g.said, (std::vector<std::string>{
                             prompt, "入力エラー\r\n1から18の数字を入れて下さい\r\nキャンセル 再試行 続行", prompt,
                             "馬連 7番15番。金額を入力して下さい。持ち金は 15000円です", "馬連 7番15番 500円 買いました"}));
        QCOMPARE(bot.seen[0].title, QStringLiteral("ozn"));  // no title of its own
        QCOMPARE(bot.seen[3].title, QStringLiteral("6"));  // as specified; its name says what it is
        QCOMPARE(bot.seen[3].name, QStringLiteral("金額の入力"));
        QCOMPARE(bot.seen[3].text, QStringLiteral("馬連 7番15番\n金額を入力して下さい。持ち金は 15000円です"));
        QCOMPARE(bot.seen[0].name, QStringLiteral("馬番の入力"));
        QCOMPARE(g.w->focusWidget(), static_cast<QWidget*>(g.w->list(3)));
        // まとめ買い: a mistake brings the box back with the text kept; 7-15 joins the ticket held.
        bot.answerInput(QStringLiteral("07 19"));
        bot.press(QStringLiteral("続行"));
        bot.steps.push_back([](QWidget* w) {
            auto* d = qobject_cast<QInputDialog*>(w);
            QCOMPARE(d->textValue(), QStringLiteral("07 19"));
            d->setTextValue(QStringLiteral("07 15 18"));
            d->accept();
        });
        bot.answerInput(QStringLiteral("100"));
        bot.press(QStringLiteral("はい"));
        key(g, Qt::Key_B, Qt::ControlModifier);  // in the quinella list
        QTRY_COMPARE(rec.mochikin, Money(14200));
        QCOMPARE(bot.seen[5].text, QStringLiteral("19という馬番はありません。1から18の数字を入れて下さい"));
        QVERIFY(std::count(g.said.begin(), g.said.end(), "まとめ買い\r\n馬連 ボックス 3点 各100円 合計300円 買いますか\r\nはい いいえ"));
        QCOMPARE(g.said.back(), std::string("馬連 3点 300円 買いました"));
        key(g, Qt::Key_F4);
        QCOMPARE(g.printed().mid(0, 3), QStringList({"馬連 7番15番600円", "7番18番100円", "15番18番100円"}));
        QCOMPARE(g.w->focusWidget(), static_cast<QWidget*>(g.w->list(3)));

        SelectionList* l6 = g.w->list(6);
        l6->setFocus();
        l6->setCurrentRow(4000);
        QTest::keyClick(l6, Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(l6->currentRow(), 4895);
        QCOMPARE(g.said.back(), l6->currentText().toStdString());
        QTest::keyClick(l6, Qt::Key_PageUp, Qt::ShiftModifier);
        QCOMPARE(l6->currentRow(), 4795);
        QTest::keyClick(l6, Qt::Key_Left);
        QCOMPARE(l6->currentRow(), 4795);
        // End with no entry selected yet goes to the last one, as it says.
        for (int row : {-1, 10}) {
            l6->setCurrentRow(row);
            QTest::keyClick(l6, Qt::Key_End);
            QCOMPARE(l6->currentRow(), 4895);
        }
        g.said.clear();
        QTest::mouseClick(l6->viewport(), Qt::LeftButton, {}, l6->visualItemRect(l6->currentItem()).center());
        QCOMPARE(g.said, std::vector<std::string>{l6->currentText().toStdString()});  // a click speaks
        SelectionList* l4 = g.w->list(4);
        l4->setCurrentRow(2);
        g.said.clear();
        QTest::mouseClick(l4->viewport(), Qt::LeftButton, {}, l4->visualItemRect(l4->item(5)).center());
        QTRY_COMPARE(g.said, std::vector<std::string>{"ワイドの選択\r\n" + l4->item(5)->text().toStdString()});  // once, with the focus
        QTest::qWait(20);
        QCOMPARE(g.said.size(), std::size_t(1));
        l6->setFocus();
        bot.answerInput(QStringLiteral("100"));
        QTest::keyClick(l6, Qt::Key_Return);
        QTRY_COMPARE(int(rec.sanrentancount), 1);
        QCOMPARE(rec.mochikin, Money(14100));
        // Bought with a button: the list takes the focus back without a word
        // over the confirmation.
        SelectionList* l2 = g.w->list(2);
        l2->setCurrentRow(9);
        focusOn(g.w->command(2));
        bot.answerInput(QStringLiteral("300"));
        ActivationSpy spy(g.w.get());
        QTest::keyClick(g.w->command(2), Qt::Key_Return);
        QTRY_COMPARE(rec.mochikin, Money(13800));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(l2));
        // Back from the stake box is no change of window for a screen reader.
        QTRY_COMPARE(spy.spontaneous, std::vector<bool>{false});
        QDialog open;  // but coming from a window that stays open is
        open.show();
        QApplication::setActiveWindow(&open);
        QTRY_VERIFY(open.isActiveWindow());
        QApplication::setActiveWindow(g.w.get());
        QTRY_COMPARE(spy.spontaneous, (std::vector<bool>{false, true}));
        ActivationSpy openSpy(&open);  // nor from a box over another window
        QApplication::setActiveWindow(&open);
        {
            QDialog over(&open);
            over.show();
            QApplication::setActiveWindow(&over);
            QTRY_VERIFY(over.isActiveWindow());
        }
        QTRY_COMPARE(openSpy.spontaneous, (std::vector<bool>{true, false}));
        QTest::qWait(50);
        QCOMPARE(g.said.back(), std::string("副賞 10番 300円 買いました"));
        QVERIFY(g.said.end()[-2].rfind("副賞 10番。金額を入力して下さい。", 0) == 0);  // and no label between
        const std::string bought = g.said.back();

        bot.press(QStringLiteral("続行"));
        key(g, Qt::Key_F7);  // title, text and buttons of the odds box
        QTRY_VERIFY(g.said.back().rfind("探副オッズ\r\n 1番人気", 0) == 0);
        QVERIFY(g.said.back().find("キャンセル 再試行 続行") != std::string::npos);  // its buttons, in order
        const std::string odds = g.said.back();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!g.voice.speaking());  // closing the box ended what it was saying
        key(g, Qt::Key_F3);
        QCOMPARE(g.said.back(), odds);  // F3 repeats what was said last, the box too
        key(g, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(g.said.back(), "1つ前、" + bought);  // and Shift+F3 what came before
        QTest::keyClick(l6, Qt::Key_Up);
        QTest::keyClick(l6, Qt::Key_F3);
        QCOMPARE(std::vector<std::string>(g.said.end() - 2, g.said.end()),
                 std::vector<std::string>(2, l6->currentText().toStdString()));  // or the entry last reached
        rec.voicemode = 3;
        key(g, Qt::Key_F9);
        QCOMPARE(g.said.back(), std::string("音声1 オープンJトーク"));  // in the new voice
        focusOn(g.w->list(2));
        QTest::keyClick(g.w->list(2), Qt::Key_Tab);
        QCOMPARE(g.said.back(), std::string("副賞"));  // the button's caption
        QTest::keyClick(g.w.get(), Qt::Key_F10);
        QTRY_VERIFY(g.w->menuBar()->activeAction() == g.w->menuBar()->actions().constFirst());
        QTRY_COMPARE(g.said.back(), std::string("file\r\n発送 F2"));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Down);
        QTRY_COMPARE(g.said.back(), std::string("馬券 F4"));
        for (int i = 0; i < 2; ++i)  // out of the menu, and of the menu bar
            QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : g.w.get(), Qt::Key_Escape);

        // With a screen reader: no entry, label or dialog, only what it cannot know.
        // Orca started by hand: no desktop flag, but registered on the
        // accessibility bus, and followed as it comes and goes.
        ScreenReaderWatch watch;
        connect(&watch, &ScreenReaderWatch::changed, g.w.get(), &Form1::setScreenReaderRunning);
        // The desktop's flag with no screen reader behind it: trusted only
        // while one may still be registering, then the game speaks itself.
        watch.setGrace(100);
        watch.setFlag(true);
        QVERIFY(g.w->screenReaderMode());
        QTRY_VERIFY_WITH_TIMEOUT(!g.w->screenReaderMode(), 2000);
        focusOn(g.w->list(3));
        QTest::keyClick(g.w->list(3), Qt::Key_Down);
        QCOMPARE(g.said.back(), g.w->list(3)->currentText().toStdString());
        watch.setRegistered({QStringLiteral("ozn"), QStringLiteral("orca")});
        QVERIFY(g.w->screenReaderMode());
        watch.setRegistered({QStringLiteral("ozn")});
        QVERIFY(!g.w->screenReaderMode());
        watch.setRegistered({QStringLiteral("Orca"), QStringLiteral("ozn")});
        QVERIFY(g.w->screenReaderMode());
        focusOn(g.w->list(3));
        g.said.clear();
        QTest::keyClick(g.w->list(3), Qt::Key_Down);
        QTest::keyClick(g.w->list(3), Qt::Key_PageDown);
        bot.answerInput(QStringLiteral("0102"));
        bot.answerInput(QStringLiteral("100"));
        QTest::keyClick(g.w->list(3), Qt::Key_0);
        QTRY_COMPARE(rec.mochikin, Money(13700));
        key(g, Qt::Key_F6);
        QCOMPARE(g.said, (std::vector<std::string>{"馬連 1番2番 100円 買いました", "持ち金は 13700円です"}));
        QTest::keyClick(g.w->list(3), Qt::Key_Down);
        QTest::keyClick(g.w->list(3), Qt::Key_F3);
        QCOMPARE(g.said.back(), std::string("持ち金は 13700円です"));  // not the entry, which it read
        // By pointer: check boxes per place build the line that is typed.
        bot.steps.push_back([&g](QWidget* w) {
            auto* p = dynamic_cast<BulkPicker*>(w);
            QVERIFY(p);
            p->findChild<QAbstractButton*>(QStringLiteral("form4"))->click();  // フォーメーション
            QCOMPARE(p->opening(), std::string("馬連のまとめ買い：形式を選び、馬番にチェックを入れて下さい\r\nフォーメーション"));
            p->findChild<QCheckBox*>(QStringLiteral("r0h7"))->click();
            // What the count shows follows each box, beside a screen reader too.
            QCOMPARE(q(g.said.back()), p->findChild<QLabel*>(QStringLiteral("count"))->text());
            for (const char* box : {"r1h15", "r1h18"}) p->findChild<QCheckBox*>(QString::fromLatin1(box))->click();
            QCOMPARE(g.said.back(), std::string("2点"));
            QCOMPARE(p->findChild<QLabel*>(QStringLiteral("count"))->text(), QStringLiteral("07/15 18　2点"));
            QCOMPARE(p->findChild<QCheckBox*>(QStringLiteral("r1h18"))->accessibleName(), QStringLiteral("2頭目 18番"));
            p->accept();
        });
        bot.answerInput(QStringLiteral("100"));
        bot.press(QStringLiteral("はい"));
        g.w->findChild<QAction*>(QStringLiteral("mnumatomecheck"))->trigger();
        QTRY_COMPARE(rec.mochikin, Money(13500));
        QCOMPARE(g.said.back(), std::string("馬連 2点 200円 買いました"));
        // Closed without a choice, the picker hands the keyboard back: with no
        // window manager nobody else does, and every key after it was lost.
        bot.steps.push_back([](QWidget* w) {
            QApplication::setActiveWindow(nullptr);
            static_cast<QDialog*>(w)->reject();
        });
        g.w->findChild<QAction*>(QStringLiteral("mnumatomecheck"))->trigger();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(g.w.get()));
        // The player's choice wins over the desktop, and is kept.
        g.w->setScreenReaderSetting(ScreenReaderSetting::Off);
        QVERIFY(!g.w->screenReaderMode());
        QTest::keyClick(g.w->list(3), Qt::Key_Down);
        QCOMPARE(g.said.back(), g.w->list(3)->currentText().toStdString());
        g.w->setScreenReaderSetting(ScreenReaderSetting::On);
        Game again(true);
        QCOMPARE(again.w->screenReaderSetting(), ScreenReaderSetting::On);
        QVERIFY(again.w->screenReaderMode());
        QVERIFY(again.w->findChild<QAction*>(QStringLiteral("mnuscreenreader_on"))->isChecked());
    }

    // The fanfare leaves the window awake: a key is answered and so is the
    // accessibility interface while it plays. The race is the one that the
    // headless game plays from the same seed.
    void theFanfareLeavesTheWindowAwakeAndTheRaceIsTheHeadlessGames() {
        Game g;
        DialogBot bot;
        GameRecord sim;
        QCOMPARE(loadDataFiles(sim, g.dir.path()), std::string());
        sim.mochikin = 15000, sim.raceno = 1;
        GameRandom rng(7);
        readlist(sim, rng);
        SilentWorld world;
        Ports ports{world, rng, world, world, world};
        PlayedRace headless;
        autoplay(sim, ports, 1, Strategy::None, {}, [&](const PlayedRace& r) { headless = r; });

        GameRecord& rec = g.w->record();
        rec.voicemode = 1;
        QCOMPARE(rec.racename, headless.name);
        g.mp3.fanfareRounds = 300;  // about three seconds on the race's timer
        bot.press(QStringLiteral("続行"));
        key(g, Qt::Key_F2);
        QCOMPARE(g.mp3.played.size(), std::size_t(1));
        const auto before = g.said.size();
        QString name;
        QTimer::singleShot(0, g.w.get(), [&] {
            QCoreApplication::postEvent(g.w->raceStatus(), new QKeyEvent(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier));
            name = QAccessible::queryAccessibleInterface(g.w->raceStatus())->text(QAccessible::Name);
        });
        QTRY_VERIFY_WITH_TIMEOUT(g.said.size() > before && g.said.back() == "レース中です", 200);
        QCOMPARE(name, QStringLiteral("発走"));
        QCOMPARE(g.mp3.played.size(), std::size_t(1));  // still the fanfare
        QTRY_COMPARE_WITH_TIMEOUT(int(rec.raceno), 2, 15000);
        QCOMPARE(bot.seen.front().text, q(finishingOrderText(headless.out)));
        QCOMPARE(rec.mochikin, headless.after);
    }

    // F2 to the next card: the focus waits on the race status, the game's
    // commands wait while F9 works, Escape ends the music, the result is
    // read and the announcement waited for, the focus comes back, and the
    // race is in the history for F12 and the CSV.
    void aRaceFromF2ToItsResults() {
        Game g;
        DialogBot bot;
        GameRecord& rec = g.w->record();
        focusOn(g.w->list(4));
        g.mp3.musicEvents = 1000000;  // music that only Escape ends
        rec.voicemode = 1;
        const Money money = rec.mochikin;
        QTimer underway;  // acts once the start music plays
        QObject::connect(&underway, &QTimer::timeout, g.w.get(), [&] {
            if (g.w->raceStatus()->text() != QStringLiteral("レース中")) return;
            underway.stop();
            // Each refused key and command says once why; F9 still works.
            const auto before = g.said.size();
            for (Qt::Key k : {Qt::Key_F2, Qt::Key_F4, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7, Qt::Key_F8, Qt::Key_F9,
                              Qt::Key_F12, Qt::Key_Return, Qt::Key_0})
                QTest::keyClick(g.w->raceStatus(), k);
            QTest::keyClick(g.w->raceStatus(), Qt::Key_B, Qt::ControlModifier);
            for (const char* item : {"mnuhasso", "mnubaken", "mnuracename", "mnumochikin", "mnutanfuku", "mnulook"})
                g.w->findChild<QAction*>(QString::fromLatin1(item))->trigger();
            std::vector<std::string> heard(g.said.begin() + before, g.said.end());
            QCOMPARE(heard.size(), std::size_t(17));
            QCOMPARE(std::count(heard.begin(), heard.end(), "レース中です"), 16);
            QCOMPARE(heard[6], std::string("音声2 イースピーク"));
            QCOMPARE(g.voice.modes.back(), SpeakMode::Queue);  // after what the race says, never over it
            QCOMPARE(int(rec.voicemode), 2);
            QCOMPARE(g.printed(), QStringList({""}));
            QVERIFY(bot.seen.empty());
            QCOMPARE(rec.mochikin, money);  // no tip sheet bought
            rec.voicemode = 1;  // back to the engine the test listens to
            QTest::keyClick(g.w->raceStatus(), Qt::Key_Escape);
        });
        underway.start(10);
        bool checked = false;
        bot.steps.push_back([&](QWidget* box) {
            QCOMPARE(g.w->focusWidget(), static_cast<QWidget*>(g.w->raceStatus()));
            QVERIFY(g.w->raceStatus()->isVisible() && !g.w->command(6)->isVisible());
            // A second Escape at once does not close the result, and F3 repeats it.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(box->isVisible());
            const std::string result = g.said.back();
            QVERIFY(result.rfind("着順結果\r\n", 0) == 0);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
            QCOMPARE(g.said.back(), result);
            QAccessibleInterface* status = QAccessible::queryAccessibleInterface(g.w->raceStatus());
            QCOMPARE(std::pair(status->role(), status->text(QAccessible::Name)),
                     std::pair(QAccessible::Whitespace, QStringLiteral("レース中")));
            checked = true;
            clickIn(box, QStringLiteral("続行"));
        });
        QTest::keyClick(g.w.get(), Qt::Key_F2);
        QTRY_COMPARE_WITH_TIMEOUT(int(rec.raceno), 2, 10000);
        // Settled, the status the boxes give the focus back to is a blank a
        // screen reader passes by: no "レース中" over the money line.
        QAccessibleInterface* status = QAccessible::queryAccessibleInterface(g.w->raceStatus());
        QCOMPARE(std::pair(status->role(), status->text(QAccessible::Name)), std::pair(QAccessible::Whitespace, QString()));
        QVERIFY(checked && g.mp3.escaped);
        QCOMPARE(bot.seen.front().title, QStringLiteral("着順結果"));
        QCOMPARE(g.mp3.effects.front(), Effect::Gate);  // the gates open with their sound
        QCOMPARE(g.mp3.played.size(), std::size_t(2));
        QVERIFY(g.printed().contains(QStringLiteral("金額は変わりません")));
        QCOMPARE(g.w->list(6)->count(), 4896);  // the next card
        QTRY_COMPARE(g.w->focusWidget(), static_cast<QWidget*>(g.w->list(4)));
        QVERIFY(!g.w->raceStatus()->isVisible());
        // The new card is announced, then the list the focus came back to
        // follows it, once the window is active again after the box.
        QTRY_COMPARE(g.said.back(), std::string("ワイドの選択\r\n"));
        QCOMPARE(std::vector<std::string>(g.said.end() - 2, g.said.end()),
                 (std::vector<std::string>{cardAnnouncement(rec), "ワイドの選択\r\n"}));
        QCOMPARE(g.voice.modes.back(), SpeakMode::Queue);
        QVERIFY(cardAnnouncement(rec).rfind("第2レース " + rec.racename + " 芝", 0) == 0 ||
                cardAnnouncement(rec).rfind("第2レース " + rec.racename + " ダート", 0) == 0);
        key(g, Qt::Key_F3);  // the new card, not the label
        QCOMPARE(g.said.back(), cardAnnouncement(rec));
        key(g, Qt::Key_F3, Qt::ShiftModifier);  // then the race before it
        QVERIFY(g.said.back().rfind("1つ前、", 0) == 0 && g.said.back().ends_with("残り持ち金は 15000円です"));
        auto said = [&](const std::string& part) {
            return std::find_if(g.said.begin(), g.said.end(), [&](const std::string& t) { return t.find(part) != t.npos; });
        };
        QVERIFY(said("着順結果\r\n" + bot.seen[0].text.toStdString() + "\r\nキャンセル 再試行 続行") != g.said.end());
        auto announced = said("残り持ち金は 15000円です");  // waited for, whole
        QVERIFY(announced != g.said.end() && g.voice.modes[announced - g.said.begin()] == SpeakMode::Wait);

        // Escape pressed before the start music (in the pause after the fanfare)
        // is remembered: the music is skipped as it begins.
        g.mp3.escaped = false;
        g.mp3.musicEvents = 50000;
        bot.press(QStringLiteral("続行"));
        QTimer::singleShot(0, g.w.get(), [&] { QTest::keyClick(g.w->raceStatus(), Qt::Key_Escape); });
        key(g, Qt::Key_F2);
        QTRY_COMPARE_WITH_TIMEOUT(int(rec.raceno), 3, 10000);
        QVERIFY(g.mp3.escaped);

        QCOMPARE(g.w->history()->meeting(g.w->meeting()).size(), std::size_t(2));
        key(g, Qt::Key_F12);
        auto* results = g.w->findChild<QDialog*>(QStringLiteral("results"));
        QVERIFY(results && results->isVisible());
        auto* text = results->findChild<QPlainTextEdit*>();
        QVERIFY(text->isReadOnly() && results->focusWidget() == text);
        QStringList lines = text->toPlainText().split('\n');
        QCOMPARE(lines[0], QStringLiteral("今開催の成績（第1開催）"));
        QCOMPARE(g.said.back(), lines[0].toStdString());
        // The same first three as the result box.
        QStringList box = bot.seen[0].text.split(QStringLiteral("\r\n"));
        QString top;
        for (int p = 1; p <= 3; ++p) top += (p > 1 ? " " : "  ") + box[p].replace(QStringLiteral("着  "), QStringLiteral("着 "));
        QCOMPARE(lines[2], top);
        // A second F12 brings the same window back; F2 waits until it is closed.
        key(g, Qt::Key_F12);
        key(g, Qt::Key_F2);
        QCOMPARE(g.w->findChildren<QDialog*>(QStringLiteral("results")), QList<QDialog*>{results});
        QCOMPARE(int(rec.raceno), 3);
        text->setFocus();
        QTest::keyClick(text, Qt::Key_Down);
        QCOMPARE(g.said.back(), lines[1].toStdString());  // each line as the cursor reaches it
        QTest::keyClick(text, Qt::Key_F3);  // and F3 works in the window
        QCOMPARE(g.said.end()[-2], g.said.back());
        // The views and periods by key, each read from its title; the chart by
        // its sentence, spoken and kept for a screen reader.
        auto* view = static_cast<ResultsWindow*>(results);
        QApplication::setActiveWindow(view);
        for (auto [k, heard] : {std::pair{Qt::Key_K, "今開催の券種別"}, {Qt::Key_5, "通算の券種別"}, {Qt::Key_N, "通算の人気別"},
                                {Qt::Key_2, "今日の人気別"}, {Qt::Key_T, "今日の点数別"}}) {
            QTest::keyClick(QApplication::focusWidget(), k);
            QCOMPARE(QString::fromStdString(g.said.back()), QString::fromUtf8(heard));
        }
        QCOMPARE(view->findChild<QComboBox*>(QStringLiteral("period"))->currentText(), QStringLiteral("今日"));
        // Beside a screen reader, which notices no table changed by a key, too;
        // each box's name carries its value.
        g.w->setScreenReaderSetting(ScreenReaderSetting::On);
        for (auto [k, heard] : {std::pair{Qt::Key_1, "今開催の点数別"}, {Qt::Key_2, "今日の点数別"}}) {
            QTest::keyClick(QApplication::focusWidget(), k);
            QCOMPARE(QString::fromStdString(g.said.back()), QString::fromUtf8(heard));
        }
        QCOMPARE(view->findChild<QComboBox*>(QStringLiteral("view"))->accessibleName(), QStringLiteral("表示 点数別"));
        // and so does the label a screen reader reads for the box's name
        QStringList labels;
        for (QLabel* l : view->findChildren<QLabel*>())
            if (l->buddy()) labels << l->accessibleName();
        QCOMPARE(labels, QStringList({"期間 今日", "表示 点数別"}));
        g.w->setScreenReaderSetting(ScreenReaderSetting::Auto);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_G);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view->chart()));
        QVERIFY(g.said.back().rfind("今日は 2レース。持ち金は 15000円から 15000円", 0) == 0);
        QCOMPARE(view->chart()->accessibleDescription().toStdString(), g.said.back());
        QCOMPARE(view->chart()->chart()->series().size(), 1);
        {  // the line is the money: where the period began, then after each race
            QList<QPointF> expected;
            const std::vector<RaceRow> played = g.w->history()->meeting(g.w->meeting());
            expected << QPointF(0, double(played.front().before));
            for (std::size_t i = 0; i < played.size(); ++i) expected << QPointF(double(i + 1), double(played[i].after));
            QCOMPARE(static_cast<QLineSeries*>(view->chart()->chart()->series().front())->points(), expected);
        }
        // Every view saves what it shows: a breakdown row by row; the races (as a table or a chart) one row each.
        const std::string csv = g.dir.file("view.csv");
        for (int v = 0; v < 7; ++v) {
            view->setView(static_cast<ResultsWindow::View>(v));
            QVERIFY(view->saveView(csv));
            const bool races = v == 0 || v == 6;
            QCOMPARE(QString::fromStdString(g.dir.read("view.csv")).split("\r\n")[0].startsWith(races ? "\xEF\xBB\xBF日時,開催,レース,レース名,コース,1着,2着,3着" : "\xEF\xBB\xBF期間,表,項目"), true);
        }
        const RaceRow first = g.w->history()->meeting(g.w->meeting()).front();
        QString row = QString::fromStdString(first.playedAt + ",1,1," + first.raceName + "," + first.course);
        for (int p = 1; p <= 3; ++p) row += "," + box[p].section(' ', 1).chopped(1);
        row += QString(",%1,%2,15000,15000,0").arg(first.scratched ? QString::number(first.scratched) : "", first.fallen ? QString::number(first.fallen) : "");
        QCOMPARE(QString::fromStdString(g.dir.read("view.csv")).split("\r\n")[1], row);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!g.w->findChild<QDialog*>(QStringLiteral("results")));
        ResultsWindow none(nullptr, nullptr, 1, "2026-12-07", [&](const std::string& t) { g.said.push_back(t); });
        none.findChild<QPushButton*>()->click();  // no history kept: it says why
        QCOMPARE(g.said.back(), std::string("成績は記録されていないので保存できません"));
        QVERIFY(g.w->exportCsv(g.dir.file("seiseki.csv")));
        QVERIFY(g.dir.read("seiseki.csv").rfind("\xEF\xBB\xBF日時,開催,レース", 0) == 0);
    }

    // Ctrl alone silences, Ctrl+arrows change speed and volume (kept for the
    // next start), key help names keys and runs none, the sound dialog is
    // heard as it moves and Cancel restores; menus say states and submenus.
    void speechKeysKeyHelpAndSoundSettings() {
        {
            Game g;
            DialogBot bot;
            SelectionList* l3 = g.w->list(3);
            focusOn(l3);
            l3->setCurrentRow(5);
            QVERIFY(g.voice.speaking());
            QTest::keyClick(l3, Qt::Key_Control);
            QVERIFY(!g.voice.speaking());  // the queue is empty
            QTest::keyClick(l3, Qt::Key_Up, Qt::ControlModifier);
            QCOMPARE(g.said.back(), std::string("速さ 110%"));
            QTest::keyClick(l3, Qt::Key_Left, Qt::ControlModifier);
            QCOMPARE(g.said.back(), std::string("音量 90%"));
            QCOMPARE(g.voice.params.back(), (SpeechParams{110, 0, 90}));
            QCOMPARE(l3->currentRow(), 5);  // the list did not move

            key(g, Qt::Key_F1);
            QCOMPARE(g.said.back(), std::string("キーの説明です。もう一度F1で終わります"));
            key(g, Qt::Key_F2);
            QCOMPARE(g.said.back(), std::string("F2、発送。レースを始めます"));
            QTest::keyClick(l3, Qt::Key_0);
            QCOMPARE(g.said.back(), std::string("0、番号を打って買います"));
            QTest::keyClick(l3, Qt::Key_Left);
            QCOMPARE(g.said.back(), std::string("このキーは使いません"));
            QTest::keyClick(g.w->command(3), Qt::Key_Space);  // on a buying button
            QCOMPARE(g.said.back(), std::string("Enter / Space、このボタンの馬券を買います"));
            key(g, Qt::Key_Escape);
            QCOMPARE(g.said.back(), std::string("キーの説明を終わります"));
            QVERIFY(g.mp3.played.empty() && bot.seen.empty() && g.w->record().raceno == 1);  // nothing ran

            // Typed characters are echoed (marks by name), and what Backspace takes away.
            g.said.clear();
            bot.steps.push_back([](QWidget* w) {
                auto* edit = w->findChild<QLineEdit*>();
                QTest::keyClicks(edit, "0/7");
                QTest::keyClick(edit, Qt::Key_Backspace);
                static_cast<QDialog*>(w)->reject();
            });
            QTest::keyClick(l3, Qt::Key_0);
            QTRY_COMPARE(bot.seen.size(), std::size_t(1));
            QTRY_VERIFY(!QApplication::activeModalWidget());
            QCOMPARE(std::vector<std::string>(g.said.begin() + 1, g.said.end()), (std::vector<std::string>{"0", "スラッシュ", "7", "7"}));

            // What is said in a box, F3's repeat of its text too, ends with the box.
            bot.steps.push_back([](QWidget* w) {
                QTest::keyClick(w, Qt::Key_F3);
                clickIn(w, QStringLiteral("続行"));
            });
            g.w->findChild<QAction*>(QStringLiteral("mnutanfuku"))->trigger();
            QTRY_COMPARE(bot.seen.size(), std::size_t(2));
            QVERIFY(g.said.back().rfind("探副オッズ", 0) == 0 && !g.voice.speaking());

            // The sound dialog: each move heard at once; Cancel, then OK.
            for (const char* button : {"キャンセル", "OK"})
                bot.steps.push_back([button, &g](QWidget* w) {
                    auto sliders = w->findChildren<QSlider*>();
                    QCOMPARE(sliders.size(), 5);
                    QCOMPARE(g.said.back(), std::string("音の設定\r\n速さ 110%"));  // heard as it opens
                    QCOMPARE(w->focusWidget(), static_cast<QWidget*>(sliders[0]));
                    QCOMPARE(sliders[0]->accessibleName(), QStringLiteral("読み上げの速さ"));
                    sliders[0]->setValue(150);
                    QCOMPARE(g.said.back(), std::string("速さ 150%"));
                    // Reached and moved, a slider is said in the same words.
                    QTest::keyClick(sliders[0], Qt::Key_Tab);
                    QCOMPARE(g.said.back(), std::string("高さ 0"));
                    QTest::keyClick(sliders[1], Qt::Key_Right);
                    QCOMPARE(g.said.back(), std::string("高さ プラス1"));
                    QTest::keyClick(sliders[1], Qt::Key_Left);
                    QCOMPARE(g.voice.params.back().speed, 150);
                    sliders[3]->setValue(40);
                    QCOMPARE(g.said.back(), std::string("音楽 40%"));
                    // A screen reader reads a slider's new value itself: not twice.
                    g.w->setScreenReaderSetting(ScreenReaderSetting::On);
                    const std::size_t before = g.said.size();
                    sliders[2]->setValue(50), sliders[2]->setValue(90);
                    QCOMPARE(g.said.size(), before);
                    g.w->setScreenReaderSetting(ScreenReaderSetting::Auto);
                    clickIn(w, QString::fromUtf8(button));
                });
            g.w->findChild<QAction*>(QStringLiteral("mnusound"))->trigger();
            QCOMPARE(g.w->speechControl()->settings(), (SoundSettings{110, 0, 90, 100, 100, true}));
            QCOMPARE(g.voice.params.back().speed, 110);
            g.w->findChild<QAction*>(QStringLiteral("mnusound"))->trigger();
            QCOMPARE(g.w->speechControl()->settings(), (SoundSettings{150, 0, 90, 40, 100, true}));
            QCOMPARE(g.mp3.musicVolume, 40);  // the mixer follows each change
            g.w->findChild<QAction*>(QStringLiteral("mnujikkyo_off"))->trigger();
            QCOMPARE(g.said.back(), std::string("実況 なし"));
            QVERIFY(!g.w->speechControl()->settings().commentary);

            // Menus: a checkable item says its state, a submenu says so, once.
            auto* other = g.w->findChild<QMenu*>(QStringLiteral("mnuother"));
            auto* view = g.w->findChild<QMenu*>(QStringLiteral("mnuview"));
            g.said.clear();
            auto* wide = g.w->findChild<QAction*>(QStringLiteral("mnuwide"));
            emit other->hovered(view->menuAction());
            // As Qt does it: the parent menu hears its submenu's item as well.
            for (int i = 0; i < 2; ++i) emit view->hovered(wide), emit other->hovered(wide);
            QTRY_COMPARE(g.said, (std::vector<std::string>{"表示 サブメニュー", "リストを広げる オフ"}));
            // Chosen by its letter, only the new state.
            view->popup(g.w->mapToGlobal(QPoint(0, 0)));
            QTRY_VERIFY(view->isVisible());
            g.said.clear();
            QTest::keyClick(view, Qt::Key_W);
            QTest::qWait(20);
            QCOMPARE(g.said, (std::vector<std::string>{"リストを広げる オン"}));
            wide->trigger();
            // Chosen, each says its new state.
            for (const char* name : {"mnuwide", "mnucontrast", "mnuwide", "mnucontrast"})
                g.w->findChild<QAction*>(QString::fromLatin1(name))->trigger();
            QCOMPARE(std::vector<std::string>(g.said.end() - 4, g.said.end()),
                     (std::vector<std::string>{"リストを広げる オン", "白黒反転 オン", "リストを広げる オフ", "白黒反転 オフ"}));

            g.w->findChild<QAction*>(QStringLiteral("mnukeys"))->trigger();
            auto* keys = g.w->findChild<QDialog*>(QStringLiteral("keyList"));
            QVERIFY(keys);
            QCOMPARE(keys->findChild<QPlainTextEdit*>()->toPlainText().split('\n'), qLines(keyListLines()));
            QTRY_COMPARE(QApplication::activeWindow(), keys);
            keys->close();  // the keyboard goes back to the game, also without a window manager
            QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(g.w.get()));
            g.w->findChild<QAction*>(QStringLiteral("mnuspeechlog"))->trigger();
            auto* log = g.w->findChild<QDialog*>(QStringLiteral("speechHistory"));
            QVERIFY(log && log->findChild<QPlainTextEdit*>()->toPlainText().split(QLatin1Char(10)).first().endsWith(QString::fromStdString(keyListLines().front())));
        }
        Game again(true);  // kept for the next start
        QCOMPARE(again.w->speechControl()->settings(), (SoundSettings{150, 0, 90, 40, 100, false}));
        QCOMPARE(again.voice.params.back(), (SpeechParams{150, 0, 90}));
        QCOMPARE(again.mp3.musicVolume, 40);
        QVERIFY(again.w->findChild<QAction*>(QStringLiteral("mnujikkyo_off"))->isChecked());
    }

    // The race view over the print area: it moves as the race runs, a
    // screen reader reads it as the stage and the leader, it grows with the
    // zoom, ends on the result box's order and gives the print area back;
    // with レースを表示 なし (kept) it is never shown.
    void theRaceIsDrawnAsItRuns() {
        Game g;
        DialogBot bot;
        auto* view = g.w->findChild<RaceView*>(QStringLiteral("raceView"));
        QVERIFY(view && !view->isVisible() && view->showsRaces());
        g.mp3.musicEvents = 300;  // the window draws between ticks
        QImage first, third, zoomed;
        QString description;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, g.w.get(), [&] {
            if (!view->isVisible()) return;
            if (first.isNull() && view->frame().stage == Stage::FirstCorner) first = view->grab().toImage();
            if (!third.isNull() || view->frame().stage != Stage::ThirdCorner) return;
            third = view->grab().toImage();
            description = QAccessible::queryAccessibleInterface(view)->text(QAccessible::Description);
            const int h = view->frame().leader();
            QCOMPARE(description, QStringLiteral("3コーナー、先頭は%1番").arg(h) + q(g.w->record().umaname[h - 1]));
            g.w->setZoom(300);
            zoomed = view->grab().toImage();
            g.w->setZoom(100);
        });
        watch.start(0);
        bot.steps.push_back([&](QWidget* box) {
            QVERIFY(view->isVisible() && view->frame().over);
            QString order;
            for (std::size_t p = 0; p < view->frame().runners.size(); ++p)
                order += QStringLiteral("\r\n%1着%2番").arg(p + 1).arg(view->frame().runners[p].horse);
            QVERIFY(static_cast<QMessageBox*>(box)->text().remove(QLatin1Char(' ')).startsWith(order));
            clickIn(box, QStringLiteral("続行"));
        });
        key(g, Qt::Key_F2);
        QTRY_COMPARE_WITH_TIMEOUT(int(g.w->record().raceno), 2, 10000);
        QVERIFY(bot.steps.empty() && !view->isVisible());
        QVERIFY(!first.isNull() && !third.isNull() && first != third);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(view);
        QCOMPARE(a->role(), QAccessible::Animation);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("レースの展開"));
        // The line above the track, three times as tall at 300 %.
        auto headline = [](const QImage& img) {
            const QRgb ground = img.pixel(img.width() - 1, 0);
            int top = -1, y = 0;
            for (; y < img.height(); ++y) {
                bool ink = false;
                for (int x = 0; x < img.width() / 2 && !ink; ++x) ink = img.pixel(x, y) != ground;
                if (ink && top < 0) top = y;
                if (!ink && top >= 0) break;
            }
            return double(y - top);
        };
        const double grown = headline(zoomed) / headline(third);
        QVERIFY2(grown > 2.4 && grown < 3.6, QByteArray::number(grown));

        g.w->findChild<QAction*>(QStringLiteral("mnuraceview_off"))->trigger();
        QCOMPARE(g.said.back(), std::string("レースを表示 なし"));
        bot.steps.push_back([&](QWidget* box) {
            QVERIFY(!view->isVisible());
            clickIn(box, QStringLiteral("続行"));
        });
        key(g, Qt::Key_F2);
        QTRY_COMPARE_WITH_TIMEOUT(int(g.w->record().raceno), 3, 10000);
        QVERIFY(bot.steps.empty());
        Game again(true);
        QVERIFY(again.w->findChild<QAction*>(QStringLiteral("mnuraceview_off"))->isChecked());
    }

    void closeDeclinedThenAskedOnlyAfterARace() {
        Game g;
        DialogBot bot;
        GameRecord& rec = g.w->record();
        rec.voicemode = 2;
        bot.press(QStringLiteral("いいえ"));
        g.w->close();
        QTRY_COMPARE(bot.seen.size(), std::size_t(1));
        QCOMPARE(bot.seen[0].text, QStringLiteral("終了しますか?"));
        QCOMPARE(QSet<QString>(bot.seen[0].buttons.begin(), bot.seen[0].buttons.end()), QSet<QString>({"はい", "いいえ"}));
        QVERIFY(g.w->isVisible());
        QCOMPARE(g.dir.read("ozn.cfg"), std::string("2\r\n"));
        QCOMPARE(g.dir.read("baken.txt"), std::string(" 15000 \r\n"));  // as begun: the declined close saved nothing

        // While the result box is up the player closes the window: nothing
        // is asked until the race is settled.
        rec.voicemode = 3;
        rec.tancount = 1, rec.tanban[0] = rec.yoso1, rec.tankin[0] = 1000, rec.tanflag = -1;
        rec.mochikin = 14000;
        bot.steps.push_back([&](QWidget* box) {
            g.w->close();
            QVERIFY(g.w->isVisible());
            clickIn(box, QStringLiteral("続行"));
        });
        bot.press(QStringLiteral("はい"));
        key(g, Qt::Key_F2);
        QTRY_VERIFY_WITH_TIMEOUT(!g.w->isVisible(), 10000);
        QCOMPARE(bot.seen.size(), std::size_t(3));
        QCOMPARE(bot.seen[2].text, QStringLiteral("終了しますか?"));
        QCOMPARE(g.dir.read("ozn.cfg"), std::string("3\r\n"));
        QCOMPARE(g.dir.read("baken.txt"), " " + std::to_string(rec.mochikin) + " \r\n");
        QVERIFY(g.printed().join("|").contains(QStringLiteral("残り持ち金は")));  // settled first
        QCOMPARE(int(rec.raceno), 2);
        QCOMPARE(g.exits, std::vector<int>{0});  // ended the usual way, with status 0

        // A second game on the same data folder says so and touches nothing;
        // once the first has gone, the next starts.
        const std::string save = g.dir.read("baken.txt");
        g.dir.write("ozn.cfg", "untouched");
        bot.press(QStringLiteral("OK"));
        QVERIFY(!Form1(g.services()).startUp(g.env()));
        QCOMPARE(bot.seen.back().text, QStringLiteral("ozn はすでに動いています"));
        QCOMPARE(g.dir.read("baken.txt") + g.dir.read("ozn.cfg"), save + "untouched");
        g.w.reset();
        QVERIFY(Form1(g.services()).startUp(g.env()));
    }

    void zoomFocusWideListsAndContrast() {
        QList<QWidget*> controls;
        QList<QRect> at100;
        {
            Game g;
            for (int k = 1; k <= 6; ++k) controls << g.w->list(k) << g.w->command(k) << g.w->label(k);
            for (QWidget* c : controls) at100 << c->geometry();
            const int buttonFont = g.w->command(1)->font().pixelSize();
            auto px = [](QWidget* w) { return QFontInfo(w->font()).pixelSize(); };
            const int text100 = px(g.w->printArea());
            key(g, Qt::Key_Equal, Qt::ControlModifier);
            QCOMPARE(g.w->zoom(), 125);
            QCOMPARE(g.said.back(), std::string("125%"));
            key(g, Qt::Key_0, Qt::ControlModifier);
            QCOMPARE(g.w->zoom(), 100);
            key(g, Qt::Key_Minus, Qt::ControlModifier);
            QCOMPARE(g.said.back(), std::string("これ以上小さくできません"));
            for (int i = 0; i < controls.size(); ++i) QCOMPARE(controls[i]->geometry(), at100[i]);  // exactly the designed layout
            g.w->setZoom(200);
            for (int i = 0; i < controls.size(); ++i)
                QCOMPARE(controls[i]->geometry(), QRect(at100[i].topLeft() * 2, at100[i].size() * 2));
            QVERIFY(g.w->command(1)->font().pixelSize() >= 2 * buttonFont);
            QVERIFY(QFontMetrics(g.w->command(3)->font()).horizontalAdvance(g.w->command(3)->text()) < g.w->command(3)->width());

            // The focused list: a ring in the highlight colour, its selection
            // active; the other lists' selections in the inactive colour.
            g.w->list(3)->setFocus();
            QTRY_VERIFY(g.w->focusFrame()->isVisible());
            QCOMPARE(g.w->focusFrame()->geometry(), g.w->list(3)->geometry());
            const QColor highlight = QApplication::palette().color(QPalette::Highlight);
            QImage shot = g.w->printArea()->grab().toImage();
            const QRect l3 = g.w->list(3)->geometry();
            for (int d : {0, 1})
                QCOMPARE(shot.pixelColor(l3.x() + d, l3.center().y()), highlight);  // at least two pixels wide
            QCOMPARE(g.w->list(3)->palette().color(QPalette::Highlight), highlight);
            QCOMPARE(g.w->list(4)->palette().color(QPalette::Highlight), QApplication::palette().color(QPalette::Mid));
            QVERIFY(QApplication::palette().color(QPalette::Mid) != highlight);

            // Wide lists: nothing cut off, and the columns make room.
            g.w->setWideLists(true);
            for (int k = 1; k <= 6; ++k) {
                SelectionList* l = g.w->list(k);
                QFontMetrics fm(l->font());
                int longest = 0;
                for (int i = 0; i < l->count(); ++i) longest = std::max(longest, fm.horizontalAdvance(l->item(i)->text()));
                QVERIFY2(longest <= l->viewport()->width() - 2 * l->style()->pixelMetric(QStyle::PM_FocusFrameHMargin),
                         qPrintable(QStringLiteral("list%1: %2 > %3").arg(k).arg(longest).arg(l->viewport()->width())));
            }
            QVERIFY(g.w->list(3)->x() > g.w->list(1)->geometry().right());
            QVERIFY(g.w->list(5)->x() > g.w->list(3)->geometry().right());
            for (QWidget* c : controls) QVERIFY(g.w->printArea()->textLeft() > c->geometry().right());  // no line beneath one

            // At 300 %: every window, menu and dialog as large as the form's
            // text, and every printed line within reach of the scroll bars.
            g.w->setZoom(300);
            key(g, Qt::Key_Plus, Qt::ControlModifier);
            QCOMPARE(g.said.back(), std::string("これ以上大きくできません"));
            const int big = px(g.w->printArea());
            QVERIFY(std::abs(big - 3 * text100) <= 1);
            QTRY_COMPARE(px(g.w->findChild<QMenu*>(QStringLiteral("mnufile"))), big);
            // Each caption whole beside the check column, drawn most of an item's height wide.
            auto* help = g.w->findChild<QMenu*>(QStringLiteral("mnuhelp"));
            for (QAction* a : help->actions()) {
                const QRect r = help->actionGeometry(a);
                QVERIFY2(r.width() - r.height() * 4 / 5 - 20 >= help->fontMetrics().horizontalAdvance(a->text().remove('&')),
                         qPrintable(a->text()));
            }
            DialogBot bot;
            int stakeBox = 0;
            bot.steps.push_back([&](QWidget* box) { stakeBox = px(box), clickIn(box, "キャンセル"); });
            g.w->list(1)->setCurrentRow(0);
            QTest::keyClick(g.w->list(1), Qt::Key_Return);
            QTRY_COMPARE(stakeBox, big);
            QVERIFY(bot.seen.at(0).text.endsWith(QStringLiteral("\n金額を入力して下さい。持ち金は 15000円です")));  // the stake box
            key(g, Qt::Key_F12);
            QTRY_VERIFY(g.w->findChild<QDialog*>(QStringLiteral("results")));
            auto* results = static_cast<ResultsWindow*>(g.w->findChild<QDialog*>(QStringLiteral("results")));
            QCOMPARE(px(results), big);
            results->setView(ResultsWindow::View::Chart);  // the chart follows the zoom and the contrast
            QCOMPARE(QFontInfo(results->chart()->chart()->titleFont()).pixelSize(), big);
            g.desktop = false;
            g.w->mnuman();
            QCOMPARE(px(g.w->findChildren<QPlainTextEdit*>().back()), big);
            const QString wide(200, QChar(0x99AC));  // 馬
            g.w->printArea()->print(wide, true);
            QVERIFY(g.w->printArea()->width() >=
                    g.w->printArea()->textLeft() + QFontMetrics(g.w->printArea()->font()).horizontalAdvance(wide));
            g.w->setHighContrast(true);
            QTRY_COMPARE(results->chart()->chart()->backgroundBrush().color(), QColor(Qt::black));
        }
        // All three are kept for the next start.
        Game again(true);
        QCOMPARE(again.w->zoom(), 300);
        QVERIFY(again.w->wideLists() && again.w->highContrast());
        const QPalette p = QApplication::palette();
        for (auto role : {QPalette::Window, QPalette::Base}) QCOMPARE(p.color(role), QColor(Qt::black));
        for (auto role : {QPalette::WindowText, QPalette::ButtonText})
            QVERIFY(p.color(role) == QColor(Qt::white) || p.color(role) == QColor(Qt::yellow));
        QVERIFY(p.color(QPalette::Highlight) != p.color(QPalette::Mid));  // focus and selection still apart
        QCOMPARE(again.w->printArea()->palette().color(QPalette::WindowText), p.color(QPalette::WindowText));
        again.w->setHighContrast(false);
        again.w->setZoom(100);
        again.w->setWideLists(false);
    }
};

int main(int argc, char** argv) {
    GameApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_window.moc"
