#pragma once
// Every key of the game: its name, how it is said and what it does where.
// Key help (F1), the key list window, the manual and the README come from
// this one table.
#include <string>
#include <vector>

namespace ozn {

// Where the focus is when a key is pressed.
enum class KeyPlace { Anywhere, List, Button, Text, Results };

// The selection lists: six, and 馬単 and 枠連 under 本格ルール.
inline constexpr int kListKinds = 8;

struct KeyRow {
    std::vector<std::string> keys;  // as the window names them: "F2", "Ctrl+Up", "Shift+PgDown"
    std::string shown;              // in the key list: "Ctrl+上"
    std::string action;             // "読み上げを速くします"
    KeyPlace place = KeyPlace::Anywhere;
    int fromKind = 1, toKind = kListKinds;  // for list keys: the lists where it does this
};

const std::vector<KeyRow>& keyTable();

// What key help says of a key pressed at a place: "F2、発送。レースを始めます",
// or "このキーは使いません". `kind` is the list's kind (1..8) for KeyPlace::List.
std::string keyHelp(const std::string& key, KeyPlace place, int kind = 0);
// The key list, one key a line: "F2  発送。レースを始めます".
std::vector<std::string> keyListLines();

inline const std::string kKeyHelpOn = "キーの説明です。もう一度F1で終わります";
inline const std::string kKeyHelpOff = "キーの説明を終わります";

}  // namespace ozn
