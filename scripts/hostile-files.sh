#!/usr/bin/env bash
# Runs the screensaver against every hostile-file case (the test suite runs
# a representative few): broken tuning, scene, font files in its working
# folder, extreme settings and playlists in the registry. Each case's log and
# picture stay in build/hostile/CASE/.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh >/dev/null || exit 1
bash scripts/build.sh >/dev/null || { echo "hostile-files: the build failed" >&2; exit 1; }
export WINEPREFIX=$ROOT/build/win/wineprefix
exec bash tests/program/HostileFilesTest.sh "$ROOT/build/win/src/App/Tarnholm 3D Screensaver.exe" "$ROOT/build/hostile" all
