#!/usr/bin/env bash
# Drags files from a real file manager onto the real program, the way a
# person does it: a mouse press on the file's icon, a move across the screen
# with the button held, a release over the window. Everything runs on a
# private X display with a window manager; the desktop's own drag protocol
# carries the files, nothing is sent to the window directly.
#
#   app/testing/real_drag.sh build/bin/quillora [folder for the screenshots]
#
# 1. A file dragged onto the list page gets its row and digest (screenshot).
# 2. A folder dragged onto the folder box of the maker page becomes the
#    folder to make the check file for; pressing "Make check file" writes
#    its CheckSum.md5, which the script checks.
# 3. A double click on that CheckSum.md5 in the file manager starts the
#    program through its desktop entry and check file type (set up in the
#    private home as the package installs them) with the file's path; the
#    window opens on the verifier page with it and verifies it at once
#    (screenshot).
#
# Needs xvfb, openbox, pcmanfm, xdotool, imagemagick, shared-mime-info and
# desktop-file-utils (not part of
# scripts/deps: this is a look at the window by hand, not a ctest test).
# Exits 0 when the check file is right, 1 when not, 77 when a tool is missing.
set -euo pipefail

program=$(realpath "$1")
shots=$(realpath -m "${2:-real-drag-shots}")

if [ -z "${REAL_DRAG_INNER:-}" ]; then
  for tool in xvfb-run openbox pcmanfm xdotool import update-mime-database update-desktop-database; do
    command -v "$tool" >/dev/null || { echo "real_drag: $tool is missing" >&2; exit 77; }
  done
  mkdir -p "$shots"
  REAL_DRAG_INNER=1 exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$program" "$shots"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The file manager keeps its settings in a home of its own.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# The desktop entry and the check file type, as the package installs them,
# with the program under test in the entry.
generated=$(cd "$(dirname "$program")/.." && pwd)/packaging/file-manager
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_DATA_HOME/mime/packages"
sed "s|^Exec=quillora |Exec=$program |" "$generated/quillora.desktop" \
  >"$XDG_DATA_HOME/applications/quillora.desktop"
cp "$generated/quillora.xml" "$XDG_DATA_HOME/mime/packages/quillora.xml"
update-mime-database "$XDG_DATA_HOME/mime" >/dev/null 2>&1
update-desktop-database "$XDG_DATA_HOME/applications"
# Each drag source shows one item, so it sits at the first icon place.
mkdir -p "$work/one-file" "$work/one-folder/sub"
printf 'abc' >"$work/one-file/abc.txt"
printf 'a' >"$work/one-folder/sub/a.txt"

openbox >/dev/null 2>&1 & pids+=($!)
sleep 1

"$program" >"$work/quillora.log" 2>&1 & pids+=($!)
quillora=$(xdotool search --sync --onlyvisible --name '^Quillora$' | head -1)
xdotool windowmove "$quillora" 700 200
sleep 1

# Shows folder in a file manager window at the top left; sets sx and sy to
# the screen point of its first icon. A new window each time, not a tab: a
# tab bar would push the icons down.
file_manager_at() {
  local folder=$1 name window
  name=$(basename "$folder")
  pcmanfm --new-win "$folder" >/dev/null 2>&1 & pids+=($!)
  window=$(xdotool search --sync --onlyvisible --name "^$name\$" | head -1)
  xdotool windowsize "$window" 560 480 windowmove "$window" 10 10 windowactivate "$window"
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  sx=$((X + 207)) sy=$((Y + 77))
}

# Presses at the source, moves in steps with the button held, releases at
# the target.
drag() {
  local x0=$1 y0=$2 x1=$3 y1=$4 shot=$5 i
  xdotool mousemove "$x0" "$y0" && sleep 0.3
  xdotool mousedown 1 && sleep 0.3
  for i in $(seq 1 30); do
    xdotool mousemove $((x0 + (x1 - x0) * i / 30)) $((y0 + (y1 - y0) * i / 30))
    sleep 0.03
  done
  sleep 0.5
  import -window root "$shots/$shot-dragging.png"
  xdotool mouseup 1
  sleep 1.5
  import -window root "$shots/$shot-dropped.png"
}

# Window-relative points of the controls (the window's fixed layout).
eval "$(xdotool getwindowgeometry --shell "$quillora")"
qx=$X qy=$Y
echo "real_drag: the window is at $qx,$qy"
list_x=$((qx + 250)) list_y=$((qy + 150))
maker_tab_x=$((qx + 211)) maker_tab_y=$((qy + 55))
folder_box_x=$((qx + 251)) folder_box_y=$((qy + 86))
make_x=$((qx + 67)) make_y=$((qy + 114))

file_manager_at "$work/one-file"
drag "$sx" "$sy" "$list_x" "$list_y" 1-file-on-list

xdotool mousemove "$maker_tab_x" "$maker_tab_y" click 1
file_manager_at "$work/one-folder"
drag "$sx" "$sy" "$folder_box_x" "$folder_box_y" 2-folder-on-folder-box
xdotool mousemove "$make_x" "$make_y" click 1
sleep 1.5
import -window root "$shots/3-made.png"

expected=$(printf '0cc175b9c0f1b6a831c399e269772661\ta.txt\r')
if ! [ -f "$work/one-folder/sub/CheckSum.md5" ] || ! grep -qF "$expected" "$work/one-folder/sub/CheckSum.md5"; then
  echo "real_drag: no right check file in the dropped folder; see the screenshots in $shots" >&2
  exit 1
fi
echo "real_drag: the dropped folder's check file was made"

# A double click on the check file starts a second Quillora with its path.
mkdir -p "$work/check-file"
mv "$work/one-folder/sub/CheckSum.md5" "$work/check-file/"
xdotool windowminimize "$quillora"
file_manager_at "$work/check-file"
xdotool mousemove "$sx" "$sy" click --repeat 2 --delay 100 1
second=""
for _ in $(seq 1 50); do
  second=$(xdotool search --onlyvisible --name '^Quillora$' | grep -vx "$quillora" | head -1 || true)
  [ -n "$second" ] && break
  sleep 0.2
done
[ -n "$second" ] || { echo "real_drag: a double click on CheckSum.md5 started no Quillora" >&2; exit 1; }
xdotool windowmove "$second" 600 150 windowactivate "$second"
sleep 1.5
import -window root "$shots/4-check-file-opened.png"
pid=$(xdotool getwindowpid "$second")
pids+=("$pid")
if ! tr '\0' '\n' <"/proc/$pid/cmdline" | grep -qx "$work/check-file/CheckSum.md5"; then
  echo "real_drag: Quillora was not started with the check file's path" >&2
  exit 1
fi
echo "real_drag: a double click on CheckSum.md5 opened it in Quillora; screenshots in $shots"
