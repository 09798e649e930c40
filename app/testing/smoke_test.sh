#!/usr/bin/env bash
# End-to-end: the real program on a real (virtual) X display. The window
# "Quillora" appears with a 507 x 339 client area and fixed size hints, and
# a click on "Exit" ends the program with exit code 0. Also checks that the
# help file lies beside the program.
# Usage: smoke_test.sh PATH/TO/quillora
set -euo pipefail

program="$1"
if [ -z "${QUILLORA_SMOKE_INNER:-}" ]; then
  chm="$(dirname "$program")/help.chm"
  [ "$(head -c 4 "$chm")" = "ITSF" ] || { echo "no compiled help file at $chm"; exit 1; }
  export QUILLORA_SMOKE_INNER=1
  exec xvfb-run -a -s '-screen 0 1024x768x24' "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# Wait for the window to be mapped (bounded, so a broken start fails instead of hanging).
wid=""
for _ in $(seq 1 300); do
  wid="$(xdotool search --onlyvisible --name '^Quillora$' 2>/dev/null | head -n1 || true)"
  [ -n "$wid" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "quillora ended before showing its window"; exit 1; }
  sleep 0.1
done
[ -n "$wid" ] || { echo "no window titled Quillora"; exit 1; }

info="$(xwininfo -id "$wid")"
width="$(awk '/^  Width:/ {print $2}' <<<"$info")"
height="$(awk '/^  Height:/ {print $2}' <<<"$info")"
echo "window $wid: ${width}x${height}"
[ "$width" = 507 ] && [ "$height" = 339 ] || { echo "client area is ${width}x${height}, not 507x339"; exit 1; }

hints="$(xprop -id "$wid" WM_NORMAL_HINTS)"
echo "$hints"
grep -q "minimum size: 507 by 339" <<<"$hints" || { echo "no fixed minimum size"; exit 1; }
grep -q "maximum size: 507 by 339" <<<"$hints" || { echo "no fixed maximum size"; exit 1; }

# "Exit" is 80 x 27 at (416, 304) of the client area: click its middle.
xdotool mousemove --window "$wid" 456 317 click 1

status=0
wait "$pid" || status=$?
trap - EXIT
echo "exit code $status"
[ "$status" -eq 0 ]
