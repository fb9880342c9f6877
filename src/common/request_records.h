#pragma once
// Plain records that cross between the vendor requests and the parts that serve them (the
// dock, the overlay placement), so that neither side includes the other.

#include <optional>
#include <string>

namespace clackery {

// What the dock's status area reads, line by line ("test_dock_status").
struct DockStatusTexts {
	std::string run;     // the running line
	std::string health;  // capture and delivery
	std::string capture; // the capture's health
	std::string notice;  // the elevated-window notice; empty while hidden
};

// Outcome of placing the overlay source in the current scene.
struct OverlayPlacement {
	bool ok = false;         // the scene holds an overlay source now
	bool created = false;    // a new source was created and added
	bool existing = false;   // the scene already held one
	std::string source_name; // that source's name when `ok`
};

// A request to float, dock or resize the dock's frame. The caller reads the request keys:
//   "floating" -> floating (absent: empty; present with another type than boolean: the
//                 request is refused before this record is made)
//   "width", "height" -> size_given when either is present; each the value as a double when
//                 it has the number type, else 0
struct DockGeometryRequest {
	std::optional<bool> floating;
	bool size_given = false;
	double width = 0;
	double height = 0;
};

// The frame's geometry against its screen, one reply key per field: "floating", "width",
// "height", "minimumWidth", "minimumHeight", "frameWidth", "frameHeight", "availableWidth",
// "availableHeight", "frameInside".
struct DockGeometryReport {
	bool floating = false;
	int width = 0;
	int height = 0;
	int minimum_width = 0;
	int minimum_height = 0;
	int frame_width = 0; // window decoration included
	int frame_height = 0;
	int available_width = 0; // the screen's available area
	int available_height = 0;
	bool frame_inside = false; // the frame lies within the available area (edges may touch)
};

// The dock rendered as a PNG, base64 text.
struct DockImage {
	std::string png_base64;
	int width = 0;
	int height = 0;
};

} // namespace clackery
