#!/usr/bin/env bash
# Installs the build into a temporary root as the package does and builds the Debian
# package; checks both against the expected file list, validates the menu entry and the
# metainfo, checks the icon sizes and the guide's pictures, and runs the installed
# program's --version and --help where there is no display.
#   check_package.sh BUILD_DIR EXPECTED_FILE_LIST VERSION
set -euo pipefail
build=$1 expected=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Regular files and links under a root, as absolute paths below it.
list_files() { (cd "$1" && find . -type f -o -type l) | sed "s|^\.||" | LC_ALL=C sort; }

# The program answers --version and --help on the terminal, without a window system.
check_information() {
    local program=$1 output
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version) \
        || fail "$program --version exits with an error"
    [ "$output" = "zemparol $version" ] || fail "$program --version prints '$output'"
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --help) \
        || fail "$program --help exits with an error"
    for word in zemparol.mdb Fotos Conexion/ConnectString Conexion/Carpeta ARCHIVO.mdb Calvexa; do
        grep -qF "$word" <<<"$output" || fail "$program --help does not name $word"
    done
}

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
list_files "$root" >"$work/installed"
diff -u "$expected" "$work/installed" || fail "the installed files are not the expected ones"

for desktop in "$root"/usr/share/applications/*.desktop; do
    report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects $desktop"
    [ -z "$report" ] || fail "desktop-file-validate: $report"
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    [ -x "$root/usr/bin/${exec_line%% *}" ] || fail "the menu entry starts '$exec_line', which is not installed"
    # A file manager hands the program the database file it opens.
    [ "${exec_line#* }" = "%f" ] || fail "the menu entry does not pass a file: Exec=$exec_line"
    mime_types=$(sed -n 's/^MimeType=//p' "$desktop")
    grep -qE '(^|;)application/vnd\.ms-access;' <<<"$mime_types" \
        || fail "the menu entry does not open Access databases: MimeType=$mime_types"
    # Each type is one the system knows, by its own name or as an alias.
    if [ -f /usr/share/mime/types ]; then
        for type in ${mime_types//;/ }; do
            grep -qxF "$type" /usr/share/mime/types || grep -q "^$type " /usr/share/mime/aliases \
                || fail "the menu entry names the unknown type $type"
        done
    fi
done
for metainfo in "$root"/usr/share/metainfo/*.xml; do
    report=$(appstreamcli validate --no-net --pedantic --no-color "$metainfo" 2>&1) \
        || fail "appstreamcli rejects $metainfo: $report"
    grep -qE '^[EWIP]: ' <<<"$report" && fail "appstreamcli: $report"
    grep -qF "version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
    grep -qF '<mediatype>application/vnd.ms-access</mediatype>' "$metainfo" \
        || fail "the metainfo does not say the program opens Access databases"
done

# Each icon is as large as the folder it is in says.
for icon in "$root"/usr/share/icons/hicolor/*x*/apps/*.png; do
    folder=${icon%/apps/*}
    size=$(identify -format '%wx%h' "$icon")
    [ "$size" = "${folder##*/}" ] || fail "$icon is $size"
done

# Every picture the guide shows is installed beside it.
guide=$root/usr/share/doc/zemparol/guia.md
while read -r picture; do
    [ -f "$(dirname "$guide")/$picture" ] || fail "the guide shows $picture, which is not installed"
done < <(grep -oE '\]\(guia/[^)]+\)' "$guide" | sed 's/^](//; s/)$//')

check_information "$root/usr/bin/zemparol"

# The package holds the same files, names the fonts and the libraries it needs, and its
# (stripped) program still runs.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >/dev/null
deb=$(find "$work/package" -maxdepth 1 -name "zemparol_${version}_*.deb")
[ -f "$deb" ] || { fail "cpack wrote no zemparol_${version}_*.deb"; exit 1; }
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed "s|^\.||" | LC_ALL=C sort >"$work/packaged"
diff -u "$expected" "$work/packaged" || fail "the package's files are not the expected ones"
depends=$(dpkg-deb -f "$deb" Depends)
for package in fonts-liberation2 fonts-wine libqt6widgets6 libqt6printsupport6 libsqlite3-0 libodbc2 libc6; do
    grep -qE "(^|, )$package( |,|$)" <<<"$depends" || fail "the package does not depend on $package: $depends"
done
dpkg-deb -x "$deb" "$work/unpacked"
check_information "$work/unpacked/usr/bin/zemparol"

[ "$failures" -eq 0 ] || exit 1
echo "package checks passed"
