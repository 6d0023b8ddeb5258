#pragma once
// Start-up, the close request and the end procedure.
#include <functional>
#include <string>

#include "core/interfaces.h"
#include "core/record.h"

namespace ozn {

struct StartupEnv {
    std::string exeDir;       // folder of the program file
    std::string commandLine;  // all arguments joined by one blank
    std::string temp;         // $TEMP, "" when unset
    std::string dataHome;     // where the save goes when neither the program folder nor $TEMP serve
    // An installed game never writes beside its program (a system folder):
    // save and settings go to dataHome, and the folder is not even probed.
    bool installed = false;
};

struct StartupHooks {
    std::function<void()> readlist;      // generates the first race card
    std::function<void()> initOutside;   // MP3 library and speech objects
};

// Runs the start-up sequence. false: a message was shown and the program
// must end at once, saving nothing.
bool startUp(GameRecord& rec, Ui& ui, const StartupEnv& env, const StartupHooks& hooks);

std::string settingsPath(const GameRecord& rec);

// The game's data folder by the XDG rules: $XDG_DATA_HOME/ozn when that is an
// absolute path, else $HOME/.local/share/ozn; "" when neither is known.
std::string dataHomeFrom(const char* xdgDataHome, const char* home);

// One game at a time on a folder (the data folder, the save's): two would
// overwrite each other's save and interleave one meeting in the history.
// The lock ends with the process.
class FolderLock {
public:
    enum class State { Held, Busy, Unavailable };  // Unavailable: no folder to lock; play on
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    State state() const { return state_; }
    bool covers(const std::string& folder) const;  // held, and on this very folder

private:
    int fd_ = -1;
    unsigned long dev_ = 0, ino_ = 0;
    State state_ = State::Unavailable;
};

// A file that others write through (the desktop's settings store follows
// links) becomes a file of its own with the same content, reported once.
void ownCopyOfLink(GameRecord& rec, Ui& ui, const std::string& path);

// Writes the money home after a race or at the end; true when it is saved.
// A link found there is replaced and reported once.
bool saveMoney(GameRecord& rec, Ui& ui);
// Game over: the save and every older copy go, so the next start has 15000.
void deleteSaves(const GameRecord& rec);

enum class EndResult {
    Close,        // money saved; the window closes
    GameOver,     // below 100 yen: save file deleted, end at once
    WriteFailed,  // message shown; end at once with an error status
};

// endshori: releases the MP3 player, then saves or deletes the money. A save
// that fails is offered again (再試行); given up, it goes to the data folder
// or the temporary folder, and the player is told where.
EndResult endshori(GameRecord& rec, Ui& ui, Mp3Player& mp3);

enum class CloseResult { Stay, Close, GameOver, WriteFailed };

// The close request of the main window (close box, exit menu, end procedure).
// `held`: the stakes of tickets bought for a race not yet run, given back
// when the player quits (the question says so).
CloseResult closeRequest(GameRecord& rec, Ui& ui, Mp3Player& mp3, Money held = 0);

}  // namespace ozn
