#include "core/hotkeys.h"

#include "common/obs_util.h"
#include "core/core.h"

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
};

constexpr std::array<HotkeyRow, 3> kHotkeyTable = {{
    {"pause_toggle", "pause_hotkey", "clackery.pause_toggle", "Clackery 一時停止／再開"},
    {"hide_toggle", "hide_hotkey", "clackery.hide_toggle", "Clackery 表示／非表示"},
    {"mode_cycle", "mode_hotkey", "clackery.mode_cycle", "Clackery モードを切り替える"},
}};

// The host calls a hotkey with the row as its data; the queued action finds the core here. Set
// only between register_hotkeys and unregister_hotkeys, both on the UI thread, as the actions
// run: a press queued before unregistering finds it null and does nothing.
Core *hotkey_core = nullptr;

constexpr std::size_t kMaxCombinations = 16;
constexpr std::size_t kMaxKeyNameBytes = 64;

void run_hotkey_task(void *data)
{
	const auto row = reinterpret_cast<std::uintptr_t>(data);
	if (hotkey_core && row < kHotkeyTable.size() && hotkey_core->hotkey_actions[row])
		hotkey_core->hotkey_actions[row](*hotkey_core);
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

OBSDataArrayAutoRelease checked_binding(obs_data_t *request, const HotkeyRow &row, obs_hotkey_id id)
{
	if (!has_typed_value(request, row.action, OBS_DATA_ARRAY) || !is_valid(id))
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

void register_hotkeys(Core &core, const std::array<HotkeyAction, 3> &actions)
{
	hotkey_core = &core;
	core.hotkey_actions = actions;
	for (std::size_t row = 0; row < kHotkeyTable.size(); ++row) {
		const HotkeyRow &entry = kHotkeyTable[row];
		core.hotkey_ids[row] = obs_hotkey_register_frontend(entry.name, entry.description, on_hotkey,
								    reinterpret_cast<void *>(row));
	}
	for (std::size_t row = 0; row < kHotkeyTable.size(); ++row) {
		OBSDataArrayAutoRelease binding =
		    obs_data_get_array(core.settings.data, kHotkeyTable[row].settings_key);
		if (binding)
			obs_hotkey_load(core.hotkey_ids[row], binding);
	}
}

void unregister_hotkeys(Core &core)
{
	for (obs_hotkey_id id : core.hotkey_ids) {
		if (is_valid(id))
			obs_hotkey_unregister(id);
	}
	core.hotkey_ids.fill(OBS_INVALID_HOTKEY_ID);
	if (hotkey_core == &core)
		hotkey_core = nullptr;
}

namespace {

void store_hotkey_bindings(const Core &core, obs_data_t *data)
{
	for (std::size_t row = 0; row < kHotkeyTable.size(); ++row) {
		if (is_valid(core.hotkey_ids[row]))
			obs_data_set_array(data, kHotkeyTable[row].settings_key, saved_binding(core.hotkey_ids[row]));
	}
}

} // namespace

void save_settings_and_hotkeys(Core &core)
{
	if (core.settings.data)
		store_hotkey_bindings(core, core.settings.data);
	save_settings(core.settings);
}

OBSDataAutoRelease hotkeys_state_object(const Core &core)
{
	OBSDataAutoRelease out = obs_data_create();
	for (std::size_t row = 0; row < kHotkeyTable.size(); ++row)
		obs_data_set_array(out, kHotkeyTable[row].action, saved_binding(core.hotkey_ids[row]));
	return out;
}

bool set_hotkey_bindings(Core &core, obs_data_t *request)
{
	std::array<OBSDataArrayAutoRelease, 3> bindings;
	for (std::size_t row = 0; row < kHotkeyTable.size(); ++row) {
		const HotkeyRow &entry = kHotkeyTable[row];
		if (!DataItem(obs_data_item_byname(request, entry.action)))
			continue;
		bindings[row] = checked_binding(request, entry, core.hotkey_ids[row]);
		if (!bindings[row])
			return false;
	}
	for (std::size_t row = 0; row < kHotkeyTable.size(); ++row) {
		if (bindings[row])
			obs_hotkey_load(core.hotkey_ids[row], bindings[row]);
	}
	save_settings_and_hotkeys(core);
	return true;
}

} // namespace clackery
