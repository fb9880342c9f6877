#pragma once
// One function per vendor request, by family; the table of vendor_request.cpp names them. Each
// validates its request keys and writes only the reply keys its request defines.

#include "delivery/dispatcher.h"

namespace clackery {

void get_state(RequestServices &services, obs_data_t *request, obs_data_t *response);
void push_test_key(RequestServices &services, obs_data_t *request, obs_data_t *response);
void report_counters(RequestServices &services, obs_data_t *request, obs_data_t *response);
void report_run_on_start(RequestServices &services, obs_data_t *request, obs_data_t *response);
void set_mode(RequestServices &services, obs_data_t *request, obs_data_t *response);
void set_text_options(RequestServices &services, obs_data_t *request, obs_data_t *response);
void set_overlay_options(RequestServices &services, obs_data_t *request, obs_data_t *response);
void set_hotkeys(RequestServices &services, obs_data_t *request, obs_data_t *response);
void add_overlay(RequestServices &services, obs_data_t *request, obs_data_t *response);
void accept_stream_started(RequestServices &services, obs_data_t *request, obs_data_t *response);
void capture_event(RequestServices &services, obs_data_t *request, obs_data_t *response);

void dock_input_method(RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_key(RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_clear(RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_edit(RequestServices &services, obs_data_t *request, obs_data_t *response);
void show_dock(RequestServices &services, obs_data_t *request, obs_data_t *response);
void grab_dock(RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_paused(RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_geometry(RequestServices &services, obs_data_t *request, obs_data_t *response);
void dock_status(RequestServices &services, obs_data_t *request, obs_data_t *response);

} // namespace clackery
