#pragma once
// Typed reads of request keys. "Required" keys must be present with the type; "optional" keys
// may be absent (the output is left as it was) but, when present, must have the type.

#include <obs.h>

#include <cstdint>
#include <optional>
#include <string>

namespace clackery {

bool has_key(obs_data_t *data, const char *key);

bool read_bool(obs_data_t *data, const char *key, bool &out, bool required);
bool read_string(obs_data_t *data, const char *key, std::string &out, bool required);

// A number read as a 64-bit integer (a fraction is dropped); empty when the item is not a
// number or does not fit.
std::optional<std::int64_t> whole_number(obs_data_t *data, const char *key);

// A number within 0..`high`, compared as unsigned 64-bit values so a negative one fails.
bool read_unsigned(obs_data_t *data, const char *key, std::int64_t &out, std::uint64_t high, bool required);
// A number within `low`..`high` as signed values.
bool read_signed(obs_data_t *data, const char *key, std::int64_t &out, std::int64_t low, std::int64_t high,
		 bool required);

} // namespace clackery
