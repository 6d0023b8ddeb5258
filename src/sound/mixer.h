#pragma once
// Inside the sound library: the mixer's channels, and sound in the format it plays.
#include <SDL.h>
#include <SDL_mixer.h>

#include <vector>

#include "sound/audio.h"

namespace ozn {

inline constexpr int kSpeechChannel = 0;
inline constexpr int kChannels = 4;  // speech, and three for the sounds of events

// The audio converted to what the mixer plays, kept in `audio`: the chunk
// only points into it.
Mix_Chunk* deviceChunk(const Pcm& pcm, std::vector<Uint8>& audio);

}  // namespace ozn
