#pragma once
// Stake entry, ticket registration and the selection lists' behaviour.
#include <optional>
#include <string>

#include "betting/store.h"
#include "core/interfaces.h"

namespace ozn {

// The stake dialog: asks until an amount passes or the player gives up
// (nullopt: bakenkind becomes 0, kingaku ""). Each of `tickets` tickets
// costs the stake, and their total must be covered by the money held.
struct StakeBox {
    std::string prompt, title;
    int tickets = 1;
};
std::optional<Money> askStake(GameRecord& rec, Ui& ui, const StakeBox& box);
// The stake of one ticket, as every registration asks it.
std::optional<Money> bakenbox(GameRecord& rec, Ui& ui);

// Files a ticket whose stake was accepted: appends it, or adds the stake to
// an equal ticket held already; takes the money and sets the kind's flag.
// false, and nothing changed, when the kind is full and does not hold it.
bool fileTicket(GameRecord& rec, int kind, const Horses& h, Money stake);

struct Purchase {
    int kind = 0;
    Horses horses{};
    Money stake = 0;
};

// The registration routine of a kind (1..6) with a selection text. The
// caller has set bakenkind. true when a ticket was bought: the window then
// moves the focus to the kind's list. `bought` receives what was bought.
bool registerTicket(GameRecord& rec, Ui& ui, int kind, const std::string& selection, Purchase* bought = nullptr);

// A ticket as said: "馬連 7番15番".
std::string ticketSpeech(int kind, const Horses& h);

// The confirmation spoken after a purchase: "馬連 7番15番 500円 買いました".
std::string purchaseSpeech(const Purchase& p);

bool tanshobox(GameRecord& rec, Ui& ui, const std::string& tanmoji);
bool fukushobox(GameRecord& rec, Ui& ui, const std::string& fukumoji);
bool umabox(GameRecord& rec, Ui& ui, const std::string& umamoji);
bool widebox(GameRecord& rec, Ui& ui, const std::string& widemoji);
bool sanrenpukubox(GameRecord& rec, Ui& ui, const std::string& umamoji);
bool sanrentanbox(GameRecord& rec, Ui& ui, const std::string& umamoji);
bool umatanbox(GameRecord& rec, Ui& ui, const std::string& selection);  // 馬単
bool wakubox(GameRecord& rec, Ui& ui, const std::string& selection);    // 枠連

// The horses of a selection that the kind allows: pairs and trios
// ascending, 馬単 and trifecta in finishing order without repeats, 枠連
// brackets ascending (the same bracket twice too).
bool selectionOk(int kind, const Horses& h);
// "7番15番", or for 枠連 "3枠5枠".
std::string selectionHorses(int kind, const Horses& h);

// Typed entry of list `kind`: asks for the digits until they pass or the
// player gives up; returns the selection text to register.
std::optional<std::string> typedEntry(Ui& ui, int kind);
const std::string& typedEntryPrompt(int kind);

// The kind's name as the game says it: 単勝, 副賞, 馬連, ワイド, ３連複, ３連単, 馬単, 枠連.
const std::string& kindName(int kind);

// Captions of Label1..Label8 and Command1..Command8.
const std::string& labelCaption(int kind);
const std::string& buttonCaption(int kind);

// What a list says when it gets the focus.
std::string focusSpeech(int kind, const std::string& currentText);

struct Modifiers {
    bool shift = false, ctrl = false, alt = false;
};
// Step of the Page keys in list `kind`; 0 where the keys do nothing.
int pageStep(int kind, Modifiers mods);
int pageDownIndex(int index, int count, int step);
int pageUpIndex(int index, int step);
// The rows a player can reach from `row` with one key (the arrows, then the
// Page keys of this list), nearest first: what is worth making ahead.
std::vector<int> rowsAhead(int kind, int row, int count);

}  // namespace ozn
