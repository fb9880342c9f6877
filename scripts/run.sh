#!/usr/bin/env bash
# The main job on a fresh Debian 12 machine: installs what is needed, builds, installs the
# module into a user plug-in folder and starts OBS Studio with it. With a display OBS opens
# normally. Without one it runs under Xvfb in a private home: a real obs-websocket client
# resumes capture from the dock, xdotool types a short demo on that display, the overlay page
# follows in Chromium (and stays open against OBS), and the received events and two
# screenshots (the page, the OBS window with the dock) are shown. OBS keeps running until you
# stop it (Ctrl+C); `--once` stops after the demo.
# `--obs30` and `--obs32` run the same under Debian 13's OBS 30 or Debian testing's OBS 32, with
# Qt 6, in the roots that the test command uses (made on first use, scripts/lib/host_root.sh),
# always in the private home under Xvfb.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ONCE=0
HOST=
for arg in "$@"; do
	case $arg in
	--once) ONCE=1 ;;
	--obs30 | --obs32) HOST=${arg#--} ;;
	*) echo "usage: $0 [--once] [--obs30 | --obs32]" >&2; exit 2 ;;
	esac
done

ensure_packages "${RUN_PACKAGES[@]}" chromium fonts-noto-cjk fonts-noto-color-emoji
ensure_node
if [ -n "$HOST" ]; then
	source "$ROOT/scripts/lib/host_root.sh"
	ensure_root "$HOST"
	root_build "$HOST"
	# The root sees only /tmp and the clone of this machine's files.
	install_module() { in_root "$HOST" cmake --install "$ROOT_BUILD_DIR" --prefix "$1" >/dev/null; }
	OBS_COMMAND=(bash "$ROOT/scripts/lib/host_root.sh" "$HOST" obs)
else
	build_module
	install_module() { cmake --install "$BUILD_DIR" --prefix "$1" >/dev/null; }
	OBS_COMMAND=(obs)
fi

if [ -z "$HOST" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
	say "installing into $HOME/.config/obs-studio/plugins/clackery"
	install_module "$HOME/.config/obs-studio/plugins/clackery"
	say "starting OBS; the log is in $HOME/.config/obs-studio/logs/"
	echo "  add the overlay with the dock's button 「いまのシーンに Clackery を置く」 (needs obs-browser)"
	exec obs
fi

RUN_DIR=${CLACKERY_RUN_DIR:-/tmp/clackery-run}
case $RUN_DIR in
/tmp/*) ;;
*) [ -z "$HOST" ] || { echo "with --$HOST the run folder must be in /tmp (got $RUN_DIR)" >&2; exit 2; } ;;
esac
PORT=${CLACKERY_WEBSOCKET_PORT:-4455}
HOME_DIR=$RUN_DIR/home
LOG=$RUN_DIR/obs.log
SHOT=$RUN_DIR/obs-window.png
PAGE=$HOME_DIR/.config/obs-studio/plugins/clackery/data/overlay/overlay.html
mkdir -p "$HOME_DIR/.config/obs-studio" "$RUN_DIR/xdg"
chmod 700 "$RUN_DIR/xdg"
rm -f "$LOG" "$SHOT" "$RUN_DIR/obs-capture.png"

say "no display: private home $HOME_DIR under Xvfb"
install_module "$HOME_DIR/.config/obs-studio/plugins/clackery"
cat >"$HOME_DIR/.config/obs-studio/global.ini" <<INI
[General]
FirstRun=true

[OBSWebSocket]
FirstLoad=false
ServerEnabled=true
AuthRequired=false
ServerPort=$PORT
INI
# OBS 31 and later read the first-run mark from here; without it their set-up wizard opens.
[ -e "$HOME_DIR/.config/obs-studio/user.ini" ] || printf '[General]\nFirstRun=true\n' >"$HOME_DIR/.config/obs-studio/user.ini"

# Xvfb and OBS in sessions of their own: Ctrl+C reaches this script's whole process group, and
# a display that dies under OBS while it saves and shuts down would spoil its shutdown. They
# are stopped in order by stop_all.
# The screen is two screens wide: OBS on the left half, the page's window on the right when
# the demo shows it as a window (as on a streamer's second monitor).
exec 3< <(exec setsid Xvfb -displayfd 1 -screen 0 3840x1080x24 -nolisten tcp +extension GLX 2>"$RUN_DIR/xvfb.log")
XVFB_PID=$!
read -r DISPLAY_NUMBER <&3
export DISPLAY=:$DISPLAY_NUMBER

# The module captures the keys of this display for real; xdotool types the demo on it as a
# person would. The test requests (test hooks alone keep the real capture) let the demo show
# the dock and press its buttons.
env HOME="$HOME_DIR" XDG_CONFIG_HOME="$HOME_DIR/.config" XDG_RUNTIME_DIR="$RUN_DIR/xdg" QT_QPA_PLATFORM=xcb \
	CLACKERY_TEST_HOOKS=1 \
	setsid "${OBS_COMMAND[@]}" --multi --disable-updater --disable-missing-files-check --websocket_port "$PORT" >"$LOG" 2>&1 &
OBS_PID=$!

DEMO_PID=
stop_all() {
	trap - INT TERM EXIT
	if [ -n "$DEMO_PID" ]; then
		kill -TERM "$DEMO_PID" 2>/dev/null || true
		wait "$DEMO_PID" 2>/dev/null || true
	fi
	if kill -0 "$OBS_PID" 2>/dev/null; then
		kill -INT "$OBS_PID" 2>/dev/null || true
		for _ in $(seq 1 100); do kill -0 "$OBS_PID" 2>/dev/null || break; sleep 0.1; done
		kill -KILL "$OBS_PID" 2>/dev/null || true
	fi
	kill "$XVFB_PID" 2>/dev/null || true
}
trap stop_all INT TERM EXIT

# Wait for our module's load line and for the main window to be mapped.
for _ in $(seq 1 600); do
	grep -q '\[clackery\] plugin loaded' "$LOG" 2>/dev/null && xwininfo -root -tree 2>/dev/null | grep -q 'OBS ' && break
	kill -0 "$OBS_PID" 2>/dev/null || { cat "$LOG"; echo "OBS ended during start-up" >&2; exit 1; }
	sleep 0.1
done
grep -q '\[clackery\] plugin loaded' "$LOG" || { echo "the module did not load; see $LOG" >&2; exit 1; }
# The demo gives OBS's main window the left half of the screen.

say "OBS is running with Clackery (display $DISPLAY, obs-websocket on port $PORT); the demo:"
demo=(node scripts/lib/demo.mjs --port "$PORT" --page "$PAGE" --out "$RUN_DIR" --display "$DISPLAY")
if [ "$ONCE" -eq 1 ]; then
	(cd "$ROOT" && "${demo[@]}")
else
	# The page stays open against OBS after the demo, until OBS is stopped.
	rm -f "$RUN_DIR/demo-done"
	(cd "$ROOT" && exec "${demo[@]}" --keep-open) &
	DEMO_PID=$!
	until [ -e "$RUN_DIR/demo-done" ]; do
		kill -0 "$DEMO_PID" 2>/dev/null || { echo "the demo failed" >&2; exit 1; }
		sleep 0.2
	done
fi
# The demo took the OBS window's picture while keys were held, the dock repainted.
grep '\[clackery\]' "$LOG" | sed 's/^/  /'
echo "  log:        $LOG"
echo "  OBS window: $SHOT"
[ ! -e "$RUN_DIR/obs-capture.png" ] || echo "  the page as OBS captures it: $RUN_DIR/obs-capture.png"

if [ "$ONCE" -eq 1 ]; then
	exit 0
fi
echo "  press Ctrl+C to stop"
wait "$OBS_PID"
