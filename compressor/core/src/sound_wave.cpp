#include "compressor/sound_wave.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace compressor {

namespace {

void Put16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<uint16_t>(value >> 16));
}

struct Tone {
  double frequency;
  int milliseconds;
  double volume;
};

Tone ToneOf(Sound sound) {
  switch (sound) {
    case Sound::LOn:
      return {880.0, 60, 0.35};
    case Sound::LOff:
      return {520.0, 35, 0.2};
    case Sound::Move:
      return {1320.0, 30, 0.25};
  }
  return {440.0, 30, 0.2};
}

}  // namespace

std::string MakeSoundWave(Sound sound) {
  const Tone tone = ToneOf(sound);
  const uint32_t samples = static_cast<uint32_t>(kSoundSampleRate * tone.milliseconds / 1000);
  const uint32_t data_bytes = samples * 2;
  std::string out;
  out.reserve(44 + data_bytes);
  out += "RIFF";
  Put32(out, 36 + data_bytes);
  out += "WAVEfmt ";
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, 1);  // mono
  Put32(out, kSoundSampleRate);
  Put32(out, kSoundSampleRate * 2);
  Put16(out, 2);
  Put16(out, 16);
  out += "data";
  Put32(out, data_bytes);
  for (uint32_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / kSoundSampleRate;
    // A fast decay makes a click rather than a beep, and ends the sound without a crack.
    const double envelope = std::exp(-6.0 * i / samples) * (1.0 - static_cast<double>(i) / samples);
    const double value = tone.volume * envelope * std::sin(2.0 * std::numbers::pi * tone.frequency * t);
    Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 32767.0))));
  }
  return out;
}

}  // namespace compressor
