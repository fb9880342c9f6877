// Requests that drive the control dock as a user would. Without a dock each replies
// "accepted": false (test_dock_paused: "applied": false) and does nothing else.

#include "common/obs_util.h"
#include "common/text.h"
#include "delivery/request_handlers.h"
#include "delivery/request_reading.h"

namespace clackery {
namespace {

constexpr std::size_t kMaxImeTextBytes = 65536;
constexpr std::int64_t kMaxTextPosition = 8000;

bool dock_missing(RequestServices &services, obs_data_t *response)
{
	if (services.dock_exists())
		return false;
	obs_data_set_bool(response, "accepted", false);
	return true;
}

// The geometry request's sizes: the number when the item is one, else 0 (refused later).
double number_or_zero(obs_data_t *request, const char *key)
{
	return has_typed_value(request, key, OBS_DATA_NUMBER) ? obs_data_get_double(request, key) : 0.0;
}

void accept(obs_data_t *response, bool accepted)
{
	obs_data_set_bool(response, "accepted", accepted);
}

} // namespace

void dock_input_method(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	if (dock_missing(services, response))
		return;
	std::string preedit;
	std::string committed;
	std::int64_t start = 0;
	std::int64_t length = 0;
	bool valid = read_string(request, "preedit", preedit, false) &&
		     read_string(request, "committed", committed, false) && preedit.size() <= kMaxImeTextBytes &&
		     committed.size() <= kMaxImeTextBytes;
	// Without a cursor the composition cursor sits after the preedit, in UTF-16 units.
	std::int64_t cursor = static_cast<std::int64_t>(utf16_length(utf8_to_code_points(preedit)));
	valid = valid && read_unsigned(request, "cursor", cursor, kMaxTextPosition, false) &&
		read_signed(request, "replacementStart", start, -kMaxTextPosition, kMaxTextPosition, false) &&
		read_unsigned(request, "replacementLength", length, kMaxTextPosition, false);
	accept(response, valid && services.dock_inject_input_method(preedit, committed, cursor, start, length));
}

void dock_key(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	if (dock_missing(services, response))
		return;
	std::string key;
	bool shift = false;
	bool ctrl = false;
	const bool valid = read_string(request, "key", key, true) && read_bool(request, "shift", shift, false) &&
			   read_bool(request, "ctrl", ctrl, false);
	accept(response, valid && services.dock_simulate_key(key, shift, ctrl));
}

void dock_clear(RequestServices &services, obs_data_t *, obs_data_t *response)
{
	if (dock_missing(services, response))
		return;
	services.dock_press_clear();
	accept(response, true);
}

void dock_edit(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	if (dock_missing(services, response))
		return;
	std::int64_t caret = 0;
	bool valid = read_unsigned(request, "caret", caret, kMaxTextPosition, true);
	std::int64_t anchor = caret;
	valid = valid && read_unsigned(request, "anchor", anchor, kMaxTextPosition, false);
	accept(response, valid && services.dock_select_text(caret, anchor));
}

void show_dock(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	if (dock_missing(services, response))
		return;
	bool visible = false;
	if (!read_bool(request, "visible", visible, true)) {
		accept(response, false);
		return;
	}
	services.dock_show(visible);
	accept(response, true);
}

void grab_dock(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	if (dock_missing(services, response))
		return;
	// Read without a type check: anything but a true boolean grabs the docked content.
	const bool floating = obs_data_get_bool(request, "floating");
	const std::optional<DockImage> image = services.dock_grab(floating);
	accept(response, image.has_value());
	if (!image)
		return;
	obs_data_set_string(response, "imageData", image->png_base64.c_str());
	obs_data_set_int(response, "width", image->width);
	obs_data_set_int(response, "height", image->height);
}

void dock_paused(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	bool paused = false;
	const bool applied =
	    services.dock_exists() && read_bool(request, "paused", paused, true) && services.dock_press_pause(paused);
	obs_data_set_bool(response, "applied", applied);
	obs_data_set_bool(response, "paused", services.paused());
}

void dock_geometry(RequestServices &services, obs_data_t *request, obs_data_t *response)
{
	if (dock_missing(services, response))
		return;
	DockGeometryRequest geometry;
	bool floating = false;
	if (!read_bool(request, "floating", floating, false)) {
		accept(response, false);
		return;
	}
	if (has_key(request, "floating"))
		geometry.floating = floating;
	geometry.size_given = has_key(request, "width") || has_key(request, "height");
	geometry.width = number_or_zero(request, "width");
	geometry.height = number_or_zero(request, "height");
	const std::optional<DockGeometryReport> report = services.dock_geometry(geometry);
	accept(response, report.has_value());
	if (!report)
		return;
	obs_data_set_bool(response, "floating", report->floating);
	const std::pair<const char *, int> sizes[] = {
	    {"width", report->width},
	    {"height", report->height},
	    {"minimumWidth", report->minimum_width},
	    {"minimumHeight", report->minimum_height},
	    {"frameWidth", report->frame_width},
	    {"frameHeight", report->frame_height},
	    {"availableWidth", report->available_width},
	    {"availableHeight", report->available_height},
	};
	for (const auto &[key, value] : sizes)
		obs_data_set_int(response, key, value);
	obs_data_set_bool(response, "frameInside", report->frame_inside);
}

void dock_status(RequestServices &services, obs_data_t *, obs_data_t *response)
{
	if (dock_missing(services, response))
		return;
	const DockStatusTexts texts = services.dock_status_texts();
	accept(response, true);
	obs_data_set_string(response, "run", texts.run.c_str());
	obs_data_set_string(response, "health", texts.health.c_str());
	obs_data_set_string(response, "capture", texts.capture.c_str());
	obs_data_set_string(response, "notice", texts.notice.c_str());
}

} // namespace clackery
