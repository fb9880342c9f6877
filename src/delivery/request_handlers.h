#pragma once
// One function per vendor request, by family. Each validates its request keys and writes only
// the reply keys its request defines.

#include "delivery/dispatcher.h"

namespace clackery {

void get_state(const RequestServices &services, obs_data_t *response);
void push_test_key(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void report_counters(const RequestServices &services, obs_data_t *response);
void report_run_on_start(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void set_mode(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void set_text_options(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void set_overlay_options(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void set_hotkeys(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void add_overlay(const RequestServices &services, obs_data_t *response);

void dock_input_method(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_key(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_clear(const RequestServices &services, obs_data_t *response);
void dock_edit(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void show_dock(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void grab_dock(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_paused(const RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_geometry(const RequestServices &services, obs_data_t *request, obs_data_t *response);

} // namespace clackery
