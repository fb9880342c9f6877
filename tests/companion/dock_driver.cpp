#include "dock_driver.h"

#include "websocket_vendor.h"

#include <obs-frontend-api.h>
#include <obs.hpp>

#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>

#include <string>
#include <vector>

namespace companion {
namespace {

QDockWidget *find_dock(const char *name)
{
	auto *window = static_cast<QMainWindow *>(obs_frontend_get_main_window());
	return window ? window->findChild<QDockWidget *>(QString::fromUtf8(name)) : nullptr;
}

struct Call {
	obs_data_t *request;
	obs_data_t *response;
};

// Widgets live on the UI thread; requests arrive on obs-websocket's.
void on_ui_thread(void (*task)(void *), obs_data_t *request, obs_data_t *response)
{
	Call call{request, response};
	obs_queue_task(OBS_TASK_UI, task, &call, true);
}

void click_dock_button(void *param)
{
	auto *call = static_cast<Call *>(param);
	QDockWidget *dock = find_dock(obs_data_get_string(call->request, "dock"));
	const QString text = QString::fromUtf8(obs_data_get_string(call->request, "text"));
	bool found = false;
	if (dock && dock->widget()) {
		for (QPushButton *button : dock->widget()->findChildren<QPushButton *>()) {
			if (button->text() == text) {
				button->click();
				found = true;
				break;
			}
		}
	}
	obs_data_set_bool(call->response, "found", found);
	if (!dock)
		return;
	obs_data_set_string(call->response, "title", dock->windowTitle().toUtf8().constData());
	const OBSDataArrayAutoRelease labels = obs_data_array_create();
	if (dock->widget()) {
		for (QLabel *label : dock->widget()->findChildren<QLabel *>()) {
			const OBSDataAutoRelease item = obs_data_create();
			obs_data_set_string(item, "text", label->text().toUtf8().constData());
			obs_data_array_push_back(labels, item);
		}
	}
	obs_data_set_array(call->response, "labels", labels);
}

struct ItemSearch {
	std::vector<std::string> names;
	std::vector<obs_sceneitem_t *> items;
};

bool collect_items(obs_scene_t *, obs_sceneitem_t *item, void *param)
{
	auto *search = static_cast<ItemSearch *>(param);
	const char *name = obs_source_get_name(obs_sceneitem_get_source(item));
	for (const std::string &wanted : search->names) {
		if (name && wanted == name)
			search->items.push_back(item);
	}
	return true;
}

void group_scene_items(void *param)
{
	auto *call = static_cast<Call *>(param);
	const OBSSourceAutoRelease scene_source = obs_get_source_by_name(obs_data_get_string(call->request, "scene"));
	obs_scene_t *scene = obs_scene_from_source(scene_source);
	ItemSearch search;
	const OBSDataArrayAutoRelease names = obs_data_get_array(call->request, "items");
	for (size_t i = 0; i < obs_data_array_count(names); ++i) {
		const OBSDataAutoRelease item = obs_data_array_item(names, i);
		search.names.emplace_back(obs_data_get_string(item, "name"));
	}
	bool grouped = false;
	if (scene) {
		obs_scene_enum_items(scene, collect_items, &search);
		if (!search.items.empty() && search.items.size() == search.names.size())
			grouped = obs_scene_insert_group(scene, obs_data_get_string(call->request, "group"),
							 search.items.data(), search.items.size()) != nullptr;
	}
	obs_data_set_bool(call->response, "grouped", grouped);
}

RequestCallback click_callback{
    [](obs_data_t *request, obs_data_t *response, void *) { on_ui_thread(click_dock_button, request, response); },
    nullptr};
RequestCallback group_callback{
    [](obs_data_t *request, obs_data_t *response, void *) { on_ui_thread(group_scene_items, request, response); },
    nullptr};

} // namespace

bool register_dock_driver(void *vendor)
{
	return register_request(vendor, "click_dock_button", &click_callback) &&
	       register_request(vendor, "group_scene_items", &group_callback);
}

} // namespace companion
