#include "window/buying.h"

#include <QApplication>
#include <QPushButton>

#include "betting/betting.h"
#include "betting/bulk.h"
#include "window/selectionlist.h"

namespace ozn {

void Buying::one(int kind, const std::string& selection) {
    rec_.bakenkind = static_cast<std::int16_t>(kind);
    Purchase bought;
    if (registerTicket(rec_, ui_, kind, selection, &bought)) done(kind, purchaseSpeech(bought));
}

void Buying::typed(int kind) {
    if (auto selection = typedEntry(ui_, kind)) one(kind, *selection);
}

void Buying::bulk(const SelectionList* lastList) {
    const QWidget* focus = QApplication::focusWidget();
    int kind = lastList ? lastList->kind() : 1;
    for (int k = 1; k <= 6; ++k)
        if (focus && (focus == lists_[k - 1] || focus == buttons_[k - 1])) kind = k;
    if (auto bought = bulkPurchase(rec_, ui_, kind)) done(kind, bulkPurchaseSpeech(*bought));
}

void Buying::done(int kind, const std::string& said) {
    lists_[kind - 1]->comeBackQuietly();
    lists_[kind - 1]->setFocus(Qt::OtherFocusReason);
    speech_.reading(said, SpeakMode::Interrupt, Topic::Info);
}

}  // namespace ozn
