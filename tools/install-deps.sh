#!/usr/bin/env bash
# Installs the Debian packages Brenvoll needs, for what this machine is to do:
#
#   tools/install-deps.sh [--desk] [--server] [--test]
#       --desk    build and run the program (the default): compilers, Qt and
#                 the libraries, the fonts, the browser call for the help
#                 page, and PostgreSQL's client programs (pg_dump for the
#                 backup of a shared database, psql and pg_restore for
#                 tools/shared-database.sh restore)
#       --server  the PostgreSQL server of a shared database
#       --test    all of the above and what the tests and benchmarks use
#                 (tools/test.sh): PostgreSQL (the tests start servers of
#                 their own), the PDF and spreadsheet readers, the sqlite3
#                 shell, clang-format and clang-tidy, and the checkers of
#                 the Debian package (lintian, desktop-file-validate,
#                 appstreamcli)
#
# Only what is missing is installed, all in one apt-get call. Installing
# needs root: as root it installs; otherwise through sudo where sudo is
# installed; else it says in one line what to run as root and installs
# nothing (exit status 1).
set -euo pipefail

desk=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql qt6-translations-l10n
    libgl1-mesa-dev
    qt6-svg-dev libqt6svg6
    libsqlite3-dev libpq-dev libsodium-dev
    libqcustomplot-dev libqcustomplot2.1-qt6
    libxlsxwriter-dev
    fonts-noto-cjk
    xdg-utils
    postgresql-client
)
server=(
    postgresql
)
test_only=(
    poppler-utils
    python3 python3-xlrd python3-xlwt python3-openpyxl
    sqlite3
    clang-format clang-tidy
    lintian desktop-file-utils appstream
)

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
}

packages=()
for choice in "${@:---desk}"; do
    case "$choice" in
    --desk) packages+=("${desk[@]}") ;;
    --server) packages+=("${server[@]}") ;;
    --test) packages+=("${desk[@]}" "${server[@]}" "${test_only[@]}") ;;
    *) usage ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if [[ " ${missing[*]} " == *" $p "* ]]; then
        continue
    fi
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        here="$(cd "$(dirname "$0")" && pwd)"
        echo "install-deps: installing ${missing[*]} needs root; run as root: su -c '$here/install-deps.sh ${*:---desk}'" >&2
        exit 1
    fi
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
