#include "window/buying.h"

#include <QApplication>
#include <QPushButton>

#include "betting/betting.h"
#include "betting/bulk.h"
#include "window/bulkpicker.h"
#include "window/selectionlist.h"

namespace ozn {

Buying::Buying(GameRecord& rec, Ui& ui, Speaker& speech, const std::array<SelectionList*, kAllKinds>& lists,
               const std::array<QPushButton*, kAllKinds>& buttons, std::function<bool()> refused)
    : rec_(rec), ui_(ui), speech_(speech), lists_(lists), buttons_(buttons), refused_(std::move(refused)) {
    for (int kind = 1; kind <= kAllKinds; ++kind) {
        SelectionList* list = lists_[kind - 1];
        auto buySelected = [this, kind, list] { one(kind, list->currentText().toStdString()); };
        QObject::connect(buttons_[kind - 1], &QPushButton::clicked, list, buySelected);
        QObject::connect(list, &SelectionList::enterPressed, list, buySelected);
        QObject::connect(list, &SelectionList::typedEntryRequested, list, [this, kind] { typed(kind); });
    }
}

void Buying::one(int kind, const std::string& selection) {
    if (refused_() || kind > kindsInPlay(rec_)) return;
    rec_.bakenkind = static_cast<std::int16_t>(kind);
    Purchase bought;
    if (registerTicket(rec_, ui_, kind, selection, &bought)) done(kind, purchaseSpeech(bought));
}

void Buying::typed(int kind) {
    if (refused_()) return;
    if (auto selection = typedEntry(ui_, kind)) one(kind, *selection);
}

void Buying::bulk(const SelectionList* lastList, bool byPointer) {
    if (refused_()) return;
    const QWidget* focus = QApplication::focusWidget();
    int kind = lastList ? lastList->kind() : 1;
    for (int k = 1; k <= kindsInPlay(rec_); ++k)
        if (focus && (focus == lists_[k - 1] || focus == buttons_[k - 1])) kind = k;
    if (kind > kindsInPlay(rec_)) kind = 1;  // 本格ルール was switched off since
    BulkPick pick;
    if (byPointer)
        pick = [this, kind] {
            return BulkPicker::pick(
                lists_[0]->window(), kind, [this](const std::string& s) { speech_.reading(s, SpeakMode::Interrupt, Topic::Screen); },
                [this](const std::string& count) { speech_.reading(count, SpeakMode::Queue, Topic::Info); });
        };
    if (auto bought = bulkPurchase(rec_, ui_, kind, pick)) done(kind, bulkPurchaseSpeech(*bought));
}

void Buying::done(int kind, const std::string& said) {
    lists_[kind - 1]->comeBackQuietly();
    lists_[kind - 1]->setFocus(Qt::OtherFocusReason);
    speech_.reading(said, SpeakMode::Interrupt, Topic::Info);
}

}  // namespace ozn
