#!/usr/bin/env bash
# Converts generated fisheye clips (1920x1080, 2880x2880 and 3840x2160, 30
# fps) to 1024x768 and 1920x960, one after the other in one run, and prints
# frames per second, start-up included, for:
#   ours     orbtool convert (ball layout, a key frame every 12 pictures)
#   v360/12  ffmpeg's v360 fisheye to flat and libx265 with the same preset,
#            tune, qp and key-frame interval, audio copied
#   v360/x   the same with x265's default key-frame interval
#   bound    ffmpeg decoding, scaling and encoding alike with no dewarp
# and ours as a share of the bound. Ours and the bound run REPS times (default
# 3), taking turns, and their medians are printed: this machine's speed drifts
# between one run and the next.
# Usage: bench/convert_vs_ffmpeg.sh [SECONDS] (default 30; needs a built tree;
# SOURCES="1920x1080" runs fewer sources)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
reps=${REPS:-3}
sources=${SOURCES:-1920x1080 2880x2880 3840x2160}
tool=build/bin/orbtool
[ -x "$tool" ] || { echo "error: build first (./test.sh or ./run.sh)" >&2; exit 1; }
command -v ffmpeg > /dev/null || { echo "error: ffmpeg is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
frames=$((seconds * 30))
x265=(-c:v libx265 -preset ultrafast -tune zero-latency -x265-params qp=20:log-level=error -c:a copy)

elapsed() {  # runs the command, prints its wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

median() {  # of the arguments
  printf "%s\n" "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

printf "%-10s %-9s %8s %8s %8s %8s %9s\n" source size ours v360/12 v360/x bound ours/bound
for source in $sources; do
  clip="$work/clip_$source.mp4"
  "$tool" synth "$clip" --size "$source" --fps 30 --seconds "$seconds" --fov 200 --audio sine > /dev/null
  for size in 1024x768 1920x960; do
    w=${size%x*}
    h=${size#*x}
    v360="v360=input=fisheye:ih_fov=200:iv_fov=200:output=flat:h_fov=120:v_fov=90:pitch=50:w=$w:h=$h"
    ours_times=() bound_times=()
    for ((rep = 0; rep < reps; ++rep)); do
      ours_times+=("$(elapsed "$tool" convert "$clip" "$work/ours.mp4" --calib "${clip%.mp4}.inf" --size "$size" \
        --layout ball)")
      bound_times+=("$(elapsed ffmpeg -y -loglevel error -i "$clip" -vf "scale=$w:$h" -g 12 "${x265[@]}" \
        "$work/bound.mp4")")
    done
    ours=$(median "${ours_times[@]}")
    bound=$(median "${bound_times[@]}")
    same=$(elapsed ffmpeg -y -loglevel error -i "$clip" -vf "$v360" -g 12 "${x265[@]}" "$work/v360.mp4")
    default=$(elapsed ffmpeg -y -loglevel error -i "$clip" -vf "$v360" "${x265[@]}" "$work/v360x.mp4")
    awk -v src="$source" -v s="$size" -v f="$frames" -v a="$ours" -v b="$same" -v c="$default" -v d="$bound" \
      'BEGIN { printf "%-10s %-9s %8.1f %8.1f %8.1f %8.1f %8.0f%%\n", src, s, f / a, f / b, f / c, f / d, 100 * d / a }'
  done
done
