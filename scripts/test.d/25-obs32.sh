# shellcheck shell=bash
# The host streamers run today, Debian testing's OBS 32 with Qt 6.11 and GCC 16, in a root of its
# own (scripts/lib/host_root.sh): the module built there, every host test against that OBS, and
# its .deb installed, loaded from the system plug-in folder and removed. Testing changes every
# day: the log shows the versions the root got.
source "$ROOT/scripts/lib/host_stage.sh"
root_stage_build obs32
mapfile -t obs32_tests < <(all_host_tests)
root_host_tests obs32 "${obs32_tests[@]}"
root_package obs32
