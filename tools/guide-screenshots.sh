#!/usr/bin/env bash
# Remakes the screenshots of the user guide (docs/guia/*.png) from a generated sample
# directory, driving the program under a private X server as a user would.
#   tools/guide-screenshots.sh [BUILD_DIR]      (default: build; needs zemparol and gensample)
# Uses Xvfb, xdotool and ImageMagick (tools/packages.sh installs them). The window sits at
# its designed size, so the clicks below name places in it (pixels at 96 dpi).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$PWD/docs/guia
program=$build/src/zemparol
for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "guide-screenshots: $tool is missing (tools/packages.sh)" >&2; exit 1; }
done
[ -x "$program" ] && [ -x "$build/tools/gensample" ] \
    || { echo "guide-screenshots: build zemparol and gensample in $build first" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid='' program_pid=''
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A fresh user: nothing remembered, no cache, the sample directory of the tests.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$build/tools/gensample" "$work/directorio" >/dev/null
mkdir -p "$work/vacia" "$out"

display=$((100 + RANDOM % 200))
Xvfb ":$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

window=''
# start FOLDER TITLE: starts the program in FOLDER and waits for a window named TITLE.
start() {
    (cd "$1" && exec "$program") >/dev/null 2>&1 &
    program_pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$2\$" | head -1)
    xdotool windowfocus --sync "$window"
    sleep 0.5
}
stop() {
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null || true
    program_pid=''
}
# The window that shows TITLE, waited for.
find_window() { timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | tail -1; }
at() { xdotool mousemove --window "$window" "$1" "$2"; }
click() { at "$1" "$2" && xdotool click "${3:-1}" && sleep 0.4; }
double_click() { at "$1" "$2" && xdotool click --repeat 2 --delay 80 1 && sleep 1; }
typed() { xdotool type --delay 40 "$1" && sleep 0.2; }
key() { xdotool key "$@" && sleep 0.5; }
# shot NAME: the screen as it is, cut to what is drawn on it (the windows and menus). The
# pointer is parked outside the windows first, so no heading shows the hover highlight.
shot() {
    xdotool mousemove 0 0
    sleep 0.5
    import -window root "$work/screen.png"
    # 256 colours without dithering keep the text crisp and the files small.
    convert "$work/screen.png" -bordercolor black -border 1 -trim +repage -strip -dither None \
        -colors 256 "PNG8:$out/$1.png"
    echo "docs/guia/$1.png"
}

# Places in the search window at its designed size.
readonly SEARCH_TEXT='598 39' SEARCH_BUTTON='877 39' ANY_FIELD='214 16' FIELD_LIST='281 38'
readonly NAME_HEADING='120 90' TYPE_HEADING='320 90' SECOND_ROW='120 145' FOURTH_ROW='120 205'

main=Consulta\ de\ Directorio
start "$work/directorio" "$main"
shot inicio

# Every field: a partial word with its accent.
click $SEARCH_TEXT && typed 'quím' && click $SEARCH_BUTTON
shot buscar-todos

# One field: uncheck, open the list of fields, go down to "Institución", search a partial word.
click $ANY_FIELD
click $FIELD_LIST
shot campos
key Down Down Down Down Return
click $SEARCH_TEXT && key ctrl+a && typed 'centro' && click $SEARCH_BUTTON
shot buscar-campo

# Wildcards: any text between two words.
click $ANY_FIELD
click $SEARCH_TEXT && key ctrl+a && typed 'bio%marina' && click $SEARCH_BUTTON
shot comodines

# Sorting: a click on a heading, then a second one for the other direction.
click $SEARCH_TEXT && key ctrl+a BackSpace && click $SEARCH_BUTTON
click $TYPE_HEADING
click $NAME_HEADING && click $NAME_HEADING
shot ordenar

# The context menu of a cell.
click $SECOND_ROW
click $SECOND_ROW 3
shot menu
key Escape

# "Guardar Como...", the menu's last command, asks for the file and its format.
click $SECOND_ROW 3
key Up Return
sleep 1
shot guardar
key Escape

# A researcher's card. With no window manager to maximise it, the card window is given the
# whole screen by hand.
double_click $FOURTH_ROW
window=$(find_window 'Consulta de Fichas')
xdotool windowmove "$window" 0 0 windowsize "$window" 1400 900
sleep 1.5
shot ficha

# Its print button asks for the printer (or a PDF file).
readonly CARD_PRINT_BUTTON='1182 843'
click $CARD_PRINT_BUTTON
sleep 1
shot imprimir-ficha
key Escape
stop

# A folder without a directory.
(cd "$work/vacia" && exec "$program") >/dev/null 2>&1 &
program_pid=$!
window=$(find_window 'Error de conexion')
shot error-conexion
stop
