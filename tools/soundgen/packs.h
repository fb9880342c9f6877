// The shipped key-sound packs: their ids, names and the files they consist of.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace soundgen {

enum class SoundKind { normal, space, enter, backspace };

constexpr int kVariations = 4;

struct PackInfo {
	const char *id;
	const char *display_name;
};

const std::vector<PackInfo> &packs();
const std::vector<SoundKind> &sound_kinds();

// "normal.wav" for variation 0, "normal_2.wav" to "normal_4.wav" for 1 to 3.
std::string wav_file_name(SoundKind kind, int variation);

// Samples of one sound (48 kHz mono); empty for an unknown pack id.
std::vector<std::int16_t> render_sound(const std::string &pack_id, SoundKind kind, int variation);

// The linear peak a sound is normalised to, or 0 for an unknown pack id.
double target_peak(const std::string &pack_id, SoundKind kind);

std::string pack_json(const PackInfo &pack);

struct GeneratedFile {
	std::string path; // relative, with '/' separators: "<pack>/<file>"
	std::vector<std::uint8_t> bytes;
};

// Every file of every pack, in a fixed order; the generator writes exactly these.
std::vector<GeneratedFile> generate_all();

} // namespace soundgen
