#include "common/obs_util.h"

namespace clackery {

bool has_typed_value(obs_data_t *data, const char *key, obs_data_type type)
{
	if (!data || !key)
		return false;
	DataItem item(obs_data_item_byname(data, key));
	return item && obs_data_item_gettype(item.get()) == type;
}

bool has_user_value_of_other_type(obs_data_t *data, const char *key, obs_data_type type)
{
	DataItem item(obs_data_item_byname(data, key));
	return item && obs_data_item_has_user_value(item.get()) && obs_data_item_gettype(item.get()) != type;
}

} // namespace clackery
