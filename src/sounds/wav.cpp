#include "sounds/wav.h"

#include <cstring>

namespace clackery {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

// KSDATAFORMAT_SUBTYPE_PCM, 00000001-0000-0010-8000-00AA00389B71, as a GUID is stored.
constexpr unsigned char kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
					     0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t u16(const unsigned char *p)
{
	return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32(const unsigned char *p)
{
	return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
	       (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool is_id(const unsigned char *p, const char (&id)[5])
{
	return std::memcmp(p, id, 4) == 0;
}

} // namespace

std::uint32_t wav_format_byte_rate(const unsigned char *chunk, std::size_t size)
{
	if (size < 16)
		return 0;
	const std::uint16_t tag = u16(chunk);
	if (tag == kFormatExtensible) {
		if (size < 40)
			return 0;
		const std::size_t extension = u16(chunk + 16);
		if (extension < 22 || extension > size - 18)
			return 0;
		if (u16(chunk + 18) != 16 || std::memcmp(chunk + 24, kPcmSubFormat, sizeof(kPcmSubFormat)) != 0)
			return 0;
	} else if (tag != kFormatPcm) {
		return 0;
	}
	const std::uint16_t channels = u16(chunk + 2);
	const std::uint32_t sample_rate = u32(chunk + 4);
	const std::uint32_t byte_rate = u32(chunk + 8);
	const std::uint16_t block_align = u16(chunk + 12);
	const std::uint16_t bits = u16(chunk + 14);
	if (channels != 1 && channels != 2)
		return 0;
	if (sample_rate != 44100 && sample_rate != 48000)
		return 0;
	if (bits != 16 || block_align != channels * 2)
		return 0;
	if (byte_rate != sample_rate * block_align)
		return 0;
	return byte_rate;
}

bool is_acceptable_wav(const unsigned char *data, std::size_t size)
{
	if (size < 12 || !is_id(data, "RIFF") || !is_id(data + 8, "WAVE"))
		return false;
	if (u32(data + 4) != static_cast<std::uint64_t>(size) - 8)
		return false;
	bool have_format = false;
	bool have_data = false;
	std::uint32_t byte_rate = 0;
	std::uint32_t block_align = 0;
	std::size_t offset = 12;
	while (offset < size) {
		if (size - offset < 8)
			return false;
		const unsigned char *header = data + offset;
		const std::uint32_t chunk_size = u32(header + 4);
		const std::uint64_t padded = static_cast<std::uint64_t>(chunk_size) + (chunk_size & 1U);
		if (padded > size - offset - 8)
			return false;
		const unsigned char *body = header + 8;
		if (is_id(header, "fmt ")) {
			if (have_format)
				return false;
			byte_rate = wav_format_byte_rate(body, chunk_size);
			if (byte_rate == 0)
				return false;
			block_align = u16(body + 12);
			have_format = true;
		} else if (is_id(header, "data")) {
			if (!have_format || have_data || chunk_size == 0 || chunk_size % block_align != 0 ||
			    chunk_size > 2 * static_cast<std::uint64_t>(byte_rate))
				return false;
			have_data = true;
		}
		offset += 8 + static_cast<std::size_t>(padded);
	}
	return have_data;
}

} // namespace clackery
