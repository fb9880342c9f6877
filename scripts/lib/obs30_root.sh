# The second host: Debian 13's OBS 30 with Qt 6, in a Debian 13 root of its own beside this
# machine's Debian 12. The root lives outside the clone, so that test runs on this machine share
# it; it is made when missing and remade when its package list changes.
#
# Sourced, it gives ensure_obs30_root and in_obs30_root. Executed, it runs one command in the
# root in place of itself (same process id, so that a caller can signal it):
#   bash scripts/lib/obs30_root.sh COMMAND [ARGS...]
# shellcheck shell=bash

OBS30_ROOT=${CLACKERY_OBS30_ROOT:-/var/cache/clackery/trixie-root}
# What building, testing and packaging the module there needs. Without qt6-svg-plugins OBS 30's
# theme draws no check-box marks or combo-box arrows.
OBS30_PACKAGES=(obs-studio libobs-dev qt6-base-dev qt6-svg-plugins xvfb xauth libgl1-mesa-dri cmake g++
	ninja-build pkg-config libxcb1-dev libxcb-xinput-dev libdbus-1-dev fonts-noto-cjk libgtest-dev libgmock-dev
	dpkg-dev file)

# The command runs with /proc, /dev (with /dev/pts and /dev/shm), /tmp and the clone mounted at
# the same paths as outside, so that paths mean the same in and out (a test's private home in
# /tmp, the build folder). The mounts live in a private mount namespace and vanish with the
# command.
# Arguments: root, clone, working folder, command...
# shellcheck disable=SC2016
OBS30_ENTER='r=$1 src=$2 dir=$3; shift 3
mount --bind /proc "$r/proc" && mount --rbind /dev "$r/dev" && mount --bind /tmp "$r/tmp" &&
mount --bind "$src" "$r$src" && exec chroot "$r" env -C "$dir" "$@"'

obs30_clone() { cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd; }

# The working folder inside: the caller's when it is visible there, else /.
obs30_workdir() {
	local clone=$1
	case $PWD/ in
	"$clone"/* | /tmp/*) echo "$PWD" ;;
	*) echo / ;;
	esac
}

# Runs a command inside the root given as the first argument.
in_root_at() {
	local root=$1 clone
	shift
	clone=$(obs30_clone)
	mkdir -p "$root$clone"
	unshare -m sh -c "$OBS30_ENTER" sh "$root" "$clone" "$(obs30_workdir "$clone")" "$@"
}

in_obs30_root() { in_root_at "$OBS30_ROOT" "$@"; }

obs30_stamp() { printf '%s\n' 'trixie minbase 1' "${OBS30_PACKAGES[@]}" | sha256sum | cut -c1-16; }

# Makes the root when missing or when its package list changed. Concurrent runs wait for the one
# that builds it.
ensure_obs30_root() {
	local want
	want=$(obs30_stamp)
	[ "$(cat "$OBS30_ROOT/.clackery-stamp" 2>/dev/null)" = "$want" ] && return 0
	ensure_packages debootstrap
	mkdir -p "$(dirname "$OBS30_ROOT")"
	(
		flock 9
		[ "$(cat "$OBS30_ROOT/.clackery-stamp" 2>/dev/null)" = "$want" ] && exit 0
		say "making the Debian 13 root in $OBS30_ROOT"
		local mirror fresh=$OBS30_ROOT.new
		mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
		[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
		# Mounts made in the root are private to their commands, so nothing is mounted here now.
		rm -rf --one-file-system "$fresh"
		debootstrap --variant=minbase trixie "$fresh" "$mirror" >"$OBS30_ROOT.log" 2>&1 ||
			{ tail -n 20 "$OBS30_ROOT.log" >&2; exit 1; }
		in_root_at "$fresh" sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
			--no-install-recommends "$@" >/dev/null' sh "${OBS30_PACKAGES[@]}"
		echo "$want" >"$fresh/.clackery-stamp"
		rm -rf --one-file-system "$OBS30_ROOT"
		mv "$fresh" "$OBS30_ROOT"
	) 9>"$OBS30_ROOT.lock"
}

# The module with Qt 6 against OBS 30, its data, and the given further targets, built in the
# root into build-obs30 of the clone.
obs30_build() {
	local clone
	clone=$(obs30_clone)
	OBS30_BUILD_DIR=$clone/build-obs30
	say "building with Qt 6 against OBS 30 in $OBS30_BUILD_DIR"
	in_obs30_root cmake -S "$clone" -B "$OBS30_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCLACKERY_QT_MAJOR=6 -DCLACKERY_BUILD_TESTS=ON -DCLACKERY_BUILD_BENCH=OFF >/dev/null
	in_obs30_root cmake --build "$OBS30_BUILD_DIR" -j"$(nproc)" --target clackery clackery_data clackery_sound_data "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
	set -euo pipefail
	clone=$(obs30_clone)
	mkdir -p "$OBS30_ROOT$clone"
	exec unshare -m sh -c "$OBS30_ENTER" sh "$OBS30_ROOT" "$clone" "$(obs30_workdir "$clone")" "$@"
fi
