#!/usr/bin/env bash
# Installs what is missing, checks the format, builds, and runs the whole
# suite twice: once as built for use (GCC), once under AddressSanitizer and
# UndefinedBehaviorSanitizer built by clang, so that both compilers hold the
# code to -Werror.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
# The format is kept: any file clang-format would change fails the run.
find src tests bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror
# An include that climbs with .. would slip past the layers each library may see.
if grep -rnE '^\s*#\s*include\s*[<"]([^>"]*/)?\.\./' src tests bench fuzz; then
  echo "test.sh: an include above climbs with '..': name it by its path from src/ instead" >&2
  exit 1
fi
jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTENVORA_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")
CC=clang CXX=clang++ cmake -S . -B build-clang-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTENVORA_SANITIZE=ON \
  -DTENVORA_WERROR=ON -DTENVORA_BENCH=OFF >/dev/null
cmake --build build-clang-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1
(cd build-clang-asan && ctest --output-on-failure -j "$jobs")
