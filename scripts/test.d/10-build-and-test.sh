# The module, its unit tests and its host tests in the real OBS.
ensure_packages "${RUN_PACKAGES[@]}" "${CAPTURE_TEST_PACKAGES[@]}" libgtest-dev libgmock-dev libbenchmark-dev \
	chromium fonts-noto-cjk fonts-noto-color-emoji
ensure_node
build_module -DCLACKERY_BUILD_TESTS=ON
(cd "$BUILD_DIR" && ctest -j2 --output-on-failure --timeout 900)
