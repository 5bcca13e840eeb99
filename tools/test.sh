#!/usr/bin/env bash
# Installs what is missing, builds Brenvoll with its tests and benchmarks and
# runs every test headless; at the end, says what was skipped (cases inside
# passing programs and whole programs, with their reasons). Fails when a
# test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DBRENVOLL_BENCHMARKS=ON
cmake --build build
cd build
status=0
mkdir -p Testing
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 900 -j 2 2>&1 | tee Testing/ctest-output.txt ||
    status=$?
python3 ../tools/skipped-tests.py Testing/Temporary/LastTest.log Testing/ctest-output.txt || true
exit "$status"
