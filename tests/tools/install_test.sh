#!/usr/bin/env bash
# The installed layout works on its own: `cmake --install` into a scratch
# prefix, then the installed ostrel (through its bin/ link) plays a file
# from the command line and, ended by SIGTERM, saves its settings and
# playlist beside itself.
set -u
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

cmake --install "$build" --prefix "$work/prefix" > "$work/install.out" 2>&1
check "cmake --install succeeds" $?
private="$work/prefix/lib/orb"
for f in bin/ostrel bin/orbtool bin/Dioptra lib/libOrbPlayer.so.1 lib/libOrbVideoConverter.so.1 lib/orb/libverbix.so lib/orb/ostrelui.osd lib/orb/Dioptra.osd \
         lib/orb/help.html share/applications/ostrel.desktop share/applications/Dioptra.desktop \
         share/icons/hicolor/scalable/apps/ostrel.svg; do
  test -e "$work/prefix/$f"
  check "installed $f" $?
done
! ldd "$private/ostrel" | grep -q "not found"
check "the installed ostrel finds all its libraries" $?

"$work/prefix/bin/orbtool" synth "$work/clip.mp4" --size 320x240 --fps 25 --seconds 30 --audio none --fov 200 \
  > /dev/null 2>&1
check "a clip to play" $?
# Start in the clip's directory with a relative name: the playlist keeps the full path.
(cd "$work" && ORB_TRACE=1 SDL_AUDIODRIVER=dummy timeout --preserve-status -s TERM 8 "$work/prefix/bin/ostrel" clip.mp4 \
  > "$work/ostrel.out" 2>&1)
check "ostrel ends cleanly on SIGTERM" $?
grep -qx "$work/clip.mp4" "$private/Playlist.osp"
check "the playlist holds the file from the command line, with its full path" $?
test "$(od -An -tx1 "$private/ZOD.cfg" | tr -d ' \n')" = "0000000002000000"
check "the settings hold sequence mode and the file's list index" $?
grep -q "calib_filename=ostrel_lens.inf" "$private/varozod.cfg" && grep -qx "$work/clip.inf" "$work/ostrel.out"
check "the first playback wrote the defaults and played with the clip's own lens" $?
rm "$work/clip.inf" "$private/Playlist.osp"
(cd "$work" && SDL_AUDIODRIVER=dummy timeout --preserve-status -s TERM 8 "$work/prefix/bin/ostrel" clip.mp4 \
  > "$work/found.out" 2> "$work/found.err")
ls "$private"/calibrations/clip-*.inf > /dev/null 2>&1 && test ! -e "$private/ostrel_lens.inf"
check "without one, the lens found is kept for this video alone" $?
test ! -s "$work/found.out" && ! grep -q "$work/clip" "$work/found.err"
check "without ORB_TRACE, standard output stays empty and no trace line is written" $?

# A stream whose server accepts and never answers: SIGTERM still ends ostrel
# at once, not after every bounded wait of the start has run out.
python3 "$(dirname "$0")/../support/silent_server.py" > "$work/port" &
silent_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
start=$(date +%s)
(cd "$work" && SDL_AUDIODRIVER=dummy timeout -s KILL 60 bash -c '"$1" "$2" & pid=$!; sleep 3; kill -TERM $pid; wait $pid' _ \
  "$work/prefix/bin/ostrel" "http://127.0.0.1:$(head -1 "$work/port")/camera.mp4" > "$work/silent.out" 2>&1)
status=$?
took=$(( $(date +%s) - start ))
kill "$silent_pid" 2> /dev/null
check "ostrel starting a silent stream ends on SIGTERM (status $status) at once (${took} s)" \
  $(( status == 0 && took <= 6 ? 0 : 1 ))
grep -q connected "$work/port"
check "while it was waiting for that stream" $?

[ "$failures" -eq 0 ] || { cat "$work/ostrel.out"; exit 1; }
