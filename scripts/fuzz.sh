#!/usr/bin/env bash
# The long fuzz command: every libFuzzer target (the data-file readers, settings load and the
# request dispatcher) for 10 million executions or 10 minutes each, whichever comes first;
# prints executions, coverage and crashes per target. Not part of the test command, which runs
# the same targets for a minute or less. CLACKERY_FUZZ_SECONDS and CLACKERY_FUZZ_RUNS change
# the limits, CLACKERY_FUZZ_BUILD_DIR the build folder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages "${RUN_PACKAGES[@]}" clang libclang-rt-14-dev fonts-dejavu-core
export CLACKERY_FUZZ_RUNS=${CLACKERY_FUZZ_RUNS:-10000000}
bash "$ROOT/fuzz/run.sh" "${CLACKERY_FUZZ_SECONDS:-600}" "${CLACKERY_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}" all
