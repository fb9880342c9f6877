#pragma once
// Measuring and photographing the dock from outside: float, dock or resize its frame and
// report its geometry against the screen, or render it into a PNG image.
//
// The dock does not know the host's data objects: the caller reads the request into
// DockGeometryRequest and writes DockGeometryReport into the reply (common/request_records.h).

#include "common/request_records.h"

#include <QSize>

#include <optional>
#include <string>

class QDockWidget;
class QPixmap;

namespace clackery {

class TextDock;

// Applies the request to the dock frame and reports its geometry. Empty, with nothing
// changed, when the frame is null or the request is refused: a size can only be set on a
// floating frame, both sides at once, each a whole number from 1 to 4096.
std::optional<DockGeometryReport> report_dock_geometry(QDockWidget *frame, const DockGeometryRequest &request);

// Renders the dock as a base64 PNG. With a null frame: the dock's content at its natural size
// (at least 560 x 200), whatever the dock's current size and scroll position, which are left
// as they were. With the enclosing frame (floating and visible): the frame as it is on screen.
// On failure `image_data` is empty and both sizes are 0.
bool grab_dock_image(TextDock *dock, std::string &image_data, int &width, int &height, QDockWidget *frame);

// Not empty, each side at most 4096, at most 8,388,608 pixels.
bool image_size_ok(const QSize &size);

bool encode_png_base64(const QPixmap &pixmap, std::string &image_data, int &width, int &height);

} // namespace clackery
