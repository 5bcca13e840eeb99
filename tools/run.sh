#!/usr/bin/env bash
# Installs what the program needs and is missing, builds the program and its
# tools (not the tests nor the benchmarks: tools/test.sh builds those) and
# starts it. A build/ that tools/test.sh or a developer configured keeps its
# settings; only the program's targets are built in it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --desk
if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DBRENVOLL_BENCHMARKS=OFF
fi
cmake --build build --target brenvoll brenvoll-mkdb brenvoll-migrate brenvoll-report
exec ./build/bin/brenvoll
