#!/usr/bin/env bash
# Builds the suite and runs its tests: ./test.sh [preset] [extra ctest args]
# Presets: default (warnings as errors), asan, tsan, fuzz. Installs what it
# needs first, and starts a virtual X display when there is none.
set -euo pipefail
cd "$(dirname "$0")"

preset=${1:-default}
shift || true

bash scripts/install-deps.sh

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X${n}-lock" ] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      break
    fi
    xvfb_pid=""
  done
fi

ctest --preset "$preset" "$@"
