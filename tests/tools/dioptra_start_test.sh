#!/usr/bin/env bash
# Dioptra without its language plug-in says so in a message box and ends
# with a failure status, rather than vanishing with 0.
set -u
dioptra=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$dioptra" "$work/Dioptra"  # alone: no libverbix.so beside it
"$work/Dioptra" > "$work/out.txt" 2>&1 &
pid=$!
box=""
for _ in $(seq 100); do
  box=$(xdotool search --onlyvisible --name '^Dioptra$' 2>/dev/null | head -1)
  [ -n "$box" ] && break
  sleep 0.1
done
if [ -z "$box" ]; then
  echo "FAILED: no message box"; kill "$pid" 2>/dev/null; cat "$work/out.txt"; exit 1
fi
xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box"
xdotool key --clearmodifiers Return
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAILED: the message box did not close"; kill "$pid"; exit 1
fi
wait "$pid"
status=$?
grep -q "^error: the language plug-in" "$work/out.txt" || { echo "FAILED: no error line"; cat "$work/out.txt"; exit 1; }
[ "$status" -ne 0 ] || { echo "FAILED: exit status 0"; exit 1; }
echo "ok: the missing plug-in is reported and Dioptra ends with status $status"
