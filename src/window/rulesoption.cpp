#include "window/rulesoption.h"

#include <QAction>
#include <QMenu>

#include "window/qtext.h"

namespace ozn {

namespace {
const QString kKey = QStringLiteral("rules/honkaku");
}

std::string rulesStateSpeech(const GameRecord& rec) {
    return std::string("本格ルール") + (rec.honkakuWanted ? " オン" : " オフ") +
           (rec.honkaku != rec.honkakuWanted ? "、次のレースから" : "");
}

QAction* addRulesOption(QMenu* menu, GameRecord& rec, std::function<void(const std::string&)> say,
                        std::function<void()> changed) {
    rec.honkakuWanted = userSettings().value(kKey, false).toBool();
    QAction* a = menu->addAction(QStringLiteral("本格ルール(&n)"));
    a->setObjectName(QStringLiteral("mnuhonkaku"));
    a->setCheckable(true);
    a->setChecked(rec.honkakuWanted);
    QObject::connect(a, &QAction::triggered, menu, [&rec, say = std::move(say), changed = std::move(changed)](bool on) {
        rec.honkakuWanted = on;
        userSettings().setValue(kKey, on);
        changed();
        say(rulesStateSpeech(rec));
    });
    return a;
}

}  // namespace ozn
