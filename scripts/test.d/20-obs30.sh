# The second host, Debian 13's OBS 30 with Qt 6, in a root of its own (scripts/lib/obs30_root.sh):
# the module, the test companion and the dock's unit tests built there with Qt 6; the host tests
# run against that OBS, from the same harness as for OBS 29; then each host's .deb is installed
# into its host, loaded by OBS from the system plug-in folder, and removed again.
source "$ROOT/scripts/lib/obs30_root.sh"
ensure_packages dpkg-dev
ensure_obs30_root
obs30_build clackery_test_companion dock_panel_test dock_text_input_test dock_geometry_test dock_host_test
in_obs30_root ctest --test-dir "$OBS30_BUILD_DIR" -L unit -R '^dock_' --output-on-failure

say "host tests against OBS 30"
# The root sees this machine's /tmp, where the tests make their private folders. The hostile
# load runs shorter here: its 20 s on OBS 29 already cover the module's own code.
(cd "$ROOT" && CLACKERY_HOST=obs30 TMPDIR=/tmp CLACKERY_HOSTILE_SECONDS=${CLACKERY_HOSTILE_SECONDS:-8} CLACKERY_MODULE="$OBS30_BUILD_DIR/src/core/clackery.so" \
	CLACKERY_COMPANION="$OBS30_BUILD_DIR/tests/companion/clackery_test_companion.so" \
	CLACKERY_DATA_DIR="$OBS30_BUILD_DIR/data" node --test --test-concurrency=1 tests/host/*.test.mjs)

# Installs the package with `run` (a command prefix: empty for this machine, in_obs30_root for
# the root), has OBS load it from there, removes it and checks that none of its files is left.
# `where` is the host's file system as seen from here.
check_package() {
	local host=$1 deb=$2 where=$3
	shift 3
	local run=("$@") files file
	say "package $(basename "$deb") in $host"
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
	) 9>"$(dirname "$OBS30_ROOT")/package.lock"
}

(cd "$BUILD_DIR" && cpack >/dev/null)
check_package obs29 "$BUILD_DIR/package/clackery_0.1.0_obs29_amd64.deb" ""
in_obs30_root sh -c "cd '$OBS30_BUILD_DIR' && cpack >/dev/null"
check_package obs30 "$OBS30_BUILD_DIR/package/clackery_0.1.0_obs30_amd64.deb" "$OBS30_ROOT" in_obs30_root
