# The request gate, the vendor and the emission under ThreadSanitizer: requests cross from
# obs-websocket's threads to the UI thread there. A build of common and delivery only.
ensure_packages build-essential cmake ninja-build libgtest-dev libgmock-dev libobs-dev qtbase5-dev
TSAN_DELIVERY_DIR=$ROOT/build-tsan-delivery
cmake -S "$ROOT" -B "$TSAN_DELIVERY_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLACKERY_SUBSYSTEMS="common;delivery" \
	-DCLACKERY_SANITIZE=thread -DCLACKERY_BUILD_BENCH=OFF >/dev/null
cmake --build "$TSAN_DELIVERY_DIR" -j"$(nproc)"
(cd "$TSAN_DELIVERY_DIR" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$ROOT/tests/delivery/tsan_qt.supp" \
	ctest --output-on-failure --timeout 600 -R '^delivery_')
