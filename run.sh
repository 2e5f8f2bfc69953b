#!/usr/bin/env bash
# Builds the suite and opens the player application, ostrel, on the sample
# fisheye clip (made on first use). Extra arguments are further files or
# folders for its playlist.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target orbtool ostrel

sample_dir=build/sample
sample=$sample_dir/fisheye_sample.mp4
if [ ! -f "$sample" ] || [ ! -f "${sample%.mp4}.inf" ]; then
  mkdir -p "$sample_dir"
  build/bin/orbtool synth "$sample" --size 1920x1080 --fps 30 --seconds 10 --fov 200 --audio sine
fi

headless=""
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  # No desktop: play into a virtual one, silently.
  for n in $(seq 90 120); do
    [ -e "/tmp/.X${n}-lock" ] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=":$n"; break; fi
    xvfb_pid=""
  done
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
  headless=1
fi

if [ -n "$headless" ]; then
  # Nobody can close the window: let the clip play through, then end ostrel
  # as a logout would (it saves its settings and playlist on the way out).
  echo "playing $sample in ostrel on virtual display $DISPLAY for 15 s"
  timeout --preserve-status -s TERM 15 build/bin/ostrel "$sample" "$@"
else
  build/bin/ostrel "$sample" "$@"
fi
