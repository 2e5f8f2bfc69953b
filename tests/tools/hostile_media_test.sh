#!/usr/bin/env bash
# orbtool against what a bad day brings, made here: pictures of tiny and odd
# sizes in several pixel layouts, a FIFO and a folder named like videos, a
# server that accepts and never answers, an output that is the input. Each
# run must end (bounded by `timeout`), with status 0 or 1 (never a crash),
# and a failure says so in one "error: ..." line.
set -u
tool=$1
work=$(mktemp -d)
server_pid=""
cleanup() { [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
source "$(dirname "$0")/checks.sh"
# Runs orbtool with a bound; the status, then whether stderr is one error line when it failed.
run() {  # name, then the orbtool arguments
  local name=$1
  shift
  timeout -s KILL 40 "$tool" "$@" > "$work/$name.out" 2> "$work/$name.err"
  local status=$?
  local clean=0
  if [ "$status" -ne 0 ]; then
    [ "$(grep -c '^error: ' "$work/$name.err")" -eq 1 ] || clean=1
  fi
  echo "$status $clean"
}
ends_cleanly() {  # description, "status clean", allowed statuses
  local status=${2% *} clean=${2#* }
  local allowed=1
  for s in $3; do [ "$status" -eq "$s" ] && allowed=0; done
  check "$1 (status $status)" $(( allowed == 0 && clean == 0 ? 0 : 1 ))
}

"$tool" synth "$work/lens.mp4" --size 640x360 --seconds 1 --audio none > /dev/null 2>&1
# Tiny and odd pictures in several layouts: every path that scales them.
for size in 1x1 2x2 3x5 8x8 17x9; do
  for format in yuv444p bgr0 gray yuv420p; do
    case "$format/$size" in yuv420p/1x1|yuv420p/3x5|yuv420p/17x9) continue ;; esac
    clip="$work/tiny_${size}_$format.mkv"
    ffmpeg -v error -f lavfi -i "testsrc=size=$size:rate=5" -frames:v 5 -pix_fmt "$format" -c:v ffv1 -y "$clip"
    ends_cleanly "render a $size $format video" "$(run render "render" "$clip" "$work/r.png" --calib "$work/lens.inf" --size 64x32)" "0 1"
    ends_cleanly "calibrate a $size $format video" "$(run calibrate "calibrate" "$clip" -o "$work/t.inf")" "1"
    ends_cleanly "convert a $size $format video" "$(run convert "convert" "$clip" "$work/t.mp4" --calib "$work/lens.inf" --size 64x32)" "0 1"
  done
done

# A FIFO and a folder named like videos are refused at once.
mkfifo "$work/fifo.mp4"
mkdir "$work/folder.mp4"
for bad in fifo folder; do
  for command in calibrate render convert play; do
    case $command in
      calibrate) result=$(run "$bad$command" calibrate "$work/$bad.mp4" -o "$work/x.inf") ;;
      render) result=$(run "$bad$command" render "$work/$bad.mp4" "$work/x.png" --calib "$work/lens.inf") ;;
      convert) result=$(run "$bad$command" convert "$work/$bad.mp4" "$work/x.mp4" --calib "$work/lens.inf") ;;
      play) result=$(run "$bad$command" play "$work/$bad.mp4" --seconds 1) ;;
    esac
    ends_cleanly "$command refuses a $bad named like a video" "$result" "1"
  done
done
grep -q "is not a regular file" "$work/fifocalibrate.err" && grep -q "is a folder" "$work/folderrender.err"
check "saying what it is" $?

# A server that accepts and never answers: each command ends within its timeout.
python3 "$(dirname "$0")/../support/silent_server.py" > "$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")
for command in calibrate render convert; do
  start=$(date +%s)
  case $command in
    calibrate) result=$(run "silent$command" calibrate "http://127.0.0.1:$port/v.mp4" -o "$work/s.inf") ;;
    render) result=$(run "silent$command" render "http://127.0.0.1:$port/v.mp4" "$work/s.png" --calib "$work/lens.inf") ;;
    convert) result=$(run "silent$command" convert "http://127.0.0.1:$port/v.mp4" "$work/s.mp4" --calib "$work/lens.inf") ;;
  esac
  took=$(( $(date +%s) - start ))
  ends_cleanly "$command gives up on a silent server" "$result" "1"
  check "within its timeout ($took s)" $(( took <= 25 ? 0 : 1 ))
done

# A source that stops sending in the middle: playback ends with the error,
# not as if the video were over.
"$tool" synth "$work/stream.mkv" --size 320x240 --fps 25 --seconds 20 --audio none > /dev/null 2>&1
python3 -c '
import socket, sys, time
data = open(sys.argv[1], "rb").read()
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 0)); s.listen(4)
print(s.getsockname()[1], flush=True)
held = []
while True:
    c, _ = s.accept(); held.append(c)
    c.recv(65536)
    c.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: video/x-matroska\r\nContent-Length: %d\r\n\r\n" % len(data))
    c.sendall(data[: len(data) * 2 // 5])  # then nothing more, the connection left open
' "$work/stream.mkv" > "$work/port2" &
stall_pid=$!
for _ in $(seq 50); do [ -s "$work/port2" ] && break; sleep 0.1; done
start=$(date +%s)
result=$(run stalled play "http://127.0.0.1:$(head -1 "$work/port2")/stream.mkv" --calib "$work/lens.inf" --seconds 60)
took=$(( $(date +%s) - start ))
kill "$stall_pid" 2>/dev/null
ends_cleanly "play reports a source that stops sending" "$result" "1"
grep -q "^error: the input was lost" "$work/stalled.err"
check "as a lost input, within its timeout ($took s)" $(( $? == 0 && took < 40 ? 0 : 1 ))

# A local file cut while it plays, and one damaged before: both end with the
# error, not as if the video were over.
cp "$work/stream.mkv" "$work/cut.mkv"
timeout -s KILL 40 "$tool" play "$work/cut.mkv" --calib "$work/lens.inf" --seconds 60 > "$work/cut.out" 2> "$work/cut.err" &
play_pid=$!
sleep 3
truncate -s $(( $(stat -c %s "$work/stream.mkv") / 2 )) "$work/cut.mkv"
wait "$play_pid"
status=$?
check "play reports a file cut while it plays (status $status)" $(( status == 1 ? 0 : 1 ))
grep -q "^error: the input was lost: the file was cut short" "$work/cut.err"
check "as a file cut short" $?
head -c $(( $(stat -c %s "$work/stream.mkv") / 3 )) "$work/stream.mkv" > "$work/damaged.mkv"
result=$(run damaged play "$work/damaged.mkv" --calib "$work/lens.inf" --seconds 60)
ends_cleanly "play reports a file that ends before its length" "$result" "1"
grep -q "^error: the input ended at 00:0[5-8] of 00:20" "$work/damaged.err"
check "saying where it ended" $?

# A full disk (a file size limit: writes fail as on a full file system):
# the conversion fails with one error line and the user's earlier output
# stays as it was, with nothing left beside it.
printf 'an earlier conversion the user keeps' > "$work/keep.mp4"
cp "$work/keep.mp4" "$work/keep.orig"
(ulimit -f 64; trap '' XFSZ; exec timeout -s KILL 60 "$tool" convert "$work/stream.mkv" "$work/keep.mp4" \
  --calib "$work/lens.inf" --size 640x320) > "$work/full.out" 2> "$work/full.err"
status=$?
check "convert onto a full disk fails (status $status)" $(( status == 1 ? 0 : 1 ))
[ "$(grep -c '^error: ' "$work/full.err")" -eq 1 ]
check "with one error line" $?
cmp -s "$work/keep.mp4" "$work/keep.orig" && [ ! -e "$work/keep.mp4.part" ]
check "leaving the earlier output whole and no part file" $?

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
