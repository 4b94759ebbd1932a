#pragma once
// Wave playback through the subset of the multimedia command strings the
// Monitor uses:
//
//   close ALIAS
//   open "PATH" type waveaudio alias ALIAS
//   setaudio ALIAS volume to N        (0..1000)
//   play ALIAS                        (returns at once)
//
// A new "open" of an alias that plays cuts the playing sound off. PATH may
// use the system's relative forms (".\wave\go.wav"); paths::Resolve maps it.
//
// Backends: the PulseAudio server (PipeWire's pulse server too) through
// libpulse-simple, silent and harmless where there is no audio device; and
// the action record ("play <file> volume <n>").

#include <memory>
#include <string_view>

namespace vyre::platform {

// Result of SendString: 0, or an error the caller may ignore.
enum class MciError { None = 0, UnknownCommand, UnknownAlias, CannotOpen, NoDevice };

class Mci {
  public:
    virtual ~Mci() = default;
    virtual MciError SendString(std::string_view command) = 0;
};

// The recording backend while the action record is active, else playback.
std::unique_ptr<Mci> MakeMci();

// A decoded wave file: 16-bit signed samples, interleaved.
struct WaveData {
    int rate = 0;
    int channels = 0;
    std::basic_string<short> samples;
};
// Reads 8- or 16-bit PCM wave files; false for anything else.
bool DecodeWave(std::string_view bytes, WaveData* wave);

}  // namespace vyre::platform
