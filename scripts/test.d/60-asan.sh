# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer: every target built
# with them (the module too), the unit tests run (the host and page tests load the module
# into an uninstrumented OBS and are not run here).
ensure_packages "${RUN_PACKAGES[@]}" libgtest-dev libgmock-dev
ASAN_BUILD_DIR=$ROOT/build-asan
# GCC 12's flow analysis under the sanitizers reports std::regex and std::function members as
# maybe uninitialised (false positives); only that warning is relaxed here.
cmake -S "$ROOT" -B "$ASAN_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLACKERY_SANITIZE=address \
	-DCMAKE_CXX_FLAGS=-Wno-maybe-uninitialized -DCLACKERY_BUILD_TESTS=ON -DCLACKERY_BUILD_BENCH=OFF >/dev/null
cmake --build "$ASAN_BUILD_DIR" -j"$(nproc)"
(cd "$ASAN_BUILD_DIR" &&
	ASAN_OPTIONS="detect_leaks=1 abort_on_error=1 strict_string_checks=1 detect_stack_use_after_return=1 fast_unwind_on_malloc=0" \
		LSAN_OPTIONS="suppressions=$ROOT/tests/support/lsan_host_libraries.supp print_suppressions=0" \
		UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1" \
		ctest -j2 -L unit --output-on-failure --timeout 600)
