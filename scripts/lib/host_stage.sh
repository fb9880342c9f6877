# What the test stages of the hosts in roots share (scripts/lib/host_root.sh): the module built
# and its dock tests run in the root, host tests from this machine's harness against that OBS,
# and a package installed, loaded and removed.
# shellcheck shell=bash
source "$ROOT/scripts/lib/host_root.sh"

# Makes the host's root if needed, prints what it holds, builds there and runs the dock's unit
# tests; sets ROOT_BUILD_DIR.
root_stage_build() {
	local host=$1
	ensure_packages dpkg-dev
	ensure_root "$host"
	say "$host root $(root_dir "$host"):"
	root_versions "$host" | sed 's/^/   /'
	root_build "$host" clackery_test_companion clackery_version_probe dock_panel_test dock_text_input_test \
		dock_geometry_test dock_host_test
	in_root "$host" ctest --test-dir "$ROOT_BUILD_DIR" -L unit -R '^dock_' --output-on-failure
}

# Host test files (names in tests/host, without .test.mjs) against the host's OBS.
root_host_tests() {
	local host=$1 files=() name
	shift
	for name in "$@"; do files+=("tests/host/$name.test.mjs"); done
	say "host tests against $host: $*"
	# The root sees this machine's /tmp, where the tests make their private folders. The hostile
	# load runs shorter here: its 20 s on OBS 29 already cover the module's own code.
	(cd "$ROOT" && CLACKERY_HOST=$host TMPDIR=/tmp CLACKERY_HOSTILE_SECONDS=${CLACKERY_HOSTILE_SECONDS:-8} \
		CLACKERY_MODULE="$ROOT_BUILD_DIR/src/core/clackery.so" \
		CLACKERY_COMPANION="$ROOT_BUILD_DIR/tests/companion/clackery_test_companion.so" \
		CLACKERY_VERSION_PROBE="$ROOT_BUILD_DIR/tests/host/clackery_version_probe" \
		CLACKERY_DATA_DIR="$ROOT_BUILD_DIR/data" node --test --test-concurrency=1 --test-timeout=600000 "${files[@]}")
}

# Every host test file, by name.
all_host_tests() {
	local file
	for file in "$ROOT"/tests/host/*.test.mjs; do basename "$file" .test.mjs; done
}

# Installs the package with `run` (a command prefix: empty for this machine, in_root HOST for a
# root), has OBS load it from there, removes it and checks that none of its files is left.
# `where` is the host's file system as seen from here.
check_package() {
	local host=$1 deb=$2 where=$3
	shift 3
	local run=("$@") files file
	say "package $(basename "$deb") in $host"
	mkdir -p /var/cache/clackery
	(
		flock 9
		"${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
			--no-install-recommends "$deb" >/dev/null
		files=$("${run[@]}" dpkg-query -L clackery)
		trap '"${run[@]}" dpkg -r clackery >/dev/null' EXIT
		(cd "$ROOT" && CLACKERY_HOST=$host TMPDIR=/tmp node --test tests/host/installed_package.mjs)
		trap - EXIT
		"${run[@]}" dpkg -r clackery >/dev/null
		# Shared folders (/usr/lib/...) stay; every path of ours names clackery.
		while read -r file; do
			case $file in
			*clackery*) [ ! -e "$where$file" ] || { echo "removing the package left $file" >&2; exit 1; } ;;
			esac
		done <<<"$files"
	) 9>/var/cache/clackery/package.lock
}

# The host's own package, built in its root and checked there.
root_package() {
	local host=$1 deb
	in_root "$host" sh -c "cd '$ROOT_BUILD_DIR' && cpack >/dev/null"
	deb=$(ls "$ROOT_BUILD_DIR"/package/clackery_*_"$host"_amd64.deb)
	check_package "$host" "$deb" "$(root_dir "$host")" in_root "$host"
}
