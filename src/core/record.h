#pragma once
// The game record: every piece of state of one run, owned by the main window.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/money.h"

namespace ozn {

class SpeechEngine;
class FolderLock;

inline constexpr int kHorses = 18;
inline constexpr int kPairs = 153;
inline constexpr int kTrios = 816;
inline constexpr int kTrifectas = 4896;
inline constexpr int kExactas = 306;     // 馬単: ordered pairs
inline constexpr int kBrackets = 8;      // 枠
inline constexpr int kBracketPairs = 36;  // 枠連: bracket pairs, the same bracket twice included
inline constexpr int kRacesPerMeeting = 12;

struct GameRecord {
    // Program, files and settings.
    std::string apppath;    // program folder, always ending in "/"
    std::string bakenpath;  // save file; empty when the money came from the command line
    std::string cfgpath;    // settings file: beside the program, or beside the save when that folder is closed
    std::string savefallback;  // the user's data folder ("/" at the end): where a save goes that cannot go home
    std::vector<std::string> saveplaces;  // where else a save may have been written: read at start, removed once the save is home
    std::vector<std::shared_ptr<FolderLock>> locks;  // the data folder and the save's folder, held for the whole run
    bool linktold = false;  // a link replaced at a write has been reported
    std::uint8_t voicemode = 0;
    std::shared_ptr<SpeechEngine> pctkvoice;
    std::shared_ptr<SpeechEngine> sapivoice;

    // Money.
    Money mochikin = 0;
    Money mochikinmae = 0;

    // Meeting and current race.
    std::uint8_t raceno = 0;
    std::array<std::uint8_t, kRacesPerMeeting> racehist{};
    std::array<std::string, kHorses> racelist;
    std::string racename;
    std::uint8_t fanfare = 0;

    // Horses and the current field (by line, then by horse number).
    std::array<std::string, kHorses> horsename;
    std::array<std::uint8_t, kHorses> tekisei{};
    std::array<std::string, kHorses> umaname;
    std::array<std::uint8_t, kHorses> umatekisei{};
    std::array<std::uint8_t, kHorses> ninki{};
    std::uint8_t yoso1 = 0, yoso2 = 0, yoso3 = 0;

    // Odds table by popularity rank.
    std::array<double, kHorses> tanodds{};
    std::array<std::string, kHorses> tanoddsstr;
    std::array<double, kHorses> fukuodds{};
    std::array<std::string, kHorses> fukuoddsstr;
    std::array<double, kHorses> fukuodds1{};
    std::array<std::string, kHorses> fukuodds1str;
    std::array<double, kHorses> fukuodds2{};
    std::array<std::string, kHorses> fukuodds2str;

    // Sorted combination tables (by popularity number).
    std::array<double, kPairs> umaodds{};
    std::array<std::int16_t, kPairs> umaidx{};
    std::array<double, kPairs> wideoddsmin{};
    std::array<double, kPairs> wideoddsmax{};
    std::array<std::int16_t, kPairs> wideidx{};
    std::array<double, kTrios> sanrenpukuodds{};
    std::array<std::int16_t, kTrios> sanrenpukuidx{};
    std::array<double, kTrifectas> sanrentanodds{};
    std::array<std::int16_t, kTrifectas> sanrentanidx{};

    // Ticket store.
    std::uint8_t tancount = 0;
    std::array<std::uint8_t, kHorses> tanban{};
    std::array<Money, kHorses> tankin{};
    std::int16_t tanflag = 0;

    std::uint8_t fukucount = 0;
    std::array<std::uint8_t, kHorses> fukuban{};
    std::array<Money, kHorses> fukukin{};
    std::int16_t fukuflag = 0;

    std::uint8_t umacount = 0;
    std::array<std::uint8_t, kPairs> umaban1{}, umaban2{};
    std::array<Money, kPairs> umakin{};
    std::int16_t umaflag = 0;

    std::uint8_t widecount = 0;
    std::array<std::uint8_t, kPairs> wideban1{}, wideban2{};
    std::array<Money, kPairs> widekin{};
    std::uint8_t wideflag = 0;  // 255 = set

    std::int16_t sanrenpukucount = 0;
    std::array<std::int16_t, kTrios> sanrenpukuban1{}, sanrenpukuban2{}, sanrenpukuban3{};
    std::array<Money, kTrios> sanrenpukukin{};
    std::int16_t sanrenpukuflag = 0;

    std::int16_t sanrentancount = 0;
    std::array<std::int16_t, kTrifectas> sanrentanban1{}, sanrentanban2{}, sanrentanban3{};
    std::array<Money, kTrifectas> sanrentankin{};
    std::int16_t sanrentanflag = 0;

    // 本格ルール: 馬単 and 枠連, and payouts as a totalisator pays them.
    // `honkaku` holds for the card on show; `honkakuWanted` is the setting,
    // which the next card (or this one, while no ticket is held) takes up.
    bool honkaku = false;
    bool honkakuWanted = false;
    std::array<double, kExactas> umatanodds{};
    std::array<std::int16_t, kExactas> umatanidx{};
    std::array<double, kBracketPairs> wakuodds{};
    std::array<std::int16_t, kBracketPairs> wakuidx{};

    std::int16_t umatancount = 0;
    std::array<std::uint8_t, kExactas> umatanban1{}, umatanban2{};  // first, second
    std::array<Money, kExactas> umatankin{};
    std::int16_t umatanflag = 0;

    std::uint8_t wakucount = 0;
    std::array<std::uint8_t, kBracketPairs> wakuban1{}, wakuban2{};  // brackets, smaller first
    std::array<Money, kBracketPairs> wakukin{};
    std::int16_t wakuflag = 0;

    std::int16_t bakenkind = 0;
    std::string kingaku;
};

inline constexpr std::int16_t kTrue = -1;  // Boolean flags keep True = -1
inline constexpr std::uint8_t kWideSet = 255;

}  // namespace ozn
