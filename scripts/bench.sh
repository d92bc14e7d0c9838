#!/usr/bin/env bash
# Measures the program in benchmark mode: builds what is missing, then runs
# the program under Wine on Xvfb (1024x768) through our harness plug-in, once
# per graphics quality 0 to 4, each run in a process of its own. The plug-in
# sets the benchmark options of that quality, starts one benchmark run and
# writes down every call. One line per run: frames drawn, the frame rates
# (average, lowest and highest), the seconds from the process start to the
# first frame and the process's peak memory. The table also goes to
# build/bench/results.txt.
#   scripts/bench.sh [QUALITY...]
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

# The program measured.
EXE=${TARNHOLM_BENCH_EXE:-$ROOT/build/win/src/App/Tarnholm 3D Screensaver.exe}
PLUGIN=$ROOT/build/win/tests/bench/TarnholmTestOaPlugin.dll
OUT=$ROOT/build/bench
RUN_TIMEOUT=${BENCH_TIMEOUT:-900}
QUALITIES=${*:-0 1 2 3 4}

if [ -z "${BENCH_NO_BUILD:-}" ]; then
  bash scripts/setup.sh >/dev/null || exit 1
  bash scripts/build.sh >/dev/null || { echo "bench: the build failed" >&2; exit 1; }
fi
for f in "$EXE" "$PLUGIN"; do
  [ -f "$f" ] || { echo "bench: $f is missing" >&2; exit 1; }
done
export WINEPREFIX=$ROOT/build/win/wineprefix
. scripts/xvfb.sh
tarnholm_start_xvfb || exit 1

win() { echo "Z:${1//\//\\}"; }

# The benchmark options of one graphics quality, as the scene derives its
# flags from the quality setting.
quality_options() {
  local tex shaders stencil shadows grass smoke
  case $1 in
    0) tex=False shaders=False stencil=False shadows=False grass=0 smoke=0 ;;
    1) tex=False shaders=False stencil=False shadows=False grass=0 smoke=1 ;;
    2) tex=True shaders=False stencil=False shadows=True grass=1 smoke=2 ;;
    3) tex=True shaders=True stencil=False shadows=True grass=2 smoke=3 ;;
    *) tex=True shaders=True stencil=True shadows=True grass=2 smoke=3 ;;
  esac
  echo "User/Resolution:Enum:1024x768|User/HighQualityTextures:Bool:$tex|EnableShaders:Bool:$shaders"\
"|EnableStencilShadows:Bool:$stencil|EnableProjectionShadows:Bool:$shadows|EnableLeaves:Bool:$shadows"\
"|GrassQuality:Int:$grass|SmokeQuality:Int:$smoke"
}

# A value of the run: the program's own result when it sent one, else the
# plug-in's measurement of the same thing.
result() { # calls-file result-name summary-key
  local v
  v=$(sed -n "s/^result $2 Float \([^ ]*\)$/\1/p" "$1" | tail -n1)
  [ -n "$v" ] || v=$(sed -n "s/^ends .* $3=\([^ ]*\).*/\1/p" "$1" | tail -n1)
  printf '%.1f' "${v:-0}"
}

mkdir -p "$OUT"
header=$(printf '%-8s %7s %8s %8s %8s %8s %9s' quality frames AvgFPS LowFPS HiFPS load_s peak_MB)
echo "bench: $(basename "$EXE")"
echo "$header" | tee "$OUT/results.txt"
status=0
for q in $QUALITIES; do
  dir=$OUT/q$q
  rm -rf "$dir"; mkdir -p "$dir"
  calls=$dir/calls.txt
  init="$(win "$PLUGIN");calls=$(win "$calls")&commands=4,6:benchmark,0&set=$(quality_options "$q")"
  (cd "$dir" && timeout "$RUN_TIMEOUT" "$ROOT/scripts/wine-run.sh" "$EXE" -openautomate "${init// /%20}" \
     >stdout.txt 2>stderr.txt)
  rc=$?
  if ! grep -q '^ends ' "$calls" 2>/dev/null; then
    printf '%-8s run failed (exit code %s; see %s)\n' "$q" "$rc" "$dir" | tee -a "$OUT/results.txt"
    status=1
    continue
  fi
  frames=$(grep -c '^frame ' "$calls")
  load=$(sed -n 's/^ends .* load=\([^ ]*\).*/\1/p' "$calls" | tail -n1)
  peak=$(sed -n 's/^ends .* peak_mb=\([^ ]*\).*/\1/p' "$calls" | tail -n1)
  printf '%-8s %7s %8s %8s %8s %8s %9s\n' "$q" "$frames" "$(result "$calls" AvgFPS avg)" \
    "$(result "$calls" LowFPS low)" "$(result "$calls" HiFPS high)" "$load" "$peak" | tee -a "$OUT/results.txt"
done
exit $status
