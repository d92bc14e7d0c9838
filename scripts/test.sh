#!/usr/bin/env bash
# Sets the machine up, builds both trees and runs every test: the host tests
# natively (under sanitizers), then the Windows tests under Wine on Xvfb.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
bash scripts/setup.sh || exit 1
bash scripts/build.sh || exit 1
JOBS=${JOBS:-$(nproc)}

. scripts/xvfb.sh
tarnholm_start_xvfb || exit 1
scripts/wine-prefix.sh || exit 1
# The first Wine program starts the Wine server and its services, which keep
# that program's output open while they live: CTest would count that test as
# running until the last Wine test ends. Start them here, detached, for the
# whole run (tarnholm_stop_xvfb ends the server).
WINEPREFIX=$ROOT/build/win/wineprefix wineserver -p </dev/null >/dev/null 2>&1
scripts/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1

status=0
mkdir -p build/logs
# The host tests and the fuzz targets are built not to recover from a
# sanitizer finding; these options make every report end its run with a
# failure as well.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
echo "== library link graph"
bash scripts/check-link-cycles.sh build/win || status=1
echo "== host tests"
(cd build/host && ctest -j "$JOBS" --output-on-failure) 2>&1 | tee build/logs/host-tests.txt || status=1
echo "== Windows tests under Wine"
(cd build/win && ctest -j "$JOBS" --output-on-failure) 2>&1 | tee build/logs/win-tests.txt || status=1

# A short, bounded libFuzzer run of each parser's fuzz target, seeded from
# the given files and folders.
fuzz_smoke() { # name seed...
  local name=$1 log=build/logs/fuzz-$1.txt corpus=build/host/fuzz-corpus/$1
  shift
  echo "== fuzz smoke: $name"
  mkdir -p "$corpus"
  local seed
  for seed in "$@"; do
    if [ -d "$seed" ]; then cp -r "$seed"/. "$corpus"/; else cp "$seed" "$corpus"/; fi
  done
  if cmake --build build/host --target "$name" >"$log" 2>&1 &&
     "build/host/fuzz/$name" -max_total_time=${FUZZ_SECONDS:-10} -timeout=5 -print_final_stats=1 \
       -artifact_prefix="build/logs/fuzz-$name-" \
       "$corpus" >>"$log" 2>&1; then
    grep -m1 "stat::number_of_executed_units" "$log"
  else
    echo "fuzz smoke $name FAILED (see $log)"; status=1
  fi
}
fuzz_smoke asm_fuzzer tests/asm/corpus
fuzz_smoke tuning_fuzzer tests/foundation/fixtures/roundtrip.txt content/values.txt tests/foundation/fuzz/regressions
fuzz_smoke archive_fuzzer build/host/content/tests/Sample.SSS build/host/content/Clock.SSS
fuzz_smoke image_fuzzer build/host/fuzz-seeds/image
fuzz_smoke mesh_record_fuzzer build/host/content/TestScene.SSS build/host/content/tests/FaultScene.SSS
fuzz_smoke effect_xml_fuzzer content/effects/DIFFUSE.XML content/effects/DIFFUSEBUMPSTENCILSHADOW.XML \
  content/effects/DIFFUSEREFRACTIONBUMP.XML tests/effects/fuzz/regressions
fuzz_smoke control_effect_fuzzer content/effects/DiffuseEffect.txt
fuzz_smoke crew_script_fuzzer content/Animation.txt
fuzz_smoke grass_grid_fuzzer tests/grass/fuzz/seeds
fuzz_smoke sound_read_fuzzer build/host/fuzz-seeds/sound
fuzz_smoke playlist_fuzzer tests/music/fuzz/seeds
fuzz_smoke options_fuzzer tests/bench/fuzz/seeds
fuzz_smoke font_fuzzer build/host/content/NEWFONT.FNT build/host/content/RUSFONT.FNT
fuzz_smoke settings_fuzzer tests/foundation/fuzz/settings-seeds
fuzz_smoke camera_states_fuzzer tests/culling/fuzz/seeds
fuzz_smoke tangent_cache_fuzzer tests/culling/fuzz/tangent-seeds
fuzz_smoke languages_fuzzer content/Languages.xml tests/foundation/fuzz/languages-regressions
fuzz_smoke lua_meta_fuzzer content/effects/DIFFUSEBUMP.XML content/effects/DIFFUSEENVIRONMENTBUMP.XML

sum() { sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -n1; }
read -r f1 t1 <<<"$(sum build/logs/host-tests.txt)"
read -r f2 t2 <<<"$(sum build/logs/win-tests.txt)"
failed=$(( ${f1:-0} + ${f2:-0} ))
total=$(( ${t1:-0} + ${t2:-0} ))
if [ -z "${t1:-}" ] || [ -z "${t2:-}" ]; then status=1; fi
[ $failed -eq 0 ] || status=1
echo "$((total - failed)) passed, $failed failed"
exit $status
