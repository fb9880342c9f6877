#include "delivery/request_reading.h"

#include "common/obs_util.h"

#include <cmath>

namespace clackery {

bool has_key(obs_data_t *data, const char *key)
{
	return DataItem(obs_data_item_byname(data, key)) != nullptr;
}

bool read_bool(obs_data_t *data, const char *key, bool &out, bool required)
{
	if (!has_key(data, key))
		return !required;
	if (!has_typed_value(data, key, OBS_DATA_BOOLEAN))
		return false;
	out = obs_data_get_bool(data, key);
	return true;
}

bool read_string(obs_data_t *data, const char *key, std::string &out, bool required)
{
	if (!has_key(data, key))
		return !required;
	if (!has_typed_value(data, key, OBS_DATA_STRING))
		return false;
	out = obs_data_get_string(data, key);
	return true;
}

std::optional<std::int64_t> whole_number(obs_data_t *data, const char *key)
{
	DataItem item(obs_data_item_byname(data, key));
	if (!item || obs_data_item_gettype(item.get()) != OBS_DATA_NUMBER)
		return std::nullopt;
	if (obs_data_item_numtype(item.get()) == OBS_DATA_NUM_INT)
		return obs_data_item_get_int(item.get());
	// Converting a double that does not fit is undefined: such a value fails every bound.
	const double value = std::trunc(obs_data_item_get_double(item.get()));
	if (!std::isfinite(value) || value < -9.2e18 || value > 9.2e18)
		return std::nullopt;
	return static_cast<std::int64_t>(value);
}

bool read_unsigned(obs_data_t *data, const char *key, std::int64_t &out, std::uint64_t high, bool required)
{
	if (!has_key(data, key))
		return !required;
	const auto value = whole_number(data, key);
	if (!value || static_cast<std::uint64_t>(*value) > high)
		return false;
	out = *value;
	return true;
}

bool read_signed(obs_data_t *data, const char *key, std::int64_t &out, std::int64_t low, std::int64_t high,
		 bool required)
{
	if (!has_key(data, key))
		return !required;
	const auto value = whole_number(data, key);
	if (!value || *value < low || *value > high)
		return false;
	out = *value;
	return true;
}

} // namespace clackery
