# Shared by the run and test commands: package installs and the build.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_DIR=${CLACKERY_BUILD_DIR:-$ROOT/build}

say() { printf '\n== %s\n' "$*"; }

as_root() {
	if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the Debian packages that are missing; does nothing (and needs no network) when all
# are present.
ensure_packages() {
	local missing=()
	for pkg in "$@"; do
		dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
	done
	[ ${#missing[@]} -eq 0 ] && return 0
	say "installing ${missing[*]}"
	# Another install may hold the package lock for a while (parallel builds on one machine).
	as_root apt-get -o DPkg::Lock::Timeout=600 update -qq
	as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
		--no-install-recommends "${missing[@]}" >/dev/null
}

# Key capture on Linux reads X11 through XCB (XInput 2.1 raw key events).
CAPTURE_PACKAGES=(pkg-config libxcb1-dev libxcb-xinput-dev libdbus-1-dev)
# The X11 capture tests and benchmark type through XTest into their own Xvfb; the host tests
# read a crashed OBS's core with gdb.
CAPTURE_TEST_PACKAGES=(libxcb-xtest0-dev xvfb xdotool gdb dbus-daemon dbus-x11 at-spi2-core python3-gi gir1.2-gtk-3.0)

# What building and running the module needs: the host, its development files, Qt, Xvfb, and
# xdotool to type on a display of our own.
RUN_PACKAGES=(build-essential cmake ninja-build pkg-config obs-studio libobs-dev qtbase5-dev
	xvfb xauth libgl1-mesa-dri mesa-utils imagemagick x11-utils xdotool "${CAPTURE_PACKAGES[@]}")

ensure_node() {
	if ! command -v node >/dev/null 2>&1; then
		ensure_packages nodejs npm
	fi
	if [ ! -d "$ROOT/node_modules/obs-websocket-js" ] || [ "$ROOT/package-lock.json" -nt "$ROOT/node_modules/.package-lock.json" ]; then
		say "installing the Node tools"
		(cd "$ROOT" && npm ci --no-audit --no-fund --loglevel=error)
	fi
}

build_module() {
	say "building in $BUILD_DIR"
	cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
	cmake --build "$BUILD_DIR" -j"$(nproc)"
}
