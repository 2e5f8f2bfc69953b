#!/usr/bin/env bash
# Converts the same generated 1080p30 fisheye clip with `orbtool convert` and
# with the ffmpeg command line (v360 fisheye to flat, libx265 with the same
# preset, tune, qp and key-frame interval (12, the converter's), audio
# copied) at 1024x768 and at 1920x960, one after
# the other in one run, and prints both frames-per-second figures and their
# ratio, start-up included. Usage: bench/convert_vs_ffmpeg.sh [SECONDS]
# (default 30; needs a built tree)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
tool=build/bin/orbtool
[ -x "$tool" ] || { echo "error: build first (./test.sh or ./run.sh)" >&2; exit 1; }
command -v ffmpeg > /dev/null || { echo "error: ffmpeg is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" synth "$work/clip.mp4" --size 1920x1080 --fps 30 --seconds "$seconds" --fov 200 --audio sine > /dev/null
frames=$((seconds * 30))

elapsed() {  # runs the command, prints its wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

printf "%-10s %12s %12s %8s\n" size "orbtool fps" "ffmpeg fps" ratio
for size in 1024x768 1920x960; do
  w=${size%x*}
  h=${size#*x}
  ours=$(elapsed "$tool" convert "$work/clip.mp4" "$work/ours.mp4" --calib "$work/clip.inf" --size "$size" --layout ball)
  theirs=$(elapsed ffmpeg -y -loglevel error -i "$work/clip.mp4" \
    -vf "v360=input=fisheye:ih_fov=200:iv_fov=200:output=flat:h_fov=120:v_fov=90:pitch=50:w=$w:h=$h" \
    -c:v libx265 -g 12 -preset ultrafast -tune zero-latency -x265-params qp=20:log-level=error -c:a copy "$work/theirs.mp4")
  awk -v s="$size" -v f="$frames" -v a="$ours" -v b="$theirs" \
    'BEGIN { printf "%-10s %12.1f %12.1f %7.2fx\n", s, f / a, f / b, (f / a) / (f / b) }'
done
