// Writing and strictly reading back the one WAV shape the packs use: RIFF/WAVE, PCM,
// mono, 48 kHz, 16-bit, a 16-byte "fmt " chunk and one "data" chunk, nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soundgen {

std::vector<std::uint8_t> encode_wav(const std::vector<std::int16_t> &samples);

// Parses bytes written by encode_wav. Anything else (another format, an extra chunk, a RIFF
// size that is not the file length minus 8, more than two seconds) fails with a reason.
bool decode_wav(const std::vector<std::uint8_t> &bytes, std::vector<std::int16_t> &samples, std::string &error);

} // namespace soundgen
