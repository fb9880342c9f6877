# The Qt 6 variant for OBS 30 and later: compiled, never loaded into Debian's OBS 29.
ensure_packages qt6-base-dev
cmake -S "$ROOT" -B "$ROOT/build-qt6" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCLACKERY_QT_MAJOR=6 \
	-DCLACKERY_BUILD_TESTS=OFF >/dev/null
cmake --build "$ROOT/build-qt6" -j"$(nproc)" --target clackery
