#pragma once
// The one road by which overlay options change while the module runs: validate, refuse whole
// on any invalid value, save, publish.

#include "common/records.h"
#include "core/core.h"

#include <obs-data.h>

#include <string>

namespace clackery {

// Returns whether the set was accepted; a refused set changes nothing at all.
bool apply_options(Core &core, const OverlayOptions &options, const std::string &text_source,
		   const std::string &text_color);

// Dock callbacks: they keep what the dock does not control and drop the result, since the
// dock is refreshed from the state either way.
void apply_text_source_and_color(Core &core, const std::string &text_source, const std::string &text_color);
void apply_dock_options(Core &core, const OverlayOptions &options);
void cycle_mode(Core &core);

// Reads the camelCase text keys of a request into `options`; absent keys change nothing.
void merge_text_options(obs_data_t *request, OverlayOptions &options);

std::string next_mode(const std::string &mode);

} // namespace clackery
