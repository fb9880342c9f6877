// Cost of the tick per key event, module code only: records pushed into the module's ring, then
// the real tick drains them (ring pop, held keys, the key payload, emit_overlay_event with the
// envelope and both roads, the privacy gate with its watcher running) against a stand-in
// obs-websocket whose procedures answer at once.
// tick_path takes the page's broadcast road (no overlay sources tracked); tick_path_source
// starts libobs, makes one stand-in overlay browser source with its "javascript_event" and
// takes the per-source road.
// Run: build/bench/tick_bench (scripts/bench.sh runs it and puts the figures into its table).

#include "capture/ring.h"
#include "core/core.h"
#include "core/privacy.h"
#include "core/runtime_state.h"
#include "core/settings.h"
#include "core/tick.h"
#include "delivery/vendor.h"

#include <benchmark/benchmark.h>
#include <callback/proc.h>
#include <obs.hpp>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace clackery {
namespace {

// obs-websocket's two procedures on the emission path, answering success at once.
void emit_vendor_event(void *, calldata_t *cd)
{
	calldata_set_bool(cd, "success", true);
}

void call_request(void *, calldata_t *cd)
{
	auto *response = static_cast<WebSocketResponse *>(bzalloc(sizeof(WebSocketResponse)));
	response->status_code = kWebSocketStatusSuccess;
	calldata_set_ptr(cd, "response", response);
}

struct FakeWebSocket {
	proc_handler_t *ph = proc_handler_create();
	char vendorToken = 0;
	FakeWebSocket()
	{
		proc_handler_add(ph,
				 "void vendor_event_emit(in ptr vendor, in string type, in ptr data, out bool success)",
				 emit_vendor_event, nullptr);
		proc_handler_add(ph,
				 "void call_request(in string request_type, in string request_data, out ptr response)",
				 call_request, nullptr);
	}
	~FakeWebSocket() { proc_handler_destroy(ph); }
};

// The module as start-up leaves it, resumed: default settings, running, capture active.
struct RunningModule {
	FakeWebSocket websocket;
	Core core;
	std::uint64_t word = 0;

	explicit RunningModule(bool delivery)
	{
		const auto missing =
		    std::filesystem::temp_directory_path() / "clackery-tick-bench-absent" / "config.json";
		load_settings_at(core.settings, missing);
		core.running = true;
		core.runtime.paused = false;
		Vendor &vendor = vendor_record();
		vendor.ph = websocket.ph;
		vendor.vendor = &websocket.vendorToken;
		vendor.instanceId = "clackery-plugin-00000000-0000-4000-8000-000000000000";
		vendor.deliveryEnabled = delivery;
		word = bump_generation(key_ring(), true);
		// Every key passes the privacy gate, which reads the watcher's flags.
		start_privacy_watcher(core);
	}
	~RunningModule()
	{
		stop_privacy_watcher(core);
		Vendor &vendor = vendor_record();
		vendor.deliveryEnabled = false;
		vendor.ph = nullptr;
		vendor.vendor = nullptr;
		core.running = false;
		release_settings(core.settings);
	}
};

KeyRecord key_a(bool down)
{
	KeyRecord record;
	record.scancode = 0x1e;
	record.vk = 0x41;
	record.down = down;
	record.t = 1.7e12;
	record.synthetic = true;
	return record;
}

// Each iteration: `batch` key records into the ring, then one tick. Counters: records per tick and
// the share of them sent.
void time_ticks(benchmark::State &state, RunningModule &module, int batch)
{
	Core &core = module.core;
	const std::uint64_t sent_before = core.totals.sent;
	bool down = true;
	for (auto _ : state) {
		for (int i = 0; i < batch; ++i, down = !down)
			push_record(key_ring(), key_a(down), module.word);
		tick(core);
	}
	const auto events = static_cast<double>(state.iterations()) * batch;
	state.counters["events"] = batch;
	state.counters["sent"] = static_cast<double>(core.totals.sent - sent_before) / events;
	state.SetItemsProcessed(static_cast<std::int64_t>(events));
}

// state.range(0): delivery enabled; state.range(1): records per tick.
void tick_path(benchmark::State &state)
{
	RunningModule module(state.range(0) != 0);
	time_ticks(state, module, static_cast<int>(state.range(1)));
}

BENCHMARK(tick_path)
    ->ArgNames({"delivery", "per_tick"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 64})
    ->Args({1, 64})
    ->Unit(benchmark::kNanosecond);

constexpr const char *kPagePath = "/clackery-bench/overlay/overlay.html";

// The browser source's own procedure, answering at once as obs-browser's queues the event.
void javascript_event(void *, calldata_t *) {}

void *standin_create(obs_data_t *, obs_source_t *source)
{
	proc_handler_add(obs_source_get_proc_handler(source),
			 "void javascript_event(string eventName, string jsonString)", javascript_event, nullptr);
	return reinterpret_cast<void *>(1);
}

bool shows_page(obs_source_t *source, const QString &)
{
	const OBSDataAutoRelease settings = obs_source_get_settings(source);
	return std::strcmp(obs_data_get_string(settings, "local_file"), kPagePath) == 0;
}

// libobs with one overlay source, for as long as the benchmark runs.
struct OverlayHost {
	OBSSourceAutoRelease source;
	bool started = false;
	OverlayHost()
	{
		// Needs an X display for libobs' hotkeys (scripts/bench.sh runs under Xvfb).
		started = obs_startup("en-US", nullptr, nullptr);
		if (!started)
			return;
		obs_source_info info = {};
		info.id = "browser_source";
		info.type = OBS_SOURCE_TYPE_INPUT;
		info.get_name = [](void *) { return "bench browser"; };
		info.create = standin_create;
		info.destroy = [](void *) {};
		obs_register_source(&info);
		const OBSDataAutoRelease settings = obs_data_create();
		obs_data_set_bool(settings, "is_local_file", true);
		obs_data_set_string(settings, "local_file", kPagePath);
		source = obs_source_create("browser_source", "overlay", settings, nullptr);
		vendor_record().overlays.start(QString::fromUtf8(kPagePath), &shows_page);
	}
	~OverlayHost()
	{
		if (!started)
			return;
		vendor_record().overlays.stop();
		source = nullptr;
		obs_shutdown();
	}
};

void tick_path_source(benchmark::State &state)
{
	// libobs starts once per process; it stays up until the program exits.
	static OverlayHost host;
	if (!host.started) {
		state.SkipWithError("libobs did not start (no X display?)");
		return;
	}
	RunningModule module(true);
	time_ticks(state, module, static_cast<int>(state.range(0)));
	state.counters["road_source"] = vendor_record().overlayRoad == OverlayRoad::Source ? 1 : 0;
}

BENCHMARK(tick_path_source)->ArgNames({"per_tick"})->Arg(1)->Arg(64)->Unit(benchmark::kNanosecond);

} // namespace
} // namespace clackery
