# Windows: every subsystem compiled by mingw-w64 for 64-bit Windows. Common, capture, layouts,
# sounds and the core's data-folder walks are built and their tests run under Wine (the real
# low-level keyboard hook driven by SendInput, in and out of an interactive desktop; file handling
# with Japanese names, case-only differences and links; the version resource); delivery, overlay,
# dock and core are compiled against the libobs and Qt 6 headers and not linked (no OBS SDK or Qt
# for mingw here), and the files that branch on the libobs version once more against the OBS 30
# root's libobs, the branch the Windows DLL takes. The real DLL is built by
# .github/workflows/windows.yml on Windows runners; here that workflow is linted (actionlint and
# the schema) and the parts of it that run anywhere are tested.
ensure_packages cmake ninja-build googletest g++-mingw-w64-x86-64-posix wine wine64 libobs-dev libsimde-dev \
	qt6-base-dev
source "$ROOT/scripts/lib/host_root.sh"
ensure_root obs30
WINE_BUILD_DIR=$ROOT/build-wine
cmake -S "$ROOT" -B "$WINE_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchains/mingw-w64-x86_64.cmake" \
	-DCLACKERY_CHECK_OBS30_INCLUDE="$(root_dir obs30)/usr/include/obs" >/dev/null
cmake --build "$WINE_BUILD_DIR" -j"$(nproc)"
(cd "$WINE_BUILD_DIR" && ctest -j2 --output-on-failure --timeout 300)
# The prefix's wineserver lingers a few seconds after its last program; let it end here.
WINEPREFIX="$WINE_BUILD_DIR/wine-prefix" wineserver -w

ensure_node
node "$ROOT/tests/windows/check_workflows.mjs"
node --test "$ROOT/tests/windows/"
