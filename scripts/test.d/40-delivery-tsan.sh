# The request gate, the vendor and the emission under ThreadSanitizer: requests cross from
# obs-websocket's threads to the UI thread there.
cmake -S "$ROOT" -B "$ROOT/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLACKERY_SANITIZE=thread \
	-DCLACKERY_BUILD_TESTS=ON >/dev/null
cmake --build "$ROOT/build-tsan" -j"$(nproc)" --target delivery_gate_test delivery_vendor_test delivery_emit_test
(cd "$ROOT/build-tsan" && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R '^delivery_(gate|vendor|emit)_test$')
