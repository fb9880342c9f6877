#!/usr/bin/env bash
# Builds the fuzzers with clang and runs each for a while on a fresh corpus seeded from the
# shipped data (layouts, generated sound packs, skins when present) and the hand-made seeds.
# Usage: fuzz/run.sh [SECONDS_PER_TARGET] [BUILD_DIR]
# Prints executions, corpus size and coverage per target; fails on the first crash, with the
# crashing input under BUILD_DIR/fuzz-artifacts/.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_PER_TARGET=${1:-60}
BUILD=${2:-$ROOT/build-fuzz}

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

# One run: the fuzzer writes new inputs into the corpus folder and reads the seeds beside it.
run_fuzzer() {
	local target=$1 seeds=$2 dict=$3
	local corpus=$WORK/corpus/$target log=$WORK/$target.log
	mkdir -p "$corpus"
	if ! "$BUILD/fuzz/$target" -max_total_time="$SECONDS_PER_TARGET" -print_final_stats=1 -timeout=10 \
		-rss_limit_mb=2048 -dict="$ROOT/fuzz/$dict" -artifact_prefix="$ARTIFACTS/$target-" \
		"$corpus" "$WORK/seeds/$seeds" >"$log" 2>&1; then
		tail -n 40 "$log"
		echo "FUZZ FAILURE in $target; log at $log, inputs in $ARTIFACTS" >&2
		return 1
	fi
	local execs seeds_count corpus_count cov
	execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}')
	seeds_count=$(find "$WORK/seeds/$seeds" -type f | wc -l)
	corpus_count=$(find "$corpus" -type f | wc -l)
	cov=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -n 1 | grep -o 'cov: [0-9]* ft: [0-9]*' || true)
	printf '%-28s %10s executions in %ss  seeds %4s  new corpus %5s  %s  crashes 0\n' \
		"$target" "$execs" "$SECONDS_PER_TARGET" "$seeds_count" "$corpus_count" "$cov"
}

run_fuzzer fuzz_layout_document layout json.dict
run_fuzzer fuzz_display_name_document display_name json.dict
run_fuzzer fuzz_wav wav wav.dict
