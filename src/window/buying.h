#pragma once
#include <array>
#include <functional>
#include <string>

#include "core/interfaces.h"
#include "betting/store.h"
#include "core/record.h"

class QPushButton;

namespace ozn {

class SelectionList;

// Buying from the window: one ticket from a list's entry (Enter, or the
// list's button) or its typed digits (the key 0), or many at once
// (まとめ買い). Each purchase is said and the focus goes back to the kind's
// list. Nothing is bought while `refused()` says no (a race runs).
class Buying {
public:
    Buying(GameRecord& rec, Ui& ui, Speaker& speech, const std::array<SelectionList*, kAllKinds>& lists,
           const std::array<QPushButton*, kAllKinds>& buttons, std::function<bool()> refused);
    void one(int kind, const std::string& selection);
    void typed(int kind);
    // For the kind of the list or button that has the focus, else of the list
    // used last; typed, or by pointer with check boxes.
    void bulk(const SelectionList* lastList, bool byPointer = false);

private:
    void done(int kind, const std::string& said);

    GameRecord& rec_;
    Ui& ui_;
    Speaker& speech_;
    std::array<SelectionList*, kAllKinds> lists_;
    std::array<QPushButton*, kAllKinds> buttons_;
    std::function<bool()> refused_;
};

}  // namespace ozn
