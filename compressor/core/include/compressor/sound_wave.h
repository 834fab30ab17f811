#pragma once
#include <string>

#include "compressor/options_panel.h"

namespace compressor {

// The program's own short sounds as WAVE files (PCM, 16 bit, mono): made here, so no sound file
// has to ship with the program.
inline constexpr int kSoundSampleRate = 22050;
std::string MakeSoundWave(Sound sound);

}  // namespace compressor
