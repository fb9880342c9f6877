#!/usr/bin/env bash
# The benchmark command: builds the module and runs every benchmark in one go on the real OBS
# host (Xvfb, private home, test mode), then prints one table of figures, each with its method:
# key latency, the tick's cost per event, a 4096-key burst, throughput and memory over a million
# keys, idle CPU and resident memory with and without the module, the hostile load for 60 s, the
# X11 capture's latency from an XTest key and its idle CPU, and the hook's own cost per key (Linux,
# and the Windows hook under Wine).
# Takes about ten minutes; not part of the test command. Set CLACKERY_BENCH_QUICK=1 for a short
# run of the same steps.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages "${RUN_PACKAGES[@]}" "${CAPTURE_TEST_PACKAGES[@]}" libgtest-dev libgmock-dev libbenchmark-dev \
	chromium fonts-noto-cjk fonts-noto-color-emoji
ensure_node
build_module -DCLACKERY_BUILD_TESTS=ON -DCLACKERY_BUILD_BENCH=ON

export CLACKERY_MODULE=$BUILD_DIR/src/core/clackery.so
export CLACKERY_COMPANION=$BUILD_DIR/tests/companion/clackery_test_companion.so
export CLACKERY_DATA_DIR=$BUILD_DIR/data
OUT=$BUILD_DIR/bench-results
rm -rf "$OUT"
mkdir -p "$OUT"
quick=()
hostile_seconds=${CLACKERY_HOSTILE_SECONDS:-60}
x11_keys=2000
if [ "${CLACKERY_BENCH_QUICK:-0}" = 1 ]; then
	quick=(--quick)
	hostile_seconds=10
	x11_keys=200
fi

say "tick cost per event (Google Benchmark)"
"$BUILD_DIR/bench/tick_bench" --benchmark_out="$OUT/tick.json" --benchmark_out_format=json \
	--benchmark_min_time="${CLACKERY_TICK_BENCH_SECONDS:-2}"

say "hostile load for $hostile_seconds s"
(cd "$ROOT" && CLACKERY_HOSTILE_SECONDS=$hostile_seconds CLACKERY_HOSTILE_REPORT=$OUT/hostile.json \
	node --test tests/host/hostile.test.mjs)

say "overlay page: 1000 key events/s in Chromium"
(cd "$ROOT" && node tests/page/bench_page.mjs --json "$OUT/page.json")

say "overlay page: 1000 mixed key, mouse button and wheel events/s, the mouse drawn"
(cd "$ROOT" && node tests/page/bench_page.mjs --mouse --json "$OUT/page-mouse.json")

say "key latency, burst, memory, idle CPU"
(cd "$ROOT" && node bench/host_bench.mjs --tick-json "$OUT/tick.json" --hostile-json "$OUT/hostile.json" \
	--page-json "$OUT/page.json" ${quick[@]+"${quick[@]}"})

say "X11 capture: XTest key to client event, idle capture thread"
KEYS=$x11_keys cmake --build "$BUILD_DIR" --target bench_x11_latency

say "the hook's own cost per key: the X11 capture thread (clock, push, wake)"
"$BUILD_DIR/bench/capture_bench" --benchmark_filter=hook_cost_waking

say "the Windows hook under Wine (the cross build of the Wine tests): the hook's and the witness's cost per key, latency quiet and busy, idle CPU"
ensure_packages g++-mingw-w64-x86-64-posix wine wine64
WINE_BUILD_DIR=$ROOT/build-wine
cmake -S "$ROOT" -B "$WINE_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$WINE_BUILD_DIR" --target bench_hook_latency

say "the mouse's raw input on the Windows hook thread under Wine, a 1000 Hz mouse moving"
cmake --build "$WINE_BUILD_DIR" --target bench_raw_mouse
WINEPREFIX="$WINE_BUILD_DIR/wine-prefix" wineserver -w
