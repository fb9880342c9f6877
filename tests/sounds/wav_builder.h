#pragma once
// Builds RIFF/WAVE files byte by byte, including the malformed ones the checks must refuse.
// Also used by the fuzzers' seed writer.

#include <cstdint>
#include <string>

namespace wav {

inline void put16(std::string &out, std::uint32_t value)
{
	out.push_back(static_cast<char>(value & 0xFF));
	out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void put32(std::string &out, std::uint32_t value)
{
	put16(out, value & 0xFFFF);
	put16(out, value >> 16);
}

struct Format {
	std::uint16_t tag = 1;
	std::uint16_t channels = 1;
	std::uint32_t rate = 44100;
	std::uint16_t bits = 16;
	int block_align = -1;        // -1: channels × bits / 8
	std::int64_t byte_rate = -1; // -1: rate × block align
	// WAVE_FORMAT_EXTENSIBLE only:
	std::uint16_t extension_size = 22;
	std::uint16_t valid_bits = 16;
	bool float_sub_format = false;

	std::uint32_t align() const
	{
		return block_align >= 0 ? static_cast<std::uint32_t>(block_align) : channels * bits / 8U;
	}
};

// The 16 bytes of a plain "fmt " chunk, or 40 for the extensible form.
inline std::string fmt_body(const Format &f)
{
	std::string out;
	put16(out, f.tag);
	put16(out, f.channels);
	put32(out, f.rate);
	put32(out, f.byte_rate >= 0 ? static_cast<std::uint32_t>(f.byte_rate) : f.rate * f.align());
	put16(out, f.align());
	put16(out, f.bits);
	if (f.tag == 0xFFFE) {
		put16(out, f.extension_size);
		put16(out, f.valid_bits);
		put32(out, 0x3); // front left and right
		// KSDATAFORMAT_SUBTYPE_PCM or _IEEE_FLOAT: 0000000x-0000-0010-8000-00AA00389B71
		put32(out, f.float_sub_format ? 3 : 1);
		put16(out, 0x0000);
		put16(out, 0x0010);
		out += std::string("\x80\x00\x00\xAA\x00\x38\x9B\x71", 8);
	}
	return out;
}

// A chunk with its header; an odd body gets its pad byte unless `pad` is false.
inline std::string chunk(const std::string &id, const std::string &body, bool pad = true)
{
	std::string out = id;
	put32(out, static_cast<std::uint32_t>(body.size()));
	out += body;
	if (pad && body.size() % 2 == 1)
		out.push_back('\0');
	return out;
}

// A header and its declared size as a chunk of that id, without the body (for sizes that
// the file does not hold).
inline std::string chunk_header(const std::string &id, std::uint32_t size)
{
	std::string out = id;
	put32(out, size);
	return out;
}

// "RIFF", the size (off by `size_error` when asked), "WAVE", then the chunks.
inline std::string riff(const std::string &chunks, std::int64_t size_error = 0)
{
	std::string out = "RIFF";
	put32(out, static_cast<std::uint32_t>(static_cast<std::int64_t>(4 + chunks.size()) + size_error));
	return out + "WAVE" + chunks;
}

inline std::string samples(std::size_t bytes)
{
	std::string out(bytes, '\0');
	for (std::size_t i = 0; i < bytes; ++i)
		out[i] = static_cast<char>((i * 37) & 0xFF);
	return out;
}

// The usual 44-byte header followed by `data_bytes` of samples.
inline std::string file(const Format &f, std::size_t data_bytes)
{
	return riff(chunk("fmt ", fmt_body(f)) + chunk("data", samples(data_bytes)));
}

} // namespace wav
