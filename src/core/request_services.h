#pragma once

#include "core/core.h"
#include "delivery/dispatcher.h"

namespace clackery {

// What the vendor requests may do in the core, the capture and the dock: the core's side of the
// dispatcher's interface, one method per service over the core it is given.
class CoreRequests final : public RequestServices {
public:
	explicit CoreRequests(Core &core) : core_(core) {}

	bool running() override;
	OBSDataAutoRelease build_state() override;
	bool post_test_key(const TestKey &key) override;
	RequestCounters counters() override;
	obs_data_t *settings() override;
	bool paused() override;
	OverlayOptions current_options() override;
	void apply_dock_options(const OverlayOptions &options) override;
	bool apply_options(const OverlayOptions &options, const std::string &text_source,
			   const std::string &text_color) override;
	void merge_text_options(obs_data_t *request, OverlayOptions &options) override;
	bool set_hotkey_bindings(obs_data_t *request) override;
	OverlayPlacement add_overlay() override;

	bool dock_exists() override;
	bool dock_inject_input_method(const std::string &preedit, const std::string &committed, std::int64_t cursor,
				      std::int64_t replacement_start, std::int64_t replacement_length) override;
	bool dock_simulate_key(const std::string &key, bool shift, bool ctrl) override;
	bool dock_select_text(std::int64_t caret, std::int64_t anchor) override;
	void dock_press_clear() override;
	bool dock_press_pause(bool paused) override;
	void dock_show(bool visible) override;
	std::optional<DockImage> dock_grab(bool floating) override;
	std::optional<DockGeometryReport> dock_geometry(const DockGeometryRequest &request) override;
	DockStatusTexts dock_status_texts() override;
	bool capture_event(CaptureTestKind kind, std::uint32_t error) override;

private:
	Core &core_;
};

} // namespace clackery
