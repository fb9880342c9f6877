#pragma once
// Sound packs: "sounds/<id>/" in the data folder, each with a "pack.json" naming it and up
// to sixteen short WAV files. Discovered once at load into the module-wide pack table; the
// page is told which files of the chosen pack exist. UI thread only.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace clackery {

constexpr const char *kDefaultSoundPack = "shizuka";
constexpr std::uintmax_t kMaxPackJsonBytes = 65536;
constexpr std::uintmax_t kMaxSoundFileBytes = 1048576;

struct SoundPack {
	std::string displayName;        // UTF-8, from "pack.json"
	std::vector<std::string> files; // "normal.wav" first, then the optional sounds present
};

// Keyed by pack id, in byte order.
using SoundPackTable = std::map<std::string, SoundPack>;

// The bytes of `dir`/`name` when it is a plain file (no link) directly inside `dir` (a
// canonical path) of 1 to `limit` bytes; else empty. Links and FIFOs are refused unopened.
std::string read_pack_file(const std::filesystem::path &dir, const std::string &name, std::uintmax_t limit);

// Pack ids: 1 to 128 of 'a'-'z', '0'-'9', '_'.
bool is_valid_pack_id(std::string_view id);

// Every valid pack in `sounds_dir` (which must be a real folder, not a link). Packs with a
// bad name, link, description or "normal.wav" are left out silently.
SoundPackTable discover_sound_packs(const std::filesystem::path &sounds_dir);

// The module-wide table: empty until installed at load, read-only afterwards.
void install_sound_packs(SoundPackTable table);
const SoundPackTable &sound_packs();

// `id` when the table holds it, else "shizuka".
std::string resolve_sound_pack(std::string_view id);

// The files of pack `id` for the page, in their fixed order; empty for an unknown id.
std::vector<std::string> sound_pack_files(std::string_view id);

// Pack id to display name, in id order, for the dock's pack selector.
std::map<std::string, std::string> sound_pack_names();

} // namespace clackery
