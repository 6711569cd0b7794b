#!/usr/bin/env bash
# Remakes the screenshots of the user guide (docs/guia/*.png) from a generated sample
# directory, driving the program under a private X server as a new user would: started
# from the menu in an empty home folder, told where the directory is, then searching.
#   tools/guide-screenshots.sh [BUILD_DIR]      (default: build; needs zemparol and gensample)
# Uses Xvfb, xdotool and ImageMagick (tools/packages.sh installs them), and a private mount
# namespace (unshare; root or user namespaces) in which the home folder is
# /home/usuario, so that the dialogs show the same believable paths on every run. The
# window sits at its designed size, so the clicks below name places in it (pixels at 96 dpi).
# Every picture is made by one `shot NAME` line; the guide shows exactly these (a test
# compares the two lists).
set -euo pipefail

# A home folder of its own: /home is replaced, in this process only, by an empty one.
if [ "${GUIDE_PRIVATE_HOME:-}" != 1 ]; then
    namespace=(unshare --mount --propagation private)
    [ "$(id -u)" -eq 0 ] || namespace=(unshare --map-root-user --mount --propagation private)
    exec "${namespace[@]}" env GUIDE_PRIVATE_HOME=1 "$(realpath "$0")" "$@"
fi

cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$PWD/docs/guia
program=$build/src/zemparol
for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "guide-screenshots: $tool is missing (tools/packages.sh)" >&2; exit 1; }
done
[ -x "$program" ] && [ -x "$build/tools/gensample" ] \
    || { echo "guide-screenshots: build zemparol and gensample in $build first" >&2; exit 1; }

mount -t tmpfs -o mode=755 tmpfs /home
work=$(mktemp -d)
xvfb_pid='' program_pid=''
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A new user: the usual folders, nothing remembered, no cache; the sample directory of the
# tests in Documentos; every date fixed.
export HOME=/home/usuario XDG_CONFIG_HOME=/home/usuario/.config XDG_CACHE_HOME=/home/usuario/.cache
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME"/{Descargas,Documentos,Escritorio,Imágenes,Música} "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
cat >"$XDG_CONFIG_HOME/user-dirs.dirs" <<'EOF'
XDG_DESKTOP_DIR="$HOME/Escritorio"
XDG_DOWNLOAD_DIR="$HOME/Descargas"
XDG_DOCUMENTS_DIR="$HOME/Documentos"
XDG_MUSIC_DIR="$HOME/Música"
XDG_PICTURES_DIR="$HOME/Imágenes"
EOF
directory=$HOME/Documentos/directorio
"$build/tools/gensample" "$directory" >/dev/null
find "$HOME" -exec touch -h -d '2025-03-03 09:30' {} +
mkdir -p "$out"

display=${GUIDE_DISPLAY:-128}
Xvfb ":$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

window=''
# The window whose title matches the pattern TITLE (a regular expression), waited for; it
# becomes the one clicks refer to.
find_window() {
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | tail -1)
    xdotool windowfocus --sync "$window"
    sleep 0.5
}
# start: starts the program in the home folder, as the menu entry does, with Spanish dates
# in its dialogs.
start() {
    (cd "$HOME" && exec env LC_ALL=es_MX.UTF-8 "$program") >/dev/null 2>&1 &
    program_pid=$!
}
stop() {
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null || true
    program_pid=''
}
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
# The README's picture of the program, made the same way.
readme_shot() {
    xdotool mousemove 0 0
    sleep 0.5
    import -window root "$work/screen.png"
    convert "$work/screen.png" -bordercolor black -border 1 -trim +repage -strip -dither None \
        -colors 256 "PNG8:$PWD/docs/screenshot.png"
    echo "docs/screenshot.png"
}

# The first start: no directory in the home folder, so "Error de conexion", then the
# folder chooser, where the user goes into Documentos and chooses the directory's folder.
start
find_window 'Error de conexion'
shot error-conexion
key Return
find_window '.*En qu.+ carpeta est.+ el directorio.*' # any encoding of the accents
readonly SECOND_FOLDER='150 148' FIRST_FOLDER='150 130'
double_click $SECOND_FOLDER # Documentos, after Descargas
click $FIRST_FOLDER # directorio
shot elegir-carpeta
key alt+s # "Seleccionar" (Return in the list would go into the folder)

# Places in the search window at its designed size.
readonly SEARCH_TEXT='598 39' SEARCH_BUTTON='877 39' ANY_FIELD='214 16' FIELD_LIST='281 38'
readonly NAME_HEADING='120 90' TYPE_HEADING='320 90' SECOND_ROW='120 145' FOURTH_ROW='120 205'

find_window 'Consulta de Directorio'
shot inicio

# Every field: a partial word with its accent.
click $SEARCH_TEXT && typed 'quím' && click $SEARCH_BUTTON
shot buscar-todos

# The same word typed without its accent finds the accented spellings too.
click $SEARCH_TEXT && key ctrl+a && typed 'quimica' && click $SEARCH_BUTTON
shot sin-acentos

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

# "Guardar Como...", the last command before "Columnas…", asks for the file and its format.
click $SECOND_ROW 3
key Up Up Return
sleep 1
shot guardar
key Escape

# "Columnas…", the menu's last command, lists the columns with a box each; Email unchecked.
click $SECOND_ROW 3
key Up Return
sleep 1
key Down Down Down Down Down Down Down space
shot columnas
key Escape

# A researcher's card. With no window manager to maximise it, the card window is given the
# whole screen by hand.
double_click $FOURTH_ROW
find_window 'Consulta de Fichas'
xdotool windowmove "$window" 0 0 windowsize "$window" 1400 900
sleep 1.5
shot ficha

# Its print button asks for the printer (or a PDF file).
readonly CARD_PRINT_BUTTON='1182 843'
click $CARD_PRINT_BUTTON
sleep 1
shot imprimir-ficha
key Escape

# The README's picture: the card closed with its door button, the listing by name with
# three members chosen (a click, then Shift+click two rows further down).
readonly CARD_EXIT_BUTTON='1357 843'
click $CARD_EXIT_BUTTON
find_window 'Consulta de Directorio'
readonly SIXTH_ROW='120 265'
click $NAME_HEADING
click $FOURTH_ROW
at $SIXTH_ROW && xdotool keydown shift click 1 keyup shift && sleep 0.4
readme_shot
stop

# The listing at 150 %. The zoom is remembered per user, so the next start with 150 % in the
# settings shows it (Ctrl++ goes by a quarter: 125 %, then 156 %); the window itself opens
# where it would at first, since the program was stopped without closing it.
sed -i '/^\[GridStyle\]/a dw_listado_grid\\zoom=1.5' "$XDG_CONFIG_HOME/Calvexa/Zemparol.conf"
start
find_window 'Consulta de Directorio'
click $SEARCH_BUTTON
shot listado-150
stop
