#!/usr/bin/env bash
# Static checks: every tracked C++ file laid out as .clang-format says, and
# .clang-tidy's checks over the libraries (with build/'s compile commands,
# configured here when missing). Exits non-zero on the first finding.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

echo "-- clang-format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "-- clang-tidy"
[ -f build/compile_commands.json ] || cmake --preset default > /dev/null
git ls-files 'libOrbPlayer/src/*.cpp' 'libOrbVideoConverter/src/*.cpp' 'av/src/*.cpp' 'render/src/*.cpp' \
  'geometry/src/*.cpp' 'common/src/*.cpp' | xargs -n 4 -P 2 clang-tidy -p build --quiet
echo "lint: clean"
