# Key capture built for 64-bit Windows, its tests run under Wine: the real low-level keyboard
# hook driven by SendInput, the hook thread's queue and the ring (the module itself needs the
# OBS SDK for Windows and is not built here).
ensure_packages cmake ninja-build googletest g++-mingw-w64-x86-64-posix wine wine64
WINE_BUILD_DIR=$ROOT/build-wine
cmake -S "$ROOT" -B "$WINE_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$WINE_BUILD_DIR" -j"$(nproc)"
(cd "$WINE_BUILD_DIR" && ctest -j2 --output-on-failure --timeout 300)
# The prefix's wineserver lingers a few seconds after its last program; let it end here.
WINEPREFIX="$WINE_BUILD_DIR/wine-prefix" wineserver -w
