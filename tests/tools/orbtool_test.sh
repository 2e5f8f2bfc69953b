#!/usr/bin/env bash
# orbtool as a script uses it: make a clip, calibrate it, read the file back,
# and refuse bad input with one "error: ..." line and a failure code.
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

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

python3 -c "
import struct, sys
d = bytearray(open('$work/found.inf', 'rb').read())
d[352:356] = struct.pack('<f', -0.5)  # c1: a radius of -549 px
open('$work/negative.inf', 'wb').write(d)
"
"$tool" inspect "$work/negative.inf" > "$work/negative.out" 2>&1
check "inspect calls a circle of negative radius invalid" $(( $? == 1 ? 0 : 1 ))
grep -q "^invalid$" "$work/negative.out" &&
  grep -q "^error: .*negative.inf is invalid: .*circle radius of -[0-9]" "$work/negative.out"
check "and says which value makes it so" $?
python3 -c "
import struct
d = bytearray(open('$work/found.inf', 'rb').read())
d[364:368] = struct.pack('<i', 3)  # camera count
open('$work/three.inf', 'wb').write(d)
"
"$tool" inspect "$work/three.inf" > /dev/null 2> "$work/three.err"
check "inspect names a camera count of 3" $(( $? == 1 ? 0 : 1 ))
grep -q "^error: .*three.inf is invalid: camera count 3 is not 1 or 2$" "$work/three.err"
check "in one error line" $?

# Two lenses side by side (a dual-lens 360° camera): refused, never written as one lens.
"$tool" synth "$work/lens.mp4" --size 600x600 --fps 25 --seconds 1 --audio none --fov 200 > /dev/null
ffmpeg -v error -i "$work/lens.mp4" -filter_complex "[0:v]pad=640:640:20:20,split[l][r];[r]hflip[f];[l][f]hstack" \
  -frames:v 1 -y "$work/dual.png"
"$tool" calibrate "$work/dual.png" -o "$work/dual.inf" > /dev/null 2> "$work/dual.err"
check "calibrate refuses a dual-lens picture" $(( $? == 1 ? 0 : 1 ))
grep -q "^error: two lens circles found in $work/dual.png: a dual-lens 360° picture$" "$work/dual.err" &&
  test ! -e "$work/dual.inf"
check "naming it, and writes nothing" $?

head -c 100 "$work/found.inf" > "$work/short.inf"
"$tool" inspect "$work/short.inf" > /dev/null 2> "$work/short.err"
status=$?
check "inspect refuses a short file" $(( status != 0 ? 0 : 1 ))
grep -q "^error: .*too short" "$work/short.err"
check "with one error line" $?

# The picture commands live in a module beside the program: without it they
# fail with one line, and convert still starts.
mkdir "$work/lone" && cp "$(readlink -f "$tool")" "$work/lone/orbtool"
LD_LIBRARY_PATH="$(dirname "$(readlink -f "$tool")")" "$work/lone/orbtool" inspect "$work/found.inf" \
  > /dev/null 2> "$work/lone.err"
status=$?
check "a picture command without its module fails" $(( status == 1 ? 0 : 1 ))
grep -q "^error: cannot load .*orbtool_views.so" "$work/lone.err" && [ "$(wc -l < "$work/lone.err")" -eq 1 ]
check "with one error line naming the module" $?

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

# Key frames: every 12 pictures unless --keyint says otherwise.
key_frames() {
  ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 "$1" | grep -n K | cut -d: -f1 | tr '\n' ' '
}
[ "$(key_frames "$work/out.mp4")" = "1 13 25 " ]
check "a key frame every 12 pictures by default" $?
"$tool" convert "$work/clip.mp4" "$work/keyint.mp4" --size 320x160 --keyint 10 > /dev/null 2>&1 &&
  [ "$(key_frames "$work/keyint.mp4")" = "1 11 21 " ]
check "--keyint 10 puts one every 10" $?
"$tool" convert "$work/clip.mp4" "$work/bad.mp4" --keyint 0 > /dev/null 2> "$work/keyint.err"
check "--keyint 0 is refused" $(( $? == 2 ? 0 : 1 ))
ffprobe -v error -select_streams v -count_frames -show_entries stream=codec_name,width,height,nb_read_frames \
  -of csv=p=0 "$work/out.mp4" > "$work/probe.out" 2>&1
grep -q "^hevc,320,160,25$" "$work/probe.out"
check "as 25 H.265 pictures of the size asked for" $?

test ! -e "$work/out.mp4.part"
check "a finished conversion leaves no temporary file" $?

"$tool" synth "$work/blink.mp4" --size 320x240 --fps 25 --seconds 0.6 --audio none > /dev/null 2>&1
"$tool" convert "$work/blink.mp4" "$work/blink_out.mp4" --size 320x160 > /dev/null 2>&1
check "a clip shorter than a second converts" $?
ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$work/blink_out.mp4" \
  2> /dev/null | grep -qx 15
check "with all of its 15 pictures" $?

# The user's files are only ever replaced by a finished conversion.
before=$(md5sum < "$work/clip.mp4")
ln -s clip.mp4 "$work/link.mp4"
for same in "$work/clip.mp4" "$work/./clip.mp4" "$work/link.mp4"; do
  "$tool" convert "$work/clip.mp4" "$same" --size 320x160 > /dev/null 2> "$work/same.err"
  status=$?
  check "converting onto the input ($same) is refused" $(( status == 1 ? 0 : 1 ))
  grep -q "^error: the output .* is the input itself" "$work/same.err" && [ "$(wc -l < "$work/same.err")" -eq 1 ]
  check "with one error line" $?
done
test "$(md5sum < "$work/clip.mp4")" = "$before" && test ! -e "$work/clip.mp4.part"
check "and the input is untouched" $?
printf 'precious' > "$work/kept.mp4"
"$tool" convert "$work/clip.mp4" "$work/kept.mp4" --size 320x160 --from 00:30 > /dev/null 2> "$work/span.err"
check "a span the clip does not have fails" $(( $? == 1 ? 0 : 1 ))
test "$(cat "$work/kept.mp4")" = "precious" && test ! -e "$work/kept.mp4.part"
check "and leaves the existing output as it was" $?

# A file that ends early is not a finished conversion.
"$tool" synth "$work/long.mkv" --size 320x240 --fps 25 --seconds 8 --audio none > /dev/null 2>&1
head -c $(( $(stat -c %s "$work/long.mkv") * 4 / 10 )) "$work/long.mkv" > "$work/cut.mkv"
cp "$work/long.inf" "$work/cut.inf"
printf 'precious' > "$work/cut_out.mp4"
"$tool" convert "$work/cut.mkv" "$work/cut_out.mp4" --calib "$work/cut.inf" --size 320x160 > /dev/null 2> "$work/cut.err"
check "a truncated input fails" $(( $? == 1 ? 0 : 1 ))
grep -q "^error: input ended at 00:0[0-9] of 00:08; .*cut_out.mp4 is incomplete (kept as .*cut_out.mp4.part)" "$work/cut.err"
check "saying where it ended and where the part is" $?
test "$(cat "$work/cut_out.mp4")" = "precious" && test -s "$work/cut_out.mp4.part"
check "the output stays as it was; the part converted is kept beside it" $?

# Sound an MP4 cannot hold is re-encoded (and the user told); sound it can
# hold is copied. Either way it lasts as long as the pictures.
"$tool" synth "$work/sound.mkv" --size 320x240 --fps 25 --seconds 2 --audio sine > /dev/null 2>&1
ffmpeg -v error -i "$work/sound.mkv" -c:v copy -c:a pcm_s16le -y "$work/pcm.mkv"
ffmpeg -v error -i "$work/sound.mkv" -c:v copy -c:a libopus -b:a 64k -y "$work/opus.mkv"
for kind in pcm:aac opus:opus; do
  name=${kind%%:*} codec=${kind#*:}
  "$tool" convert "$work/$name.mkv" "$work/${name}_out.mp4" --calib "$work/sound.inf" --size 320x160 \
    > /dev/null 2> "$work/$name.err"
  check "a clip with $name sound converts to MP4" $?
  ffprobe -v error -select_streams a -show_entries stream=codec_name,duration -of csv=p=0 "$work/${name}_out.mp4" \
    > "$work/$name.probe" 2>&1
  grep -Eq "^$codec,(1\.9[5-9]|2\.0[0-5])" "$work/$name.probe"
  check "as $codec sound of the clip's length ($(cat "$work/$name.probe"))" $?
  ffmpeg -i "$work/${name}_out.mp4" -map 0:a -af volumedetect -f null - 2>&1 | grep -Eq "mean_volume: -[1-3][0-9]\."
  check "that is not silent" $?
done
grep -q "^note: the pcm_s16le sound is re-encoded as AAC" "$work/pcm.err" && ! grep -q "note:" "$work/opus.err"
check "saying when the sound is re-encoded" $?

# Segments joined into one transport stream, the picture size changing at
# the join (as a camera's recording is split): every segment converts.
"$tool" synth "$work/seg_a.mp4" --size 640x320 --fps 25 --seconds 2 --audio sine > /dev/null 2>&1
"$tool" synth "$work/seg_b.mp4" --size 960x480 --fps 25 --seconds 2 --audio sine > /dev/null 2>&1
ffmpeg -v error -i "$work/seg_a.mp4" -c copy -bsf:v h264_mp4toannexb -y "$work/seg_a.ts"
ffmpeg -v error -i "$work/seg_b.mp4" -c copy -bsf:v h264_mp4toannexb -output_ts_offset 2 -y "$work/seg_b.ts"
cat "$work/seg_a.ts" "$work/seg_b.ts" > "$work/segments.ts"
"$tool" convert "$work/segments.ts" "$work/segments.mp4" --calib "$work/seg_a.inf" --size 320x160 > /dev/null 2> "$work/seg.err"
check "joined segments of two sizes convert" $?
n=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$work/segments.mp4")
check "with the pictures of both ($n)" $(( ${n:-0} >= 99 && ${n:-0} <= 101 ? 0 : 1 ))

# Three damaged pictures cost those pictures, not the conversion (as in playback).
ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25 -t 4 -c:v mjpeg -q:v 5 -y "$work/mjpeg.avi"
python3 -c "
import re, sys
d = bytearray(open(sys.argv[1], 'rb').read())
starts = [m.start() for m in re.finditer(b'\\xff\\xd8\\xff', d)]
for k in (40, 41, 60):
    d[starts[k]:starts[k] + 400] = bytes(400)
open(sys.argv[2], 'wb').write(d)
" "$work/mjpeg.avi" "$work/damaged.avi"
"$tool" convert "$work/damaged.avi" "$work/damaged.mp4" --calib "$work/clip.inf" --size 320x160 > /dev/null 2>&1
check "a clip with damaged pictures converts" $?
n=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$work/damaged.mp4")
check "without them ($n of 100 pictures)" $(( ${n:-0} == 97 ? 0 : 1 ))

"$tool" convert "$work/clip.mp4" "$work/bad.mp4" --view 3:0,0,0 > /dev/null 2> "$work/view.err"
check "convert refuses a view the layout does not have" $(( $? == 2 ? 0 : 1 ))
"$tool" convert "$work/clip.mp4" "$work/bad.mp4" --to 5500000:00 > /dev/null 2>&1
check "convert refuses a time past what seconds can count" $(( $? == 2 ? 0 : 1 ))
"$tool" render "$work/clip.mp4" "$work/bad.png" --view 0:nan,1e300,0 > /dev/null 2> "$work/nan.err"
check "render refuses angles that are not finite degrees" $(( $? == 2 ? 0 : 1 ))

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
