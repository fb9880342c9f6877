#pragma once
// Small owning wrappers for host objects and typed reads of host data objects.

#include <obs.hpp>

#include <memory>
#include <string>

namespace clackery {

// Owns a string that the host allocated (obs_module_get_config_path, obs_find_module_file).
struct BfreeDeleter {
	void operator()(char *text) const { bfree(text); }
};
using HostString = std::unique_ptr<char, BfreeDeleter>;

inline std::string host_string_or_empty(const HostString &text)
{
	return text ? std::string(text.get()) : std::string();
}

// Owns an obs_data_item_t.
struct DataItemDeleter {
	void operator()(obs_data_item_t *item) const { obs_data_item_release(&item); }
};
using DataItem = std::unique_ptr<obs_data_item_t, DataItemDeleter>;

// True when `data` holds an item `key` of the given item type (string, number, boolean...).
bool has_typed_value(obs_data_t *data, const char *key, obs_data_type type);

// True when `key` holds a value set by the user (not just a default) of a type other than
// `type`.
bool has_user_value_of_other_type(obs_data_t *data, const char *key, obs_data_type type);

} // namespace clackery
