#include "wav.h"

#include <cstring>

namespace soundgen {

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::uint16_t kChannels = 1;
constexpr std::uint16_t kBits = 16;
constexpr std::uint16_t kBlockAlign = kChannels * kBits / 8;
constexpr std::uint32_t kByteRate = kRate * kBlockAlign;
constexpr std::size_t kHeaderSize = 44;

void put_tag(std::vector<std::uint8_t> &out, const char *tag)
{
	out.insert(out.end(), tag, tag + 4);
}

void put_u16(std::vector<std::uint8_t> &out, std::uint16_t v)
{
	out.push_back(static_cast<std::uint8_t>(v & 0xFF));
	out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put_u32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
	for (int shift = 0; shift < 32; shift += 8)
		out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint16_t get_u16(const std::vector<std::uint8_t> &in, std::size_t at)
{
	return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

std::uint32_t get_u32(const std::vector<std::uint8_t> &in, std::size_t at)
{
	return static_cast<std::uint32_t>(in[at]) | (static_cast<std::uint32_t>(in[at + 1]) << 8) |
	       (static_cast<std::uint32_t>(in[at + 2]) << 16) | (static_cast<std::uint32_t>(in[at + 3]) << 24);
}

bool tag_at(const std::vector<std::uint8_t> &in, std::size_t at, const char *tag)
{
	return std::memcmp(in.data() + at, tag, 4) == 0;
}

} // namespace

std::vector<std::uint8_t> encode_wav(const std::vector<std::int16_t> &samples)
{
	const auto data_size = static_cast<std::uint32_t>(samples.size() * kBlockAlign);
	std::vector<std::uint8_t> out;
	out.reserve(kHeaderSize + data_size);
	put_tag(out, "RIFF");
	put_u32(out, static_cast<std::uint32_t>(kHeaderSize - 8) + data_size);
	put_tag(out, "WAVE");
	put_tag(out, "fmt ");
	put_u32(out, 16);
	put_u16(out, 1); // PCM
	put_u16(out, kChannels);
	put_u32(out, kRate);
	put_u32(out, kByteRate);
	put_u16(out, kBlockAlign);
	put_u16(out, kBits);
	put_tag(out, "data");
	put_u32(out, data_size);
	for (std::int16_t s : samples)
		put_u16(out, static_cast<std::uint16_t>(s));
	return out;
}

bool decode_wav(const std::vector<std::uint8_t> &bytes, std::vector<std::int16_t> &samples, std::string &error)
{
	samples.clear();
	if (bytes.size() < kHeaderSize) {
		error = "shorter than a WAV header";
		return false;
	}
	if (!tag_at(bytes, 0, "RIFF") || !tag_at(bytes, 8, "WAVE")) {
		error = "not RIFF/WAVE";
		return false;
	}
	if (get_u32(bytes, 4) != bytes.size() - 8) {
		error = "RIFF size is not the file length minus 8";
		return false;
	}
	if (!tag_at(bytes, 12, "fmt ") || get_u32(bytes, 16) != 16) {
		error = "first chunk is not a 16-byte \"fmt \" chunk";
		return false;
	}
	if (get_u16(bytes, 20) != 1 || get_u16(bytes, 22) != kChannels || get_u32(bytes, 24) != kRate ||
	    get_u32(bytes, 28) != kByteRate || get_u16(bytes, 32) != kBlockAlign || get_u16(bytes, 34) != kBits) {
		error = "format is not PCM mono 48000 Hz 16-bit";
		return false;
	}
	if (!tag_at(bytes, 36, "data")) {
		error = "second chunk is not \"data\"";
		return false;
	}
	const std::uint32_t data_size = get_u32(bytes, 40);
	if (data_size != bytes.size() - kHeaderSize) {
		error = "\"data\" chunk does not end the file exactly";
		return false;
	}
	if (data_size == 0 || data_size % kBlockAlign != 0 || data_size > 2 * kByteRate) {
		error = "\"data\" size is empty, not whole samples, or over two seconds";
		return false;
	}
	samples.resize(data_size / kBlockAlign);
	for (std::size_t i = 0; i < samples.size(); ++i) {
		samples[i] = static_cast<std::int16_t>(get_u16(bytes, kHeaderSize + 2 * i));
	}
	return true;
}

} // namespace soundgen
