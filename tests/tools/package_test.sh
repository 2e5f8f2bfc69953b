#!/usr/bin/env bash
# The Debian package as a user and a developer meet it: built with
# `--target package`, its dependencies resolvable by apt on this system,
# unpacked into a scratch root where the packaged orbtool converts a
# synthetic clip and every program answers --version, and the packaged
# libraries linked by an outside program through pkg-config and through
# CMake's find_package.
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/checks.sh"

rm -f "$build"/orb-suite_*.deb
cmake --build "$build" --target package > "$work/package.out" 2>&1
check "the package builds" $?
deb=$(ls "$build"/orb-suite_*_amd64.deb 2> /dev/null | head -1)
test -n "$deb"
check "as orb-suite_<version>_amd64.deb" $?
apt-get install -s "$deb" > "$work/apt.out" 2>&1
check "apt can install it here (dependencies resolvable)" $?
dpkg-deb -f "$deb" Depends | grep -q "libsdl2-2.0-0" && dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6"
check "its dependencies name the libraries it links" $?

root="$work/root"
dpkg-deb -x "$deb" "$root"
check "it unpacks" $?
for program in orbtool ostrel Dioptra; do
  "$root/usr/bin/$program" --version | grep -qx "$program [0-9]*\.[0-9]*\.[0-9]*"
  check "$program --version" $?
done
for library in libOrbPlayer libOrbVideoConverter; do
  test -L "$root/usr/lib/$library.so" && test -e "$root/usr/lib/$library.so.1" &&
    readelf -d "$root/usr/lib/$library.so.1" | grep -q "SONAME.*\[$library.so.1\]"
  check "$library.so.1 with its soname and development link" $?
done

tool="$root/usr/bin/orbtool"
"$tool" synth "$work/clip.mp4" --size 320x240 --fps 25 --seconds 2 --audio sine > /dev/null 2>&1
check "the packaged orbtool writes a synthetic clip" $?
"$tool" convert "$work/clip.mp4" "$work/out.mp4" --size 320x160 > "$work/convert.out" 2>&1
check "and converts it" $?
codec=$(ffprobe -v error -select_streams v -show_entries stream=codec_name -of csv=p=0 "$work/out.mp4" 2> /dev/null)
check "into H.265 (${codec:-nothing})" $([ "$codec" = hevc ]; echo $?)

# A developer's program against the packaged headers and libraries (a
# sanitizer build's libraries need their runtime loaded first).
export PKG_CONFIG_PATH="$root/usr/lib/pkgconfig"
preload=""
for runtime in asan tsan; do
  readelf -d "$root/usr/lib/libOrbPlayer.so.1" | grep -q "lib$runtime" && preload=$(gcc -print-file-name=lib$runtime.so)
done
c++ -std=c++17 "$here/package_consumer/consumer.cpp" -o "$work/consumer" \
  $(pkg-config --cflags --libs OrbPlayer OrbVideoConverter) > "$work/pc.out" 2>&1
check "a program builds with pkg-config" $?
LD_PRELOAD="$preload" LD_LIBRARY_PATH="$root/usr/lib" "$work/consumer" | grep -qx "linked: success"
check "and runs" $?
cmake -S "$here/package_consumer" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$root/usr" > "$work/cmake.out" 2>&1 &&
  cmake --build "$work/cmake" >> "$work/cmake.out" 2>&1
check "a program builds with find_package(OrbSuite)" $?
LD_PRELOAD="$preload" LD_LIBRARY_PATH="$root/usr/lib" "$work/cmake/consumer" | grep -qx "linked: success"
check "and runs" $?

[ "$failures" -eq 0 ] || { tail -20 "$work"/*.out; exit 1; }
