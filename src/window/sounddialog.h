#pragma once
// その他 → 音の設定: one labelled slider for each of speed, pitch, speech
// volume, music and effect volume, and the race commentary on or off. Every
// change is heard at once; OK keeps it, Cancel restores what was there.
#include <QDialog>
#include <functional>
#include <string>

#include "sound/soundsettings.h"

class QSlider;
class QCheckBox;

namespace ozn {

class SoundDialog : public QDialog {
    Q_OBJECT
public:
    // apply: put the settings in force and say the text (a slider's new value).
    using Apply = std::function<void(const SoundSettings&, const std::string& said)>;
    SoundDialog(QWidget* parent, const SoundSettings& current, Apply apply);
    // Runs the dialog; the settings in force afterwards.
    static SoundSettings edit(QWidget* parent, SoundSettings current, Apply apply);
    QSlider* slider(int index) const { return sliders_[index]; }
    // What a slider says when it moves, and the same when the focus reaches
    // it: "高さ プラス1". Empty for a widget that is none of them.
    std::string spoken(const QWidget* slider) const;

private:
    void changed(int index, int value);
    SoundSettings settings_;
    Apply apply_;
    QSlider* sliders_[5] = {};
    QCheckBox* commentary_ = nullptr;
};

}  // namespace ozn
