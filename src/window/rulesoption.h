#pragma once
// その他 → 本格ルール: 馬単 and 枠連, and payouts as a totalisator pays them.
#include <functional>
#include <string>

#include "core/record.h"

class QAction;
class QMenu;

namespace ozn {

// Adds the checkable item, kept in the user's settings, and puts the kept
// choice into `rec` for the first card. `changed` lets the card on show take
// it up; what is said tells the state, and when it waits for the next race.
QAction* addRulesOption(QMenu* menu, GameRecord& rec, std::function<void(const std::string&)> say,
                        std::function<void()> changed);

// "本格ルール オン", with "、次のレースから" while the card keeps the old rules.
std::string rulesStateSpeech(const GameRecord& rec);

}  // namespace ozn
