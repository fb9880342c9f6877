# The module, its unit tests and its host tests in the real OBS.
ensure_packages "${RUN_PACKAGES[@]}" "${CAPTURE_TEST_PACKAGES[@]}" libgtest-dev libgmock-dev libbenchmark-dev \
	chromium fonts-noto-cjk fonts-noto-color-emoji
ensure_node
build_module -DCLACKERY_BUILD_TESTS=ON
(cd "$BUILD_DIR" && ctest -j2 --output-on-failure --timeout 900)

# This machine's .deb, installed, loaded by OBS 29 from the system plug-in folder and removed.
# cpack reads the module's library needs with `file` and dpkg-shlibdeps.
ensure_packages dpkg-dev file
source "$ROOT/scripts/lib/host_stage.sh"
(cd "$BUILD_DIR" && cpack >/dev/null)
check_package obs29 "$BUILD_DIR/package/clackery_0.1.0_obs29_amd64.deb" ""
