# Sourced by run.sh and test.sh: installs, with apt, every Debian package the build, the
# tests and the benchmark need, only when one is missing.
PACKAGES=(
    build-essential cmake ninja-build pkg-config ccache
    qt6-base-dev qt6-translations-l10n libqt6sql6-sqlite libgl-dev
    libsqlite3-dev unixodbc unixodbc-dev libsqliteodbc mdbtools-dev mdbtools libglib2.0-dev libxlsxwriter-dev libxxhash-dev
    postgresql odbc-postgresql openssl libpq-dev
    fonts-liberation2 fonts-wine
    poppler-utils xvfb x11-utils xdotool imagemagick unzip
    librsvg2-bin dpkg-dev desktop-file-utils appstream
    clang lld libclang-rt-14-dev
    clang-format python3
)

install_missing_packages() {
    local missing=() package
    for package in "${PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}
