# shellcheck shell=bash
# The second host, Debian 13's OBS 30 with Qt 6, in a root of its own (scripts/lib/host_root.sh):
# the module, the test companion and the dock's unit tests built there with Qt 6; the host tests
# that concern what differs between hosts run against that OBS (load and exit, the vendor
# requests, keys, the dock with input-method text, the declared version; OBS 29 and OBS 32 run
# them all), then its .deb is installed, loaded by OBS from the system plug-in folder and removed.
source "$ROOT/scripts/lib/host_stage.sh"
root_stage_build obs30
read -r -a obs30_tests <<<"${CLACKERY_OBS30_TESTS:-lifecycle requests keys dock module_version}"
root_host_tests obs30 "${obs30_tests[@]}"
root_package obs30
