#include "probes.h"

#include "websocket_vendor.h"

#include <obs-frontend-api.h>
#include <obs-module.h>
#include <obs.hpp>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QTimer>

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

// What libobs knows of a loaded module: its accessors, and from OBS 32 on what it read of the
// module's manifest.
void module_info(obs_data_t *request, obs_data_t *response, void *)
{
	obs_module_t *module = obs_get_module(obs_data_get_string(request, "module"));
	obs_data_set_bool(response, "loaded", module != nullptr);
	if (module == nullptr)
		return;
	const auto put = [response](const char *name, const char *value) {
		if (value != nullptr)
			obs_data_set_string(response, name, value);
	};
	put("name", obs_get_module_name(module));
	put("description", obs_get_module_description(module));
	put("author", obs_get_module_author(module));
#if LIBOBS_API_MAJOR_VER >= 32
	put("id", obs_get_module_id(module));
	put("version", obs_get_module_version(module));
#endif
}

// The frontend's plug-in manager (OBS 32 and later), opened from its menu action as a user
// would and read: every text shown in its module list.
QWidget *plugin_manager_window()
{
	for (QWidget *widget : QApplication::topLevelWidgets()) {
		if (widget->objectName() == QStringLiteral("PluginManagerWindow") && widget->isVisible())
			return widget;
	}
	return nullptr;
}

void read_plugin_manager(void *param)
{
	auto *call = static_cast<Call *>(param);
	auto *window = static_cast<QMainWindow *>(obs_frontend_get_main_window());
	QAction *open = window ? window->findChild<QAction *>(QStringLiteral("actionOpenPluginManager")) : nullptr;
	obs_data_set_bool(call->response, "action", open != nullptr);
	QWidget *manager = plugin_manager_window();
	if (manager == nullptr && open != nullptr && obs_data_get_bool(call->request, "open")) {
		// The manager may run its own event loop: opened after this task returns.
		QTimer::singleShot(0, open, &QAction::trigger);
		return;
	}
	obs_data_set_bool(call->response, "open", manager != nullptr);
	if (manager == nullptr)
		return;
	const OBSDataArrayAutoRelease texts = obs_data_array_create();
	const auto add = [&texts](const QString &text) {
		if (text.isEmpty())
			return;
		const OBSDataAutoRelease item = obs_data_create();
		obs_data_set_string(item, "text", text.toUtf8().constData());
		obs_data_array_push_back(texts, item);
	};
	QWidget *list = manager->findChild<QWidget *>(QStringLiteral("modulesList"));
	QWidget *scope = list ? list : manager;
	for (QLabel *label : scope->findChildren<QLabel *>())
		add(label->text());
	for (QAbstractButton *button : scope->findChildren<QAbstractButton *>())
		add(button->text());
	if (auto *items = qobject_cast<QListWidget *>(list)) {
		for (int i = 0; i < items->count(); ++i)
			add(items->item(i)->text());
	}
	obs_data_set_array(call->response, "texts", texts);
	if (obs_data_get_bool(call->request, "close"))
		manager->close();
}

RequestCallback plugin_manager_callback{[](obs_data_t *request, obs_data_t *response, void *) {
						Call call{request, response};
						obs_queue_task(OBS_TASK_UI, read_plugin_manager, &call, true);
					},
					nullptr};

RequestCallback module_info_callback{module_info, nullptr};

RequestCallback allocations_callback{
    [](obs_data_t *, obs_data_t *response, void *) { obs_data_set_int(response, "count", bnum_allocs()); }, nullptr};

} // namespace

bool register_probes(void *vendor)
{
	return register_request(vendor, "list_dock_combos", &combos_callback) &&
	       register_request(vendor, "live_allocations", &allocations_callback) &&
	       register_request(vendor, "module_info", &module_info_callback) &&
	       register_request(vendor, "plugin_manager", &plugin_manager_callback);
}

} // namespace companion
