# The README's run command itself, once, in a private folder: it must build, start OBS with the
# module, run the demo and save its pictures (the page, OBS with the page captured in its
# preview, and that capture as OBS renders it).
run_dir=$(mktemp -d /tmp/clackery-run-check.XXXXXX)
CLACKERY_RUN_DIR=$run_dir CLACKERY_WEBSOCKET_PORT=$((20000 + RANDOM % 20000)) DISPLAY= bash "$ROOT/scripts/run.sh" --once
for picture in overlay-page.png obs-window.png obs-capture.png; do
	[ -s "$run_dir/$picture" ] || { echo "the run command saved no $picture" >&2; exit 1; }
done
rm -rf "$run_dir"
