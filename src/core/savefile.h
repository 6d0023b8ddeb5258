#pragma once
// How the game writes its own files, and the money kept between runs.
#include <string>

#include "core/record.h"

namespace ozn {

// Replaces the file at `path` by `content`: written to a new file of our own
// in the same folder (created exclusively, never through a link, mode 0600)
// and renamed over it, so a failed write never leaves half a file and a link
// planted at `path` is replaced, not followed. `*link` tells whether one was.
bool replaceFile(const std::string& path, const std::string& content, bool sync, bool* link = nullptr);

// A symbolic link, or a file that has other names too (a hard link).
bool isLink(const std::string& path);

// A folder of the player's own inside a shared one such as TEMP: made 0700,
// or used when it is a real folder of ours that nobody else can enter. ""
// when neither; otherwise ends in "/". make: false to only look for it.
std::string privateFolderIn(const std::string& shared, bool make = true);

struct SaveRead {
    // Whole: one amount of whole yen, which is all the game ever writes.
    enum class State { Missing, Whole, Damaged, TooLarge } state = State::Missing;
    Money money = 0;
};
SaveRead readSave(const std::string& path);
bool writeSaveFile(const std::string& path, Money money, bool* link = nullptr);

// A damaged save moves to <path>.bad-<stamp> for whoever wants to look; the
// new name, or "" when it could not be moved.
std::string keepAside(const std::string& path, const std::string& stamp);

// A write cut off by a kill leaves its temporary file: nothing will read it.
void removeStaleTemps(const std::string& path);

}  // namespace ozn
