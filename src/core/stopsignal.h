#pragma once
// Ending the game from outside: Ctrl+C, kill, a desktop logout.

namespace ozn {

// True once SIGINT, SIGTERM or SIGHUP arrived: every wait of the game (music,
// pause, speech, dialogs) ends at once so the game can settle and save.
bool stopRequested();

// Installs the handlers (once). Returns a descriptor that becomes readable
// when a stop is asked for, or -1.
int installStopSignals();

}  // namespace ozn
