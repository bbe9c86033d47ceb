#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it from build/app/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTENVORA_BENCH=OFF >/dev/null
cmake --build build --target tenvora
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "没有图形显示（DISPLAY 未设置）：请在桌面环境中运行，或用 xvfb-run ./run.sh。" >&2
  exit 1
fi
cd build/app
exec ./tenvora "$@"
