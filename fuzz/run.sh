#!/usr/bin/env bash
# Builds the fuzzers with clang and runs each for a while on a fresh corpus seeded from the
# shipped data (layouts, generated sound packs, skins when present) and the hand-made seeds.
# Usage: fuzz/run.sh [SECONDS_PER_TARGET] [BUILD_DIR] [readers|module|all]
#   readers: the data-file readers (a build without the module);
#   module:  settings load and the request dispatcher (a build with libobs and Qt, in
#            BUILD_DIR-module).
# CLACKERY_FUZZ_RUNS also ends each run after that many executions.
# Prints executions, corpus size, coverage and crashes per target; runs every target, then
# fails if one crashed, with the crashing input under BUILD_DIR/fuzz-artifacts/.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_PER_TARGET=${1:-60}
BUILD=${2:-$ROOT/build-fuzz}
WHICH=${3:-readers}
RUNS=${CLACKERY_FUZZ_RUNS:--1}
FAILED=()

# One run: the fuzzer writes new inputs into the corpus folder and reads the seeds beside it.
run_fuzzer() {
	local binary=$1 seeds=$2 dict=$3 work=$4 artifacts=$5
	local target corpus log status=0
	target=$(basename "$binary")
	corpus=$work/corpus/$target
	log=$work/$target.log
	mkdir -p "$corpus" "$artifacts"
	LSAN_OPTIONS="suppressions=$ROOT/fuzz/lsan.supp print_suppressions=0" \
		"$binary" -max_total_time="$SECONDS_PER_TARGET" -runs="$RUNS" -print_final_stats=1 -timeout=10 \
		-rss_limit_mb=2048 -dict="$ROOT/fuzz/$dict" -artifact_prefix="$artifacts/$target-" \
		"$corpus" "$seeds" >"$log" 2>&1 || status=$?
	local execs seeds_count corpus_count cov crashes=0 seconds
	execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' || true)
	seconds=$(grep -Eo '^Done [0-9]+ runs in [0-9]+ second' "$log" | awk '{print $5}' || true)
	seeds_count=$(find "$seeds" -type f | wc -l)
	corpus_count=$(find "$corpus" -type f | wc -l)
	cov=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -n 1 | grep -o 'cov: [0-9]* ft: [0-9]*' || true)
	if [ "$status" -ne 0 ]; then
		crashes=1
		tail -n 40 "$log"
		echo "FUZZ FAILURE in $target; log at $log, inputs in $artifacts" >&2
		FAILED+=("$target")
	fi
	printf '%-28s %10s executions in %ss  seeds %4s  new corpus %5s  %s  crashes %s\n' \
		"$target" "${execs:-?}" "${seconds:-$SECONDS_PER_TARGET}" "$seeds_count" "$corpus_count" "$cov" "$crashes"
}

run_readers() {
	CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCLACKERY_BUILD_MODULE=OFF -DCLACKERY_BUILD_TESTS=OFF -DCLACKERY_BUILD_FUZZERS=ON >/dev/null
	cmake --build "$BUILD" -j2 --target clackery_fuzzers

	DATA=$BUILD/data
	WORK=$BUILD/fuzz-work
	ARTIFACTS=$BUILD/fuzz-artifacts
	rm -rf "$WORK"
	mkdir -p "$WORK/seeds/layout" "$WORK/seeds/display_name" "$WORK/seeds/wav" "$ARTIFACTS"

	cp "$ROOT"/fuzz/seeds/layout/* "$DATA"/layouts/*.json "$WORK/seeds/layout/"
	cp "$ROOT"/fuzz/seeds/display_name/* "$WORK/seeds/display_name/"
	for file in "$DATA"/sounds/*/pack.json "$DATA"/skin/*/config.json; do
		[ -f "$file" ] && cp "$file" "$WORK/seeds/display_name/$(basename "$(dirname "$file")")-$(basename "$file")"
	done
	"$BUILD/fuzz/clackery_fuzz_seeds" "$WORK/seeds/wav"
	for file in "$DATA"/sounds/*/*.wav; do
		[ -f "$file" ] && cp "$file" "$WORK/seeds/wav/$(basename "$(dirname "$file")")-$(basename "$file")"
	done

	for target in fuzz_layout_document:layout:json.dict fuzz_display_name_document:display_name:json.dict \
		fuzz_wav:wav:wav.dict; do
		IFS=: read -r name seeds dict <<<"$target"
		run_fuzzer "$BUILD/fuzz/$name" "$WORK/seeds/$seeds" "$dict" "$WORK" "$ARTIFACTS"
	done
}

run_module() {
	local build=$BUILD-module
	CC=clang CXX=clang++ cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCLACKERY_BUILD_MODULE=ON -DCLACKERY_BUILD_TESTS=OFF -DCLACKERY_BUILD_BENCH=OFF \
		-DCLACKERY_BUILD_FUZZERS=ON >/dev/null
	cmake --build "$build" -j2 --target clackery_module_fuzzers
	local work=$build/fuzz-work
	rm -rf "$work"
	mkdir -p "$work"
	run_fuzzer "$build/fuzz/fuzz_settings_load" "$ROOT/fuzz/seeds/settings" settings.dict "$work" \
		"$build/fuzz-artifacts"
	run_fuzzer "$build/fuzz/fuzz_request_dispatcher" "$ROOT/fuzz/seeds/requests" requests.dict "$work" \
		"$build/fuzz-artifacts"
}

case $WHICH in
readers) run_readers ;;
module) run_module ;;
all) run_readers && run_module ;;
*) echo "usage: fuzz/run.sh [SECONDS] [BUILD_DIR] [readers|module|all]" >&2 && exit 2 ;;
esac
if [ ${#FAILED[@]} -gt 0 ]; then
	echo "crashed: ${FAILED[*]}" >&2
	exit 1
fi
