#include "core/hotkeys.h"

#include "common/obs_util.h"
#include "core/options.h"
#include "core/runtime_state.h"
#include "core/settings.h"

#include <obs-frontend-api.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace clackery {
namespace {

struct HotkeyRow {
	const char *action;       // key in the state and in requests
	const char *settings_key; // key of the binding array in "config.json"
	const char *name;         // registered name
	const char *description;  // shown in the host's hotkey settings
	obs_hotkey_id id;
};

std::array<HotkeyRow, 3> hotkey_table = {{
    {"pause_toggle", "pause_hotkey", "clackery.pause_toggle", "Clackery 一時停止／再開", OBS_INVALID_HOTKEY_ID},
    {"hide_toggle", "hide_hotkey", "clackery.hide_toggle", "Clackery 表示／非表示", OBS_INVALID_HOTKEY_ID},
    {"mode_cycle", "mode_hotkey", "clackery.mode_cycle", "Clackery モードを切り替える", OBS_INVALID_HOTKEY_ID},
}};

constexpr std::size_t kMaxCombinations = 16;
constexpr std::size_t kMaxKeyNameBytes = 64;

void run_hotkey_action(std::uintptr_t row)
{
	switch (row) {
	case 0:
		toggle_paused();
		break;
	case 1:
		toggle_hidden();
		break;
	case 2:
		cycle_mode();
		break;
	default:
		break;
	}
}

void run_hotkey_task(void *data)
{
	run_hotkey_action(reinterpret_cast<std::uintptr_t>(data));
}

// Called on the host's hotkey thread: only hand the press to the UI thread.
void on_hotkey(void *data, obs_hotkey_id, obs_hotkey_t *, bool pressed)
{
	if (pressed)
		obs_queue_task(OBS_TASK_UI, run_hotkey_task, data, false);
}

bool is_valid(obs_hotkey_id id)
{
	return id != OBS_INVALID_HOTKEY_ID;
}

// One combination of a request, checked and copied with exactly the host's members.
OBSDataAutoRelease checked_combination(obs_data_t *item)
{
	if (!has_typed_value(item, "key", OBS_DATA_STRING))
		return nullptr;
	const char *key = obs_data_get_string(item, "key");
	if (std::strlen(key) > kMaxKeyNameBytes || obs_key_from_name(key) == OBS_KEY_NONE)
		return nullptr;
	OBSDataAutoRelease copy = obs_data_create();
	obs_data_set_string(copy, "key", key);
	for (const char *modifier : {"shift", "control", "alt", "command"}) {
		const bool present = DataItem(obs_data_item_byname(item, modifier)) != nullptr;
		if (present && !has_typed_value(item, modifier, OBS_DATA_BOOLEAN))
			return nullptr;
		obs_data_set_bool(copy, modifier, present && obs_data_get_bool(item, modifier));
	}
	return copy;
}

OBSDataArrayAutoRelease checked_binding(obs_data_t *request, const HotkeyRow &row)
{
	if (!has_typed_value(request, row.action, OBS_DATA_ARRAY) || !is_valid(row.id))
		return nullptr;
	OBSDataArrayAutoRelease array = obs_data_get_array(request, row.action);
	const std::size_t count = obs_data_array_count(array);
	if (count > kMaxCombinations)
		return nullptr;
	OBSDataArrayAutoRelease binding = obs_data_array_create();
	for (std::size_t i = 0; i < count; ++i) {
		OBSDataAutoRelease item = obs_data_array_item(array, i);
		OBSDataAutoRelease combination = checked_combination(item);
		if (!combination)
			return nullptr;
		obs_data_array_push_back(binding, combination);
	}
	return binding;
}

// The host's form of a binding; an empty array when there is none.
OBSDataArrayAutoRelease saved_binding(obs_hotkey_id id)
{
	OBSDataArrayAutoRelease binding = is_valid(id) ? obs_hotkey_save(id) : nullptr;
	return binding ? std::move(binding) : OBSDataArrayAutoRelease(obs_data_array_create());
}

} // namespace

void register_hotkeys()
{
	for (std::size_t row = 0; row < hotkey_table.size(); ++row) {
		HotkeyRow &entry = hotkey_table[row];
		entry.id = obs_hotkey_register_frontend(entry.name, entry.description, on_hotkey,
							reinterpret_cast<void *>(row));
	}
	for (HotkeyRow &entry : hotkey_table) {
		OBSDataArrayAutoRelease binding = obs_data_get_array(settings(), entry.settings_key);
		if (binding)
			obs_hotkey_load(entry.id, binding);
	}
}

void unregister_hotkeys()
{
	for (HotkeyRow &entry : hotkey_table) {
		if (is_valid(entry.id))
			obs_hotkey_unregister(entry.id);
	}
	for (HotkeyRow &entry : hotkey_table)
		entry.id = OBS_INVALID_HOTKEY_ID;
}

void store_hotkey_bindings(obs_data_t *data)
{
	for (const HotkeyRow &entry : hotkey_table) {
		if (!is_valid(entry.id))
			continue;
		obs_data_set_array(data, entry.settings_key, saved_binding(entry.id));
	}
}

OBSDataAutoRelease hotkeys_state_object()
{
	OBSDataAutoRelease out = obs_data_create();
	for (const HotkeyRow &entry : hotkey_table) {
		obs_data_set_array(out, entry.action, saved_binding(entry.id));
	}
	return out;
}

bool set_hotkey_bindings(obs_data_t *request)
{
	std::array<OBSDataArrayAutoRelease, 3> bindings;
	for (std::size_t row = 0; row < hotkey_table.size(); ++row) {
		const HotkeyRow &entry = hotkey_table[row];
		if (!DataItem(obs_data_item_byname(request, entry.action)))
			continue;
		bindings[row] = checked_binding(request, entry);
		if (!bindings[row])
			return false;
	}
	for (std::size_t row = 0; row < hotkey_table.size(); ++row) {
		if (bindings[row])
			obs_hotkey_load(hotkey_table[row].id, bindings[row]);
	}
	save_settings();
	publish_state(true);
	return true;
}

} // namespace clackery
