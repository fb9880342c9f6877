#include "probes.h"

#include "websocket_vendor.h"

#include <obs-frontend-api.h>
#include <obs.hpp>

#include <QComboBox>
#include <QDockWidget>
#include <QMainWindow>

namespace companion {
namespace {

struct Call {
	obs_data_t *request;
	obs_data_t *response;
};

void list_dock_combos(void *param)
{
	auto *call = static_cast<Call *>(param);
	auto *window = static_cast<QMainWindow *>(obs_frontend_get_main_window());
	const QString name = QString::fromUtf8(obs_data_get_string(call->request, "dock"));
	QDockWidget *dock = window ? window->findChild<QDockWidget *>(name) : nullptr;
	const OBSDataArrayAutoRelease combos = obs_data_array_create();
	if (dock && dock->widget()) {
		for (QComboBox *combo : dock->widget()->findChildren<QComboBox *>()) {
			const OBSDataArrayAutoRelease items = obs_data_array_create();
			for (int i = 0; i < combo->count(); ++i) {
				const OBSDataAutoRelease item = obs_data_create();
				obs_data_set_string(item, "text", combo->itemText(i).toUtf8().constData());
				obs_data_set_string(item, "value", combo->itemData(i).toString().toUtf8().constData());
				obs_data_array_push_back(items, item);
			}
			const OBSDataAutoRelease entry = obs_data_create();
			obs_data_set_array(entry, "items", items);
			obs_data_array_push_back(combos, entry);
		}
	}
	obs_data_set_bool(call->response, "found", dock != nullptr);
	obs_data_set_array(call->response, "combos", combos);
}

RequestCallback combos_callback{[](obs_data_t *request, obs_data_t *response, void *) {
					// Widgets live on the UI thread; requests arrive on obs-websocket's.
					Call call{request, response};
					obs_queue_task(OBS_TASK_UI, list_dock_combos, &call, true);
				},
				nullptr};

RequestCallback allocations_callback{
    [](obs_data_t *, obs_data_t *response, void *) { obs_data_set_int(response, "count", bnum_allocs()); }, nullptr};

} // namespace

bool register_probes(void *vendor)
{
	return register_request(vendor, "list_dock_combos", &combos_callback) &&
	       register_request(vendor, "live_allocations", &allocations_callback);
}

} // namespace companion
