#pragma once
// Putting the overlay page into the stream: a browser source in the frontend's current scene
// that shows the page installed beside the module as a local file.

#include "common/request_records.h"

#include <QString>

#include <obs.h>

#include <functional>
#include <string>

namespace clackery {

// Finds or places the overlay source in the current scene. `show_notice` receives the message
// for the streamer (placed, already there, or failed); it is not called when the page itself
// is missing. The caller checks that the module is running. UI thread only.
OverlayPlacement place_overlay(const std::function<void(const std::string &notice)> &show_notice);

// The installed page as a normalised absolute path, or empty.
QString overlay_page_path();

// Makes `path` absolute against `base` (a relative base gives nothing), resolves "." and ".."
// lexically and writes '/' as the separator. Empty when the result is not rooted or cannot be
// converted. Used on both sides of every path comparison.
std::string normalize_local_path(const std::string &path, const std::string &base);

// True when `source` is a browser source showing the page at `overlay_path` (compared
// without regard to letter case), as a local file or as obs-browser's "http://absolute/" URL.
bool is_overlay_source(obs_source_t *source, const QString &overlay_path);

} // namespace clackery
