// The window's menus: each command with its key, and speech for every menu.
#include <QAction>
#include <QMenuBar>
#include <QShortcut>

#include "window/form1.h"
#include "sound/voice.h"
#include "window/buying.h"
#include "window/menus.h"
#include "window/racesound.h"
#include "window/raceview.h"
#include "window/rulesoption.h"
#include "window/screenreader.h"
#include "window/speechcontrol.h"

namespace ozn {

void Form1::buildMenus() {
    auto add = [this](QMenu* menu, const char* name, const QString& caption, QKeySequence key, void (Form1::*slot)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) a->setShortcut(key);
        a->setShortcutContext(Qt::ApplicationShortcut);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("file(&f)"));
    file->setObjectName(QStringLiteral("mnufile"));
    add(file, "mnuhasso", QStringLiteral("発送(&h)"), QKeySequence(Qt::Key_F2), &Form1::mnuhasso);
    add(file, "mnubaken", QStringLiteral("馬券(&b)"), QKeySequence(Qt::Key_F4), &Form1::mnubaken);
    add(file, "mnuracename", QStringLiteral("レース名(&r)"), QKeySequence(Qt::Key_F5), &Form1::mnuracename);
    add(file, "mnumochikin", QStringLiteral("持ち金(&m)"), QKeySequence(Qt::Key_F6), &Form1::mnumochikin);
    add(file, "mnutanfuku", QStringLiteral("単勝・副賞のオッズ(&t)"), QKeySequence(Qt::Key_F7), &Form1::mnutanfuku);
    add(file, "mnulook", QStringLiteral("予想しを見る(&l)"), QKeySequence(Qt::Key_F8), &Form1::mnulook);
    QAction* exit = file->addAction(QStringLiteral("終了(&x)"));
    exit->setObjectName(QStringLiteral("mnuexit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* other = menuBar()->addMenu(QStringLiteral("その他(&o)"));
    other->setObjectName(QStringLiteral("mnuother"));
    add(other, "mnuvoice", QStringLiteral("音声切り替え(&v)"), QKeySequence(Qt::Key_F9), &Form1::mnuvoice);
    add(other, "mnumatome", QStringLiteral("まとめ買い(&b)"), QKeySequence(Qt::CTRL | Qt::Key_B), &Form1::mnumatome);
    QAction* picker = other->addAction(QStringLiteral("まとめ買い・チェックで選ぶ(&p)"));
    picker->setObjectName(QStringLiteral("mnumatomecheck"));
    connect(picker, &QAction::triggered, this, [this] { buying_->bulk(lastFocusedList_, true); });
    speechControl_->watchMenu(srChoice_->buildMenu(other));
    buildViewMenu(other);
    addRulesOption(other, rec_, [this](const std::string& s) { speech_->answer(s); }, [this] { rulesChanged(); });
    add(other, "mnuseiseki", QStringLiteral("成績(&k)"), QKeySequence(Qt::Key_F12), &Form1::mnuseiseki);
    add(other, "mnucsv", QStringLiteral("成績をCSVで保存(&c)"), {}, &Form1::mnucsv);
    SpeechControl* sc = speechControl_;
    auto addSpeech = [sc](QMenu* menu, const char* name, const QString& caption, void (SpeechControl::*slot)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, sc, slot);
    };
    // Its box waits for the player: not in a race, where it would hold it up.
    add(other, "mnusound", QStringLiteral("音の設定(&a)"), {}, &Form1::mnusound);
    raceSound_->buildMenu(other, sc);
    (new RaceView(scroll_))->buildMenu(other, sc, *speech_);
    addSpeech(other, "mnuspeechlog", QStringLiteral("読み上げ履歴(&r)"), &SpeechControl::openHistoryWindow);

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&h)"));
    help->setObjectName(QStringLiteral("mnuhelp"));
    add(help, "mnuman", QStringLiteral("オンラインマニュアル(&m)"), {}, &Form1::mnuman);
    add(help, "mnuver", QStringLiteral("バージョン情報(&v)"), {}, &Form1::mnuver);
    add(help, "mnuurl", QStringLiteral("ころもちのページへ(&u)"), {}, &Form1::mnuurl);
    addSpeech(help, "mnukeys", QStringLiteral("キー一覧(&k)"), &SpeechControl::openKeyList);

    for (QMenu* menu : {file, other, help}) sc->watchMenu(menu);
    // F10 opens the first menu, as elsewhere on the desktop.
    connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this, [this, file] {
        menuBar()->setActiveAction(file->menuAction());
        file->setActiveAction(file->actions().constFirst());
    });
}

}  // namespace ozn
