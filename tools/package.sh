#!/usr/bin/env bash
# Builds the Debian package from a Release build of its own, in
# build-release/ or the folder BRENVOLL_PACKAGE_BUILD_DIR names (the
# developers' build/ keeps its settings):
#
#   tools/package.sh [RELEASE]
#
# RELEASE is the package's Debian revision (1 unless given): a package of the
# same program version rebuilt for its packaging alone gets a higher one.
# Prints the path of the .deb, brenvoll_<version>-<release>_amd64.deb in that
# folder.
# ccache, where installed, keeps a second run to a few minutes.
# BRENVOLL_PACKAGE_BUILD_TYPE=RelWithDebInfo builds as build/ does, so that
# ccache finds every object of a developer's build (the package is stripped
# either way); Release is what clinics get.
set -euo pipefail
cd "$(dirname "$0")/.."
release="${1:-1}"
build_type="${BRENVOLL_PACKAGE_BUILD_TYPE:-Release}"
build_dir="${BRENVOLL_PACKAGE_BUILD_DIR:-build-release}"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" -DBUILD_TESTING=OFF -DBRENVOLL_BENCHMARKS=OFF \
    -DBRENVOLL_PACKAGE_RELEASE="$release" "${launcher[@]}" >/dev/null
cmake --build "$build_dir"
cd "$build_dir"
rm -f brenvoll_*.deb
cpack -G DEB >/dev/null
ls "$PWD"/brenvoll_*.deb
