#include "window/sounddialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "window/textwindow.h"

namespace ozn {
namespace {
struct SliderKind {
    const char* label;
    int min, max, step;
    int SoundSettings::*field;
    std::string (*said)(int);
};
std::string musicText(int v) { return "音楽 " + std::to_string(v) + "%"; }
std::string effectText(int v) { return "効果音 " + std::to_string(v) + "%"; }
const SliderKind kSliders[5] = {
    {"読み上げの速さ", 50, 300, 10, &SoundSettings::speed, speedText},
    {"読み上げの高さ", -10, 10, 1, &SoundSettings::pitch, pitchText},
    {"読み上げの音量", 10, 100, 10, &SoundSettings::speechVolume, volumeText},
    {"音楽の音量", 0, 100, 10, &SoundSettings::musicVolume, musicText},
    {"効果音の音量", 0, 100, 10, &SoundSettings::effectVolume, effectText},
};
}  // namespace

SoundDialog::SoundDialog(QWidget* parent, const SoundSettings& current, Apply apply)
    : QDialog(parent), settings_(current), apply_(std::move(apply)) {
    setWindowTitle(QStringLiteral("音の設定"));
    setAccessibleName(QStringLiteral("音の設定"));
    setObjectName(QStringLiteral("soundSettings"));
    auto* form = new QFormLayout;
    for (int i = 0; i < 5; ++i) {
        const SliderKind& slider = kSliders[i];
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setRange(slider.min, slider.max);
        s->setSingleStep(slider.step);
        s->setPageStep(slider.step);
        s->setValue(settings_.*slider.field);
        s->setAccessibleName(QString::fromUtf8(slider.label));
        auto* label = new QLabel(QString::fromUtf8(slider.label), this);
        label->setBuddy(s);
        form->addRow(label, s);
        connect(s, &QSlider::valueChanged, this, [this, i](int v) { changed(i, v); });
        sliders_[i] = s;
    }
    commentary_ = new QCheckBox(QStringLiteral("レースの実況"), this);
    commentary_->setChecked(settings_.commentary);
    form->addRow(commentary_);
    connect(commentary_, &QCheckBox::toggled, this, [this](bool on) {
        settings_.commentary = on;
        apply_(settings_, std::string("レースの実況 ") + (on ? "オン" : "オフ"));
    });
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void SoundDialog::changed(int index, int value) {
    const SliderKind& slider = kSliders[index];
    // Steps of 10 also for a click or a drag: the values the keys reach.
    int snapped = slider.min + (value - slider.min + slider.step / 2) / slider.step * slider.step;
    if (snapped != value) {
        sliders_[index]->setValue(snapped);
        return;
    }
    settings_.*slider.field = value;
    settings_ = settings_.clamped();
    apply_(settings_, slider.said(value));
}

std::string SoundDialog::spoken(const QWidget* slider) const {
    for (int i = 0; i < 5; ++i)
        if (sliders_[i] == slider) return kSliders[i].said(sliders_[i]->value());
    return "";
}

SoundSettings SoundDialog::edit(QWidget* parent, SoundSettings current, Apply apply) {
    SoundDialog dialog(parent, current, apply);
    handKeyboardBack(&dialog);
    if (dialog.exec() == QDialog::Accepted) return dialog.settings_;
    apply(current, "");
    return current;
}

}  // namespace ozn
