#!/usr/bin/env bash
# Runs each parser's libFuzzer target for a bounded time, seeded from the
# given files and folders; the corpus grows in build/host/fuzz-corpus/NAME
# from run to run, logs and any failing input go to build/logs/.
#
#   scripts/fuzz.sh                 every target, FUZZ_SECONDS (10) each
#   FUZZ_SECONDS=600 scripts/fuzz.sh NAME...   the named targets only
#   FUZZ_TIMEOUT (5) seconds per input; FUZZ_NO_BUILD=1 runs the targets as
#   built (for several runs side by side).
#
# The host tree must be built (scripts/build.sh). Fails when any run finds
# a fault.
set -uo pipefail
cd "$(dirname "$0")/.."
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
mkdir -p build/logs
status=0
wanted=" $* "

fuzz_smoke() { # name seed...
  local name=$1 log=build/logs/fuzz-$1.txt corpus=build/host/fuzz-corpus/$1
  shift
  if [ "$wanted" != "  " ] && [[ "$wanted" != *" $name "* ]]; then return; fi
  echo "== fuzz smoke: $name"
  mkdir -p "$corpus"
  local seed
  for seed in "$@"; do
    if [ -d "$seed" ]; then cp -r "$seed"/. "$corpus"/; else cp "$seed" "$corpus"/; fi
  done
  : >"$log"
  if { [ -n "${FUZZ_NO_BUILD:-}" ] || cmake --build build/host --target "$name" >"$log" 2>&1; } &&
     "build/host/fuzz/$name" -max_total_time=${FUZZ_SECONDS:-10} -timeout=${FUZZ_TIMEOUT:-5} -print_final_stats=1 \
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
exit $status
