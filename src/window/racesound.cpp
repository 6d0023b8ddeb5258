#include "window/racesound.h"

#include <QActionGroup>
#include <QMenu>

#include "racecard/racecard.h"
#include "window/qtui.h"
#include "window/speechcontrol.h"

namespace ozn {

RaceSound::RaceSound(GameRecord& rec, QtUi& ui, Speaker& speech, Mp3Player& mp3,
                     std::function<void(const SoundSettings&)> alsoApply)
    : rec_(rec), speech_(speech), mp3_(mp3), alsoApply_(std::move(alsoApply)) {
    ui.setEffects([&rec, &mp3](Effect e) { mp3.effect(rec.apppath, e); });
}

void RaceSound::apply(const SoundSettings& s) {
    settings_ = s;
    mp3_.setMusicVolume(s.musicVolume);
    mp3_.setEffectVolume(s.effectVolume);
    if (on_) (s.commentary ? on_ : off_)->setChecked(true);
    if (alsoApply_) alsoApply_(s);
}

void RaceSound::buildMenu(QMenu* other, SpeechControl* control) {
    OnOffMenu made = addOnOffMenu(other, control, QStringLiteral("実況(&j)"), QStringLiteral("mnujikkyo"), settings_.commentary,
                                  [this, control](bool on) {
                                      SoundSettings s = control->settings();
                                      s.commentary = on;
                                      control->setSettings(s);
                                      speech_.reading(on ? "実況 あり" : "実況 なし", SpeakMode::Interrupt, Topic::Info);
                                  });
    on_ = made.on, off_ = made.off;
}

RaceCall RaceSound::call() const { return {settings_.commentary, settings_.speed, currentCourse(rec_)}; }

}  // namespace ozn
