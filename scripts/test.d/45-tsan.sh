# The ring and the hook thread under ThreadSanitizer: a build of the portable subsystems (common
# and capture) and their tests only.
ensure_packages build-essential cmake ninja-build libgtest-dev libgmock-dev "${CAPTURE_PACKAGES[@]}" \
	"${CAPTURE_TEST_PACKAGES[@]}"
TSAN_BUILD_DIR=$ROOT/build-tsan
cmake -S "$ROOT" -B "$TSAN_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLACKERY_BUILD_MODULE=OFF \
	-DCLACKERY_SUBSYSTEMS="common;capture" -DCLACKERY_SANITIZE=thread -DCLACKERY_BUILD_BENCH=OFF >/dev/null
cmake --build "$TSAN_BUILD_DIR" -j"$(nproc)"
(cd "$TSAN_BUILD_DIR" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	ctest -j2 --output-on-failure --timeout 600)
