#!/usr/bin/env bash
# orbtool against a real RTSP server (GStreamer's, started here on a looping
# clip, as a camera would stream): a live stream converts for the span asked
# or until interrupted; a server that dies ends the conversion and the
# playback with the error, keeping what was recorded. Every run is bounded.
set -u
tool=$1
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
servers=""
cleanup() { for p in $servers; do kill -9 "$p" 2>/dev/null; done; rm -rf "$work"; }
trap cleanup EXIT
source "$(dirname "$0")/checks.sh"
start_server() {  # sets port and server_pid
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  /usr/bin/python3 "$here/support/rtsp_server.py" "$work/cam.mp4" "$port" --loop > "$work/server$port.out" 2>&1 &
  server_pid=$!
  servers="$servers $server_pid"
  for _ in $(seq 150); do grep -q '^ready' "$work/server$port.out" && return 0; sleep 0.1; done
  return 1
}
grown() {  # until the file has bytes, 20 s at most
  for _ in $(seq 200); do [ -s "$1" ] && return 0; sleep 0.1; done
  return 1
}
pictures() {
  ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$1" 2>/dev/null |
    head -1
}
one_error() { [ "$(grep -c '^error: ' "$1")" -eq 1 ]; }

"$tool" synth "$work/cam.mp4" --size 640x320 --fps 25 --seconds 4 --audio sine > /dev/null 2>&1
start_server
check "the RTSP server starts" $?
url="rtsp://127.0.0.1:$port/clip"
views=(--calib "$work/cam.inf" --size 320x160)

# A span of a live stream, with its sound.
timeout -s KILL 60 "$tool" convert "$url" "$work/span.mp4" "${views[@]}" --seconds 3 > "$work/span.out" 2> "$work/span.err"
check "a live stream converts for --seconds" $?
n=$(pictures "$work/span.mp4")
check "as 3 s of pictures (${n:-none})" $(( ${n:-0} >= 73 && ${n:-0} <= 77 ? 0 : 1 ))
ffprobe -v error -select_streams a -show_entries stream=codec_name -of csv=p=0 "$work/span.mp4" 2>/dev/null | grep -qx aac
check "and its sound" $?
timeout -s KILL 60 "$tool" convert "$url" "$work/from.mp4" "${views[@]}" --from 00:05 --to 00:08 > /dev/null 2> "$work/from.err"
check "a live stream cannot start later (status $?)" $(( $? == 1 ? 0 : 1 ))
one_error "$work/from.err" && [ ! -e "$work/from.mp4" ]
check "saying so, writing nothing" $?

# Until interrupted: Ctrl+C is the end the user chose.
timeout -s KILL 60 "$tool" convert "$url" "$work/open.mp4" "${views[@]}" > "$work/open.out" 2> "$work/open.err" &
pid=$!
grown "$work/open.mp4.part"
sleep 2
kill -INT "$pid"
wait "$pid"
status=$?
check "converting until interrupted finishes on Ctrl+C (status $status) $(grep '^error' "$work/open.err")" \
  $(( status == 0 ? 0 : 1 ))
n=$(pictures "$work/open.mp4")
check "into a playable file (${n:-no} pictures), nothing left beside it" \
  $(( ${n:-0} >= 25 && $(test -e "$work/open.mp4.part"; echo $?) == 1 ? 0 : 1 ))

# The server dies during a conversion: an error, and what was recorded kept.
timeout -s KILL 60 "$tool" convert "$url" "$work/lost.mp4" "${views[@]}" > "$work/lost.out" 2> "$work/lost.err" &
pid=$!
grown "$work/lost.mp4.part"
sleep 2
{ kill -9 "$server_pid"; wait "$server_pid"; } 2> /dev/null
start=$(date +%s)
wait "$pid"
status=$?
took=$(( $(date +%s) - start ))
check "a conversion whose server dies fails (status $status) within its timeout (${took} s)" \
  $(( status == 1 && took <= 25 ? 0 : 1 ))
one_error "$work/lost.err" && grep -q "^error: the stream was lost at 00:0.*lost.mp4.part" "$work/lost.err"
check "saying so in one line: $(grep '^error' "$work/lost.err")" $?
n=$(pictures "$work/lost.mp4.part")
check "the part recorded is kept and plays (${n:-no} pictures)" $(( ${n:-0} >= 25 ? 0 : 1 ))

# Playback: a live stream plays; a server that dies ends it with the error.
start_server
url="rtsp://127.0.0.1:$port/clip"
timeout -s KILL 60 "$tool" play "$url" --calib "$work/cam.inf" --seconds 2 > "$work/play.out" 2> "$work/play.err"
check "a live stream plays (status $?)" $(( $? == 0 ? 0 : 1 ))
timeout -s KILL 60 "$tool" play "$url" --calib "$work/cam.inf" --seconds 60 > "$work/dead.out" 2> "$work/dead.err" &
pid=$!
sleep 4
{ kill -9 "$server_pid"; wait "$server_pid"; } 2> /dev/null
start=$(date +%s)
wait "$pid"
status=$?
took=$(( $(date +%s) - start ))
check "playback whose server dies fails (status $status) within its timeout (${took} s)" \
  $(( status == 1 && took <= 20 ? 0 : 1 ))
one_error "$work/dead.err" && grep -q "^error: the input was lost" "$work/dead.err"
check "as a lost input: $(grep '^error' "$work/dead.err")" $?

# A server that freezes (stopped, its connections open) is a lost input too,
# found within the network timeout.
start_server
url="rtsp://127.0.0.1:$port/clip"
timeout -s KILL 60 "$tool" convert "$url" "$work/frozen.mp4" "${views[@]}" > /dev/null 2> "$work/frozen.err" &
pid=$!
grown "$work/frozen.mp4.part"
sleep 1
kill -STOP "$server_pid"
start=$(date +%s)
wait "$pid"
status=$?
took=$(( $(date +%s) - start ))
check "a conversion whose server freezes fails (status $status) within its timeout (${took} s)" \
  $(( status == 1 && took <= 30 ? 0 : 1 ))
one_error "$work/frozen.err" && grep -q "^error: the stream was lost" "$work/frozen.err" && [ -s "$work/frozen.mp4.part" ]
check "keeping what was recorded: $(grep '^error' "$work/frozen.err")" $?
{ kill -9 "$server_pid"; wait "$server_pid"; } 2> /dev/null
start_server
url="rtsp://127.0.0.1:$port/clip"
timeout -s KILL 60 "$tool" play "$url" --calib "$work/cam.inf" --seconds 60 > /dev/null 2> "$work/frozenplay.err" &
pid=$!
sleep 4
kill -STOP "$server_pid"
start=$(date +%s)
wait "$pid"
status=$?
took=$(( $(date +%s) - start ))
check "playback whose server freezes fails (status $status) within its timeout (${took} s)" \
  $(( status == 1 && took <= 20 ? 0 : 1 ))
one_error "$work/frozenplay.err" && grep -q "^error: the input was lost" "$work/frozenplay.err"
check "as a lost input: $(grep '^error' "$work/frozenplay.err")" $?
{ kill -9 "$server_pid"; wait "$server_pid"; } 2> /dev/null

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
