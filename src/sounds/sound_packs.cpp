#include "sounds/sound_packs.h"

#include "common/files.h"

#include "common/json_reader.h"
#include "sounds/wav.h"

#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace clackery {
namespace {

constexpr const char *kSoundBases[] = {"normal", "space", "enter", "backspace"};
constexpr const char *kSoundSuffixes[] = {"", "_2", "_3", "_4"};

SoundPackTable &pack_table()
{
	static SoundPackTable table;
	return table;
}

bool has_valid_description(const fs::path &dir, std::string &display_name)
{
	const DisplayNameDocument doc = read_display_name_document(read_pack_file(dir, "pack.json", kMaxPackJsonBytes));
	if (!doc.ok || doc.display_name.empty())
		return false;
	display_name = doc.display_name;
	return true;
}

bool is_valid_sound(const fs::path &dir, const std::string &name)
{
	return is_acceptable_wav(read_pack_file(dir, name, kMaxSoundFileBytes));
}

// A pack directory that has passed the name and link checks; nothing when it is unusable.
bool read_pack(const fs::path &dir, SoundPack &pack)
{
	if (!has_valid_description(dir, pack.displayName) || !is_valid_sound(dir, "normal.wav"))
		return false;
	pack.files.assign(1, "normal.wav");
	for (const char *base : kSoundBases) {
		for (const char *suffix : kSoundSuffixes) {
			const std::string name = std::string(base) + suffix + ".wav";
			if (name != "normal.wav" && is_valid_sound(dir, name))
				pack.files.push_back(name);
		}
	}
	return true;
}

} // namespace

std::string read_pack_file(const fs::path &dir, const std::string &name, std::uintmax_t limit)
{
	// The checks on the path come before any open: a link, FIFO or device is never opened.
	const fs::path path = dir / path_from_utf8(name);
	if (own_file_type(path) != fs::file_type::regular || !has_entry_named(dir, name))
		return {};
	const std::optional<fs::path> canonical = resolved_path(path);
	if (!canonical || canonical->parent_path() != dir)
		return {};
	return read_bounded_file(path, 1, limit).value_or(std::string());
}

bool is_valid_pack_id(std::string_view id)
{
	if (id.empty() || id.size() > 128)
		return false;
	for (char c : id) {
		if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
			return false;
	}
	return true;
}

SoundPackTable discover_sound_packs(const fs::path &sounds_dir)
{
	SoundPackTable table;
	if (sounds_dir.empty() || own_file_type(sounds_dir) != fs::file_type::directory)
		return table;
	const std::optional<fs::path> root = resolved_path(sounds_dir);
	if (!root)
		return table;
	// An error while walking keeps the packs found so far.
	std::error_code ec;
	for (fs::directory_iterator it(*root, ec), end; !ec && it != end; it.increment(ec)) {
		const std::optional<std::string> id = entry_name_utf8(it->path());
		if (!id || !is_valid_pack_id(*id) || own_file_type(it->path()) != fs::file_type::directory)
			continue;
		const fs::path dir = *root / path_from_utf8(*id);
		if (resolved_path(dir) != dir)
			continue;
		SoundPack pack;
		if (read_pack(dir, pack))
			table.emplace(*id, std::move(pack));
	}
	return table;
}

void install_sound_packs(SoundPackTable table)
{
	pack_table() = std::move(table);
}

const SoundPackTable &sound_packs()
{
	return pack_table();
}

std::string resolve_sound_pack(std::string_view id)
{
	const SoundPackTable &table = pack_table();
	return table.find(std::string(id)) != table.end() ? std::string(id) : std::string(kDefaultSoundPack);
}

std::vector<std::string> sound_pack_files(std::string_view id)
{
	const SoundPackTable &table = pack_table();
	const auto it = table.find(std::string(id));
	return it == table.end() ? std::vector<std::string>() : it->second.files;
}

std::map<std::string, std::string> sound_pack_names()
{
	std::map<std::string, std::string> names;
	for (const auto &[id, pack] : pack_table())
		names.emplace(id, pack.displayName);
	return names;
}

} // namespace clackery
