#!/usr/bin/env bash
# Installs what the tests need on a fresh Debian 12 machine and runs every test: unit tests,
# host tests in the real OBS, the Qt 6 compile and the format check.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages "${RUN_PACKAGES[@]}" qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev clang-format
ensure_node

build_module -DCLACKERY_BUILD_TESTS=ON

say "format check"
git -C "$ROOT" ls-files '*.cpp' '*.h' | (cd "$ROOT" && xargs clang-format --dry-run -Werror)

say "tests"
(cd "$BUILD_DIR" && ctest -j2 --output-on-failure --timeout 900)

say "Qt 6 variant (compiled, never loaded into OBS 29)"
cmake -S "$ROOT" -B "$ROOT/build-qt6" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCLACKERY_QT_MAJOR=6 \
	-DCLACKERY_BUILD_TESTS=OFF >/dev/null
cmake --build "$ROOT/build-qt6" -j"$(nproc)" --target clackery

say "all tests passed"
