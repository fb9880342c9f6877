#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine, in a private prefix that belongs to the
# build folder: wine-run.sh <prefix dir> <program.exe> [args...]. The prefix is created once
# (about 16 s), under a lock so that tests started in parallel wait for it instead of racing.
set -euo pipefail

prefix=$1
shift

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko prompts and no desktop menu entries in a throw-away prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# With a display Wine maps right Ctrl wrongly; the hook works without one.
unset DISPLAY WAYLAND_DISPLAY
# Tests of windows and focus bring a display of their own.
if [ -n "${CLACKERY_WINE_DISPLAY:-}" ]; then export DISPLAY=$CLACKERY_WINE_DISPLAY; fi

mkdir -p "$(dirname "$prefix")"
(
	flock 9
	if [ ! -f "$prefix/.clackery-ready" ]; then
		wineboot --init >/dev/null 2>&1
		wineserver -w
		touch "$prefix/.clackery-ready"
	fi
) 9>"$prefix.lock"

exec wine "$@"
