#!/usr/bin/env bash
# Usage: dialog_xvfb_test.sh KESTREL KESTREL_CLI SCREENSHOT_DIR
#
# Drives the real Kestrel window as a user would, on a virtual X screen
# (Xvfb) under a window manager (openbox), with xdotool's keystrokes and
# pointer moves: fills the fields over two generated worlds, shows the map
# views side by side, presses Copy Map with Alt+M and quits with Alt+Q. The
# destination map must then be byte for byte what `kestrel-cli copy-map`
# makes of a second copy with the same numbers. Screenshots of the window
# (ImageMagick's import) go to SCREENSHOT_DIR and are checked: the map views
# show maps, and the status line below them shows the pointed cell clear of
# the window's bottom edge.
#
# Exits 77 (skipped) when one of the X programs is missing; every other
# problem fails.
set -uo pipefail

kestrel=$(realpath "$1")
cli=$(realpath "$2")
shots=$(realpath -m "$3")

# program:Debian package
for tool in Xvfb:xvfb openbox:openbox xdotool:xdotool import:imagemagick \
            identify:imagemagick compare:imagemagick; do
    if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
        echo "Skipped: ${tool%%:*} is not installed (Debian package ${tool#*:}, which scripts/install-deps installs)."
        exit 77
    fi
done

scratch=$(mktemp -d)
xvfb_pid="" openbox_pid="" kestrel_pid=""
cleanup() {
    for pid in "$kestrel_pid" "$openbox_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
        fi
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*"
    if [ -n "${DISPLAY:-}" ]; then
        import -window root "$shots/failure.png" 2>/dev/null &&
            echo "The screen at the failure: $shots/failure.png"
    fi
    if [ -s "$scratch/kestrel.log" ]; then
        echo "Kestrel's output:"
        cat "$scratch/kestrel.log"
    fi
    exit 1
}

# Runs the command given until it succeeds, every 0.2 s for at most SECONDS.
wait_for() {
    local seconds=$1
    shift
    local tries=$((seconds * 5))
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.2
    done
}

quietly() {
    "$@" >/dev/null 2>&1
}

mkdir -p "$shots"
rm -f "$shots"/*.png

# Two different Ilshenar-sized worlds: one to copy from, one to copy into,
# and a second copy of the destination for the command line.
source_world=$scratch/source
dest_world=$scratch/dest
cli_world=$scratch/cli
"$cli" make-sample "$source_world" --facet 2 --seed 1 >/dev/null || fail "make-sample failed"
"$cli" make-sample "$dest_world" --facet 2 --seed 7 >/dev/null || fail "make-sample failed"
mkdir -p "$cli_world"
cp "$dest_world/map2.mul" "$cli_world/map2.mul"
cp "$dest_world/map2.mul" "$scratch/original-map2.mul"

# Everything the programs remember stays in the scratch directory.
export HOME=$scratch/home
export XDG_CONFIG_HOME=$scratch/home/.config
export XDG_STATE_HOME=$scratch/home/.local/state
export XDG_CACHE_HOME=$scratch/home/.cache
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY

# Xvfb picks a free display itself and names it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" \
    >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 15 test -s "$scratch/display" || fail "Xvfb did not start: $(cat "$scratch/xvfb.log")"
DISPLAY=:$(head -n 1 "$scratch/display")
export DISPLAY

openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
openbox_pid=$!
# The desktops are there once openbox manages the screen.
wait_for 15 quietly xdotool get_num_desktops || fail "openbox did not start: $(cat "$scratch/openbox.log")"

(cd "$scratch" && exec env QT_QPA_PLATFORM=xcb "$kestrel") >"$scratch/kestrel.log" 2>&1 &
kestrel_pid=$!
window=""
find_window() {
    kill -0 "$kestrel_pid" 2>/dev/null || fail "Kestrel ended before showing its window"
    window=$(xdotool search --onlyvisible --name '^Kestrel$' | head -n 1)
    [ -n "$window" ]
}
wait_for 30 find_window
[ -n "$window" ] || fail "no Kestrel window appeared"
xdotool windowactivate --sync "$window" || fail "the Kestrel window could not be activated"

# The window's own size, from the X server.
geometry=$(xdotool getwindowgeometry --shell "$window")
width=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
height=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
echo "Kestrel's window: ${width}x${height}"
# The form and the map views beside it, within 90% of the 1280 x 800 screen.
{ [ "$width" -ge 900 ] && [ "$width" -le 1152 ] && [ "$height" -ge 400 ] &&
  [ "$height" -le 720 ]; } || fail "the window is ${width}x${height}"

shot() {
    import -window "$window" "$shots/$1.png" || fail "cannot take the screenshot $1"
    local size
    size=$(identify -format '%wx%h' "$shots/$1.png")
    [ "$size" = "${width}x${height}" ] || fail "$1.png is $size, the window ${width}x${height}"
}
# The middle of the map views, in window pixels: the views fill the window's
# right part beside the form, and both halves show a map side by side.
region_w=$((width * 40 / 100)) region_h=$((height * 30 / 100))
views_region="${region_w}x${region_h}+$((width * 55 / 100))+$((height * 35 / 100))"

# Opened with the defaults, whose files do not exist: the views say so.
xdotool key --clearmodifiers alt+b
sleep 0.5
shot opened

# Each field takes the focus in tab order with its text selected; typing
# replaces it. The order: StaIdx0.mul, Statics0.mul, Map0.mul (source),
# Items.wsc, Map0.mul (destination), Min. X, Min. Y, Max. X, Max. Y, Off X,
# Off Y, Off Z.
fields=("$source_world/staidx2.mul" "$source_world/statics2.mul" "$source_world/map2.mul"
        "$scratch/items.wsc" "$dest_world/map2.mul"
        600 500 1000 800 1500 1000 -3)
for text in "${fields[@]}"; do
    xdotool key --clearmodifiers ctrl+a || fail "xdotool key failed"
    xdotool type --delay 4 -- "$text" || fail "xdotool type failed"
    xdotool key --clearmodifiers Tab
done

# The views read the maps a moment after the paths settle: wait until the
# views' middle shows many colours where it had a message on a flat grey.
colours() { identify -format '%k' "$1[$views_region]"; }
opened_colours=$(colours "$shots/opened.png")
views_drawn() {
    shot filled
    [ "$(colours "$shots/filled.png")" -gt 500 ]
}
wait_for 30 views_drawn || fail "the map views show no map (colours: $(colours "$shots/filled.png"), $opened_colours before)"
# Drawing may still be finishing: a last look once it settles.
sleep 1
shot filled
filled_colours=$(colours "$shots/filled.png")
changed=$(compare -metric AE "$shots/opened.png[$views_region]" "$shots/filled.png[$views_region]" \
          null: 2>&1 >/dev/null)
changed=$(printf '%.0f' "$changed") || fail "compare said '$changed'"
region_pixels=$((region_w * region_h))
echo "Map views' middle: $opened_colours colours with no map, $filled_colours with the maps; $changed of $region_pixels pixels changed"
[ "$opened_colours" -lt 300 ] || fail "the views showed $opened_colours colours with no map"
[ "$((changed * 2))" -gt "$region_pixels" ] || fail "only $changed of $region_pixels pixels changed"

# The status line: the pointer over the source view names the cell under it.
# The text appears below the views, whole and clear of the window's edge.
xdotool mousemove --window "$window" 0 0
sleep 0.3
shot before-pointing
xdotool mousemove --window "$window" "$((width * 62 / 100))" "$((height / 2))"
sleep 0.5
shot pointing
compare -highlight-color white -lowlight-color black -compose src \
    "$shots/before-pointing.png" "$shots/pointing.png" "$scratch/pointing-diff.png" 2>/dev/null
status_box=$(identify -format '%@' "$scratch/pointing-diff.png")
echo "What the pointer changed: $status_box"
if [[ ! $status_box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
    fail "pointing at the map changed nothing"
fi
box_w=${BASH_REMATCH[1]} box_h=${BASH_REMATCH[2]} box_x=${BASH_REMATCH[3]} box_y=${BASH_REMATCH[4]}
# One line of text: as tall as its glyphs, a few words wide, below the
# views' middle, and a margin away from the bottom edge.
{ [ "$box_h" -ge 7 ] && [ "$box_h" -le 30 ]; } || fail "the status line's text is $box_h pixels tall"
[ "$box_w" -ge 100 ] || fail "the status line's text is $box_w pixels wide"
[ "$box_x" -ge "$((width / 2))" ] || fail "the status line starts at x $box_x, left of the views"
[ "$box_y" -ge "$((height * 70 / 100))" ] || fail "the status line is at y $box_y, not below the views"
[ "$((box_y + box_h))" -le "$((height - 8))" ] ||
    fail "the status line's text ends at y $((box_y + box_h)), at the window's bottom edge ($height)"

# Copy Map, as the command line does it with the same numbers.
"$cli" copy-map --source-map "$source_world/map2.mul" --dest-map "$cli_world/map2.mul" \
    --min-x 600 --min-y 500 --max-x 1000 --max-y 800 --off-x 1500 --off-y 1000 --off-z=-3 \
    >/dev/null || fail "kestrel-cli copy-map failed"
cmp -s "$cli_world/map2.mul" "$scratch/original-map2.mul" &&
    fail "kestrel-cli copy-map left the destination as it was"

xdotool key --clearmodifiers alt+m
wait_for 20 cmp -s "$dest_world/map2.mul" "$cli_world/map2.mul" ||
    fail "after Copy Map the destination differs from kestrel-cli's copy ($(cmp "$dest_world/map2.mul" "$cli_world/map2.mul" 2>&1))"
echo "Copy Map wrote the same bytes as kestrel-cli copy-map"
sleep 0.5
shot copied

# Alt+Q quits, and the program ends with status 0. Until it is waited for,
# an ended child stays as a zombie ("Z").
ended() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 0
    [[ $state == Z* ]]
}
xdotool key --clearmodifiers alt+q
wait_for 10 ended "$kestrel_pid" || fail "Kestrel still runs after Alt+Q"
wait "$kestrel_pid"
status=$?
kestrel_pid=""
[ "$status" -eq 0 ] || fail "Kestrel ended with status $status"
echo "Kestrel quit with status 0; screenshots in $shots"
