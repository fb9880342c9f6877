# The hosts beyond this machine's Debian 12 and its OBS 29, each in a Debian root of its own:
#   obs30  Debian 13 ("trixie"), OBS 30.2 with Qt 6.8 and GCC 14
#   obs32  Debian testing ("forky"), OBS 32.2 with Qt 6.11 and GCC 16
# A root lives outside the clone, so that test runs on this machine share it; it is made when
# missing and remade when its package list changes. Testing moves every day, so each root keeps
# the versions it got in .clackery-versions.
#
# Sourced, it gives ensure_root, in_root, root_build and friends, each taking the host first.
# Executed, it runs one command in a host's root in place of itself (same process id, so that a
# caller can signal it):
#   bash scripts/lib/host_root.sh HOST COMMAND [ARGS...]
# shellcheck shell=bash

# What building, testing and packaging the module there needs. Without qt6-svg-plugins OBS 30's
# theme draws no check-box marks or combo-box arrows.
ROOT_PACKAGES=(obs-studio libobs-dev qt6-base-dev qt6-svg-plugins xvfb xauth libgl1-mesa-dri cmake g++
	ninja-build pkg-config libxcb1-dev libxcb-xinput-dev libdbus-1-dev fonts-noto-cjk libgtest-dev libgmock-dev
	dpkg-dev file)

root_known() {
	case $1 in
	obs30 | obs32) ;;
	*) echo "unknown host $1 (obs30 or obs32)" >&2; return 2 ;;
	esac
}

root_dir() {
	case $1 in
	obs30) echo "${CLACKERY_OBS30_ROOT:-/var/cache/clackery/trixie-root}" ;;
	obs32) echo "${CLACKERY_OBS32_ROOT:-/var/cache/clackery/forky-root}" ;;
	esac
}

root_suite() {
	case $1 in
	obs30) echo trixie ;;
	obs32) echo forky ;;
	esac
}

root_label() {
	case $1 in
	obs30) echo "Debian 13" ;;
	obs32) echo "Debian testing" ;;
	esac
}

# Debian 12's debootstrap has no script of testing's name; sid's serves it.
root_debootstrap_script() {
	case $1 in
	obs32) echo /usr/share/debootstrap/scripts/sid ;;
	esac
}

# Testing's Release file carries a short Valid-Until, and a mirror may serve one past it.
root_apt_options() {
	case $1 in
	obs32) echo "-o Acquire::Check-Valid-Until=false" ;;
	esac
}

root_stamp() {
	case $1 in
	obs30) printf '%s\n' 'trixie minbase 1' "${ROOT_PACKAGES[@]}" ;;
	obs32) printf '%s\n' 'forky minbase sid-script 1' "${ROOT_PACKAGES[@]}" ;;
	esac | sha256sum | cut -c1-16
}

# The Debian mirror this machine's apt uses, from the deb822 sources (what Debian 12 images
# carry) or the one-line sources.list (what the installer and debootstrap write); the security
# archive is not a mirror of the suites. Prints "URI FILE"; the argument is apt's folder.
debian_mirror() {
	local etc=${1:-/etc/apt} file found
	for file in "$etc"/sources.list.d/*.sources; do
		[ -r "$file" ] || continue
		found=$(awk '
			function flush() { if (uri != "" && deb && suites !~ /-security/ && uri !~ /security/ && !done) { print uri; done = 1 }
				uri = ""; deb = 0; suites = "" }
			/^[ \t]*$/ { flush(); next }
			/^#/ { next }
			tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
			tolower($1) == "uris:" && uri == "" { for (i = 2; i <= NF; i++) if ($i ~ /^(https?|ftp|file):/) { uri = $i; break } }
			tolower($1) == "suites:" { suites = $0 }
			END { flush() }' "$file")
		[ -n "$found" ] && { echo "$found $file"; return 0; }
	done
	for file in "$etc"/sources.list "$etc"/sources.list.d/*.list; do
		[ -r "$file" ] || continue
		found=$(awk '
			{ sub(/#.*/, ""); gsub(/\[[^]]*\]/, "") }
			$1 == "deb" && $2 ~ /^(https?|ftp|file):/ && $3 !~ /-security/ && $2 !~ /security/ { print $2; exit }' "$file")
		[ -n "$found" ] && { echo "$found $file"; return 0; }
	done
	return 1
}

root_clone() { cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd; }

# The command runs with /proc, /dev (with /dev/pts and /dev/shm), /tmp and the clone mounted at
# the same paths as outside, so that paths mean the same in and out (a test's private home in
# /tmp, the build folder). The mounts live in a private mount namespace and vanish with the
# command.
# Arguments: root, clone, working folder, command...
# shellcheck disable=SC2016
ROOT_ENTER='r=$1 src=$2 dir=$3; shift 3
mount --bind /proc "$r/proc" && mount --rbind /dev "$r/dev" && mount --bind /tmp "$r/tmp" &&
mount --bind "$src" "$r$src" && exec chroot "$r" env -C "$dir" "$@"'

# The working folder inside: the caller's when it is visible there, else /.
root_workdir() {
	local clone=$1
	case $PWD/ in
	"$clone"/* | /tmp/*) echo "$PWD" ;;
	*) echo / ;;
	esac
}

# Runs a command inside the root folder given as the first argument.
in_root_at() {
	local root=$1 clone
	shift
	clone=$(root_clone)
	mkdir -p "$root$clone"
	unshare -m sh -c "$ROOT_ENTER" sh "$root" "$clone" "$(root_workdir "$clone")" "$@"
}

# Runs a command inside a host's root.
in_root() {
	local host=$1
	shift
	in_root_at "$(root_dir "$host")" "$@"
}

# The versions a root got of what it was made for, as "package version" lines, kept in it.
ROOT_VERSIONED=("${ROOT_PACKAGES[@]}" gcc qt6-base-dev-tools)
root_record_versions() {
	# shellcheck disable=SC2016
	in_root_at "$1" dpkg-query -W -f='${Package} ${Version}\n' "${ROOT_VERSIONED[@]}" >"$1/.clackery-versions.new" &&
		mv "$1/.clackery-versions.new" "$1/.clackery-versions"
}
root_versions() { cat "$(root_dir "$1")/.clackery-versions"; }

# Makes a host's root when missing or when its package list changed. Concurrent runs wait for
# the one that builds it.
ensure_root() {
	local host=$1 dir want
	root_known "$host" || return
	dir=$(root_dir "$host")
	want=$(root_stamp "$host")
	if [ "$(cat "$dir/.clackery-stamp" 2>/dev/null)" = "$want" ]; then
		# A root made before the versions were kept.
		[ -s "$dir/.clackery-versions" ] || root_record_versions "$dir"
		return 0
	fi
	ensure_packages debootstrap
	mkdir -p "$(dirname "$dir")"
	(
		flock 9
		[ "$(cat "$dir/.clackery-stamp" 2>/dev/null)" = "$want" ] && exit 0
		local mirror source fresh=$dir.new suite
		suite=$(root_suite "$host")
		if [ -n "${CLACKERY_DEBIAN_MIRROR:-}" ]; then
			mirror=$CLACKERY_DEBIAN_MIRROR source=CLACKERY_DEBIAN_MIRROR
		else
			read -r mirror source < <(debian_mirror /etc/apt) || {
				echo "no Debian mirror found in /etc/apt/sources.list.d/*.sources or /etc/apt/sources.list;" \
					"set CLACKERY_DEBIAN_MIRROR (for example http://deb.debian.org/debian)" >&2
				exit 1
			}
		fi
		say "making the $(root_label "$host") root in $dir from $mirror (from $source)"
		# Mounts made in the root are private to their commands, so nothing is mounted here now.
		rm -rf --one-file-system "$fresh"
		# shellcheck disable=SC2046
		debootstrap --variant=minbase "$suite" "$fresh" "$mirror" $(root_debootstrap_script "$host") >"$dir.log" 2>&1 ||
			{ tail -n 20 "$dir.log" >&2; exit 1; }
		# shellcheck disable=SC2016
		in_root_at "$fresh" sh -c 'opts=$1; shift; apt-get $opts update -qq &&
			DEBIAN_FRONTEND=noninteractive apt-get $opts install -y -qq --no-install-recommends "$@" >/dev/null' \
			sh "$(root_apt_options "$host")" "${ROOT_PACKAGES[@]}"
		root_record_versions "$fresh"
		echo "$want" >"$fresh/.clackery-stamp"
		rm -rf --one-file-system "$dir"
		mv "$fresh" "$dir"
	) 9>"$dir.lock"
}

# The module with Qt 6 against the host's OBS, its data, and the given further targets, built in
# the root into build-HOST of the clone; sets ROOT_BUILD_DIR.
root_build() {
	local host=$1 clone
	shift
	clone=$(root_clone)
	ROOT_BUILD_DIR=$clone/build-$host
	say "building with Qt 6 against $host in $ROOT_BUILD_DIR"
	in_root "$host" cmake -S "$clone" -B "$ROOT_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCLACKERY_QT_MAJOR=6 -DCLACKERY_BUILD_TESTS=ON -DCLACKERY_BUILD_BENCH=OFF >/dev/null
	in_root "$host" cmake --build "$ROOT_BUILD_DIR" -j"$(nproc)" --target clackery clackery_data clackery_sound_data "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
	set -euo pipefail
	host=${1:?usage: $0 HOST COMMAND [ARGS...]}
	shift
	root_known "$host"
	dir=$(root_dir "$host")
	clone=$(root_clone)
	mkdir -p "$dir$clone"
	exec unshare -m sh -c "$ROOT_ENTER" sh "$dir" "$clone" "$(root_workdir "$clone")" "$@"
fi
