#pragma once
// The structural check every key sound passes before the page is told about it: a short,
// uncompressed 16-bit PCM RIFF/WAVE file at 44.1 or 48 kHz, mono or stereo. Nothing is
// decoded or changed. Pure functions, any thread.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace clackery {

// The whole file: header, chunk walk, one "fmt " before one non-empty "data" of at most two
// seconds, no bytes missing or left over.
bool is_acceptable_wav(const unsigned char *data, std::size_t size);

inline bool is_acceptable_wav(std::string_view bytes)
{
	return is_acceptable_wav(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

// The byte rate of one "fmt " chunk's data (`size` readable bytes), or 0 when the format is
// not one we accept.
std::uint32_t wav_format_byte_rate(const unsigned char *chunk, std::size_t size);

} // namespace clackery
