#!/usr/bin/env bash
# orbtool as a script uses it: make a clip, calibrate it, read the file back,
# and refuse bad input with one "error: ..." line and a failure code.
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checks=0
check() {  # description, then the condition's exit status
  checks=$((checks + 1))
  if [ "$2" -eq 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

"$tool" synth "$work/clip.mp4" --size 640x360 --fps 25 --seconds 1 --audio none --fov 200 > "$work/synth.out"
check "synth writes a clip and its calibration" $(( $? == 0 && $(test -s "$work/clip.mp4" && test -s "$work/clip.inf"; echo $?) == 0 ? 0 : 1 ))

"$tool" calibrate "$work/clip.mp4" -o "$work/found.inf" > "$work/cal.out" 2>&1
status=$?
check "calibrate succeeds on the clip" "$status"
grep -q "centre 319\.[0-9][0-9], 179\.[0-9][0-9]  radius 1[78][0-9]\.[0-9][0-9] px" "$work/cal.out"
check "calibrate prints the circle it found" $?

"$tool" inspect "$work/found.inf" > "$work/inspect.out"
check "inspect reads the file back as valid" $?
grep -q "^valid$" "$work/inspect.out" && grep -q "field of view 200.00 degrees" "$work/inspect.out"
check "inspect shows validity and the field of view" $?

head -c 100 "$work/found.inf" > "$work/short.inf"
"$tool" inspect "$work/short.inf" > /dev/null 2> "$work/short.err"
status=$?
check "inspect refuses a short file" $(( status != 0 ? 0 : 1 ))
grep -q "^error: .*too short" "$work/short.err"
check "with one error line" $?

printf 'not a picture' > "$work/junk.jpg"
"$tool" calibrate "$work/junk.jpg" -o "$work/junk.inf" > /dev/null 2> "$work/junk.err"
status=$?
check "calibrate refuses what is not a picture" $(( status != 0 ? 0 : 1 ))
grep -q "^error: " "$work/junk.err" && test ! -e "$work/junk.inf"
check "with an error line and no file" $?

ffmpeg -v error -f lavfi -i testsrc=size=640x360 -frames:v 1 -y "$work/ordinary.png"
"$tool" calibrate "$work/ordinary.png" -o "$work/ordinary.inf" > /dev/null 2> "$work/ordinary.err"
check "calibrate finds no lens circle in an ordinary picture" $(( $? == 1 ? 0 : 1 ))
grep -q "^error: no lens circle found in $work/ordinary.png" "$work/ordinary.err" && test ! -e "$work/ordinary.inf"
check "says so in one error line and writes nothing" $?

"$tool" calibrate "$work/clip.mp4" --fov 400 > /dev/null 2> "$work/fov.err"
check "calibrate refuses a field of view above 360" $(( $? == 2 ? 0 : 1 ))

"$tool" convert "$work/clip.mp4" "$work/out.mp4" --size 320x160 --layout split2 > "$work/convert.out" 2>&1
check "convert writes the views" $?
ffprobe -v error -select_streams v -count_frames -show_entries stream=codec_name,width,height,nb_read_frames \
  -of csv=p=0 "$work/out.mp4" > "$work/probe.out" 2>&1
grep -q "^hevc,320,160,25$" "$work/probe.out"
check "as 25 H.265 pictures of the size asked for" $?

"$tool" convert "$work/clip.mp4" "$work/bad.mp4" --view 3:0,0,0 > /dev/null 2> "$work/view.err"
check "convert refuses a view the layout does not have" $(( $? == 2 ? 0 : 1 ))

"$tool" render "$work/clip.mp4" "$work/still.png" --size 200x100 --layout panorama > /dev/null 2>&1
check "render writes a still" $?
file "$work/still.png" 2>/dev/null | grep -q "PNG image data, 200 x 100" || python3 -c "import sys; d=open('$work/still.png','rb').read(24); sys.exit(0 if d[:8]==b'\x89PNG\r\n\x1a\n' and int.from_bytes(d[16:20],'big')==200 and int.from_bytes(d[20:24],'big')==100 else 1)"
check "as a 200x100 PNG" $?

"$tool" play "$work/missing.mp4" > /dev/null 2> "$work/play.err"
check "play refuses a missing file" $(( $? != 0 ? 0 : 1 ))
"$tool" nonsense > /dev/null 2>&1
check "an unknown command fails" $(( $? == 2 ? 0 : 1 ))

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
