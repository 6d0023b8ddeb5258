#pragma once
// What a synthesiser is handed: the game's own words as they are said
// (the screen and the clipboard keep the texts as written).
#include <memory>
#include <string>

namespace ozn {

// The readings table: the game's words that a synthesiser misreads
// (馬連 → うまれん, 持ち金 → もちがね, ３連探 → さんれんたん, ...), key names as
// words (Ctrl+Plus → コントロール プラス), metres after a distance, and no
// decorative symbols.
std::string withReadings(const std::string& text);

// A character typed into an input box, as echoed: blanks and the marks that
// separate horse numbers by name (no synthesiser says " " or "/").
std::string typedCharacter(const std::string& ch);

// A line of a text window as read: "空行" for a blank one, "区切り線" for one
// drawn of rule characters ("====").
std::string lineSpeech(const std::string& line);

// What espeak-ng is handed, once the kanji are kana: numbers as kana words
// (15000 as いちまんごせん, 14.8 as じゅうよんてんはち, 07 digit by digit), the
// long-vowel mark as the vowel it lengthens, "%" by name. It reads digits
// and "ー" on its own badly ("Japanese letter").
std::string forEspeak(const std::string& text);
// Plain digits as a kana word.
std::string numberKana(const std::string& digits);

// True when the text holds a kanji (CJK ideograph).
bool hasKanji(const std::string& text);

// Kanji to their kana readings, by a morphological analyser (MeCab with its
// system dictionary), for espeak-ng, which reads no kanji. Blanks and
// everything that is not kanji stay as they are.
class KanaReader {
public:
    KanaReader();
    ~KanaReader();
    KanaReader(const KanaReader&) = delete;
    KanaReader& operator=(const KanaReader&) = delete;
    // False when no analyser could be started: kanji are then left out.
    bool available() const;
    std::string toKana(const std::string& text);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ozn
