// Placing the overlay browser source in the frontend's current scene, once per scene.

#include "common/qt_text.h"
#include "overlay/overlay_source.h"

#include <obs-frontend-api.h>
#include <obs.hpp>

#include <QDir>

#include <filesystem>

namespace clackery {
namespace {

constexpr const char *kSourceType = "browser_source";
constexpr const char *kBaseName = "Clackery";
constexpr int kLastTestedNumber = 1000;

constexpr const char *kNoticeCreated = "いまのシーンに Clackery を置きました。開始するとキーの動きが出ます。";
constexpr const char *kNoticeExisting = "このシーンには、もうオーバーレイがあります。";
constexpr const char *kNoticeFailed = "足せませんでした。シーンとブラウザソースを確かめてください。";

struct AddOverlayResult {
	bool ok = false;
	bool created = false;
	bool existing = false;
	std::string sourceName;
};

struct OverlaySearch {
	const QString &overlay_path;
	bool enter_groups;
	bool found = false;
	std::string name;
};

bool search_items(obs_scene_t *, obs_sceneitem_t *item, void *param)
{
	auto *search = static_cast<OverlaySearch *>(param);
	if (search->enter_groups && obs_sceneitem_is_group(item)) {
		obs_scene_enum_items(obs_sceneitem_group_get_scene(item), search_items, search);
		return !search->found;
	}
	obs_source_t *source = obs_sceneitem_get_source(item);
	if (!is_overlay_source(source, search->overlay_path))
		return true;
	const char *name = obs_source_get_name(source);
	search->found = true;
	search->name = name ? name : "";
	return false;
}

// A top-level overlay wins over one inside a group, even when the group comes first.
bool find_overlay(obs_scene_t *scene, const QString &overlay_path, std::string &name)
{
	for (const bool enter_groups : {false, true}) {
		OverlaySearch search{overlay_path, enter_groups, false, std::string()};
		obs_scene_enum_items(scene, search_items, &search);
		if (search.found) {
			name = search.name;
			return true;
		}
	}
	return false;
}

bool source_exists(const std::string &name)
{
	const OBSSourceAutoRelease source = obs_get_source_by_name(name.c_str());
	return source != nullptr;
}

std::string choose_source_name()
{
	if (!source_exists(kBaseName))
		return kBaseName;
	for (int number = 2; number <= kLastTestedNumber; ++number) {
		std::string candidate = std::string(kBaseName) + " " + std::to_string(number);
		if (!source_exists(candidate))
			return candidate;
	}
	return std::string(kBaseName) + " " + std::to_string(kLastTestedNumber + 1);
}

// A source saved with a relative page path breaks when OBS starts from another folder.
void repair_relative_page_path(const std::string &name, const QString &overlay_path)
{
	const OBSSourceAutoRelease source = obs_get_source_by_name(name.c_str());
	if (!source)
		return;
	const OBSDataAutoRelease settings = obs_source_get_settings(source);
	if (!obs_data_get_bool(settings, "is_local_file"))
		return;
	const QString local = QDir::toNativeSeparators(QString::fromUtf8(obs_data_get_string(settings, "local_file")));
	bool relative = false;
	try {
		relative = std::filesystem::u8path(qstring_to_utf8(local)).is_relative();
	} catch (...) {
		return;
	}
	if (!relative)
		return;
	const OBSDataAutoRelease update = obs_data_create();
	obs_data_set_string(update, "local_file", qstring_to_utf8(overlay_path).c_str());
	obs_source_update(source, update);
}

bool create_overlay(obs_scene_t *scene, const QString &overlay_path, AddOverlayResult &result)
{
	// Without obs-browser the host would create a blank placeholder and call it a success.
	if (!obs_source_get_display_name(kSourceType))
		return false;
	const std::string name = choose_source_name();
	OBSSourceAutoRelease source;
	{
		const OBSDataAutoRelease settings = obs_data_create();
		obs_data_set_bool(settings, "is_local_file", true);
		obs_data_set_string(settings, "local_file", qstring_to_utf8(overlay_path).c_str());
		obs_data_set_int(settings, "width", 1920);
		obs_data_set_int(settings, "height", 1080);
		// Key sounds that the page plays reach the OBS mixer.
		obs_data_set_bool(settings, "reroute_audio", true);
		source = obs_source_create(kSourceType, name.c_str(), settings, nullptr);
	}
	if (!source || !obs_scene_add(scene, source))
		return false;
	const char *created_name = obs_source_get_name(source);
	result.ok = true;
	result.created = true;
	result.sourceName = created_name ? created_name : "";
	return true;
}

AddOverlayResult add_overlay(const std::function<void(const std::string &)> &show_notice)
{
	AddOverlayResult result;
	const QString overlay_path = overlay_page_path();
	if (overlay_path.isEmpty() || overlay_path == QLatin1String("."))
		return result;

	const OBSSourceAutoRelease scene_source = obs_frontend_get_current_scene();
	obs_scene_t *scene = obs_scene_from_source(scene_source);
	std::string found_name;
	if (scene && find_overlay(scene, overlay_path, found_name)) {
		repair_relative_page_path(found_name, overlay_path);
		result.ok = true;
		result.existing = true;
		result.sourceName = found_name;
	} else if (scene) {
		create_overlay(scene, overlay_path, result);
	}

	if (show_notice)
		show_notice(result.created ? kNoticeCreated : result.existing ? kNoticeExisting : kNoticeFailed);
	return result;
}

} // namespace

OverlayPlacement place_overlay(const std::function<void(const std::string &)> &show_notice)
{
	const AddOverlayResult result = add_overlay(show_notice);
	OverlayPlacement placement;
	placement.ok = result.ok;
	placement.created = result.created;
	placement.existing = result.existing;
	placement.source_name = result.sourceName;
	return placement;
}

} // namespace clackery
