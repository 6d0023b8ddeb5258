#pragma once
#include <functional>

#include "core/interfaces.h"
#include "core/record.h"
#include "race/race.h"
#include "sound/soundsettings.h"

class QAction;
class QMenu;

namespace ozn {

class QtUi;
class SpeechControl;

// The race as it is heard: the sounds of events reach the mixer, the music
// and effect volumes are put in force, and その他 → 実況 (あり / なし) is
// kept with the other sound settings.
class RaceSound {
public:
    RaceSound(GameRecord& rec, QtUi& ui, Speaker& speech, Mp3Player& mp3,
              std::function<void(const SoundSettings&)> alsoApply);
    void apply(const SoundSettings& s);
    void buildMenu(QMenu* other, SpeechControl* control);
    // How the race about to run is called.
    RaceCall call() const;

private:
    GameRecord& rec_;
    Speaker& speech_;
    Mp3Player& mp3_;
    std::function<void(const SoundSettings&)> alsoApply_;
    SoundSettings settings_;
    QAction* on_ = nullptr;
    QAction* off_ = nullptr;
};

}  // namespace ozn
