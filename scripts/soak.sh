#!/usr/bin/env bash
# Runs the screensaver on Xvfb (sounds played into the sink and dropped) for
# MINUTES and samples it every 10 s into build/soak/samples.txt: resident
# memory, open descriptors and threads of its process, and whether the
# picture changed (the clock's second hand moves every second, so a picture
# that stands still means no frames). Fails when the resident memory after
# the first two minutes grows by more than 5 %, the descriptors or threads
# grow at every sample of the last minute, the picture stands still, the log
# gets an error line, or the program does not end with 0 on a key press.
#   scripts/soak.sh [MINUTES]      (default 60; SOAK_NO_BUILD=1 skips the build;
#   SOAK_EXE, SOAK_WINEPREFIX and SOAK_OUT run another copy in its own prefix, beside the tests)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
MINUTES=${1:-60}
if [ -z "${SOAK_NO_BUILD:-}" ]; then
  bash scripts/setup.sh >/dev/null || exit 1
  bash scripts/build.sh >/dev/null || { echo "soak: the build failed" >&2; exit 1; }
fi
EXE=${SOAK_EXE:-"$ROOT/build/win/src/App/Tarnholm 3D Screensaver.exe"}
OUT=${SOAK_OUT:-$ROOT/build/soak}
rm -rf "$OUT"; mkdir -p "$OUT"
export WINEPREFIX=${SOAK_WINEPREFIX:-$ROOT/build/win/wineprefix}
unset TARNHOLM_SOUND_CAPTURE
. scripts/xvfb.sh
. scripts/app-session.sh
tarnholm_start_xvfb || exit 1
LOG=$WINEPREFIX/drive_c/windows/system32/Tarnholm.log
"$ROOT/scripts/wine-run.sh" reg delete 'HKEY_LOCAL_MACHINE\Software\Vellomaris\Tarnholm 3D Screensaver' /f \
  >/dev/null 2>&1
rm -f "$LOG"
cd "$OUT"
tarnholm_app_start "$EXE"
if ! tarnholm_app_wait_log "$LOG" "Loading scene completed" 120; then
  echo "soak: the scene did not load" >&2; cp "$LOG" run.log 2>/dev/null; tarnholm_app_close 10; exit 1
fi
pid=
for i in $(seq 50); do
  pid=$(tarnholm_app_processes | awk '$1 == "program" { print $2 }' | tail -n1)
  [ -n "$pid" ] && break
  sleep 0.2
done
[ -n "$pid" ] || { echo "soak: no process found" >&2; tarnholm_app_close 10; exit 1; }

echo "# seconds rss_kb descriptors threads picture" > samples.txt
samples=$(( MINUTES * 6 ))
prev=
for s in $(seq "$samples"); do
  sleep 10
  if ! kill -0 "$pid" 2>/dev/null; then echo "soak: the program ended after $(( s * 10 )) s" >&2; break; fi
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
  threads=$(ls "/proc/$pid/task" 2>/dev/null | wc -l)
  tarnholm_app_screenshot shot.png
  pic=$(convert shot.png rgb:- 2>/dev/null | md5sum | cut -c1-12)
  echo "$(( s * 10 )) $rss $fds $threads $pic" >> samples.txt
  prev=$pic
done
tarnholm_app_screenshot last.png
tarnholm_app_close 30
cp "$LOG" run.log 2>/dev/null

fail=0
verdict() { echo "soak: FAIL: $1"; fail=1; }
[ "$TARNHOLM_APP_RC" = 0 ] || verdict "exit code $TARNHOLM_APP_RC"
n=$(grep -vc '^#' samples.txt)
[ "$n" -ge "$samples" ] || verdict "only $n of $samples samples"
if [ ! -s run.log ]; then verdict "no log from the program"
elif grep -i "error" run.log >/dev/null; then verdict "error lines in the log:"; grep -i "error" run.log | head -5; fi
awk -v minutes="$MINUTES" '
  !/^#/ { t[NR] = $1; rss[NR] = $2; fd[NR] = $3; th[NR] = $4; pic[NR] = $5; n = NR }
  END {
    base = 0
    for (i = 2; i <= n; i++) if (t[i] >= 120 && !base) base = i
    if (base) {
      top = rss[base]
      for (i = base; i <= n; i++) if (rss[i] > top) top = rss[i]
      growth = (top - rss[base]) * 100.0 / rss[base]
      printf "soak: resident memory %.0f MB at 2 min, %.0f MB at most after, %+.1f %%\n", rss[base] / 1024, top / 1024, growth
      if (growth > 5) { print "soak: FAIL: memory grew by more than 5 %"; bad = 1 }
    }
    # A resource that grew at each of the last six samples keeps growing.
    if (n >= 8) {
      fg = tg = 1
      for (i = n - 5; i <= n; i++) { if (fd[i] <= fd[i - 1]) fg = 0; if (th[i] <= th[i - 1]) tg = 0 }
      if (fg) { print "soak: FAIL: open descriptors keep growing"; bad = 1 }
      if (tg) { print "soak: FAIL: threads keep growing"; bad = 1 }
    }
    for (i = 3; i <= n; i++) if (pic[i] == pic[i - 1]) { printf "soak: FAIL: the picture stood still at %d s\n", t[i]; bad = 1; break }
    printf "soak: descriptors %d to %d, threads %d to %d\n", fd[2], fd[n], th[2], th[n]
    exit bad
  }' samples.txt || fail=1
echo "soak: samples in $OUT/samples.txt, log in $OUT/run.log"
[ $fail = 0 ] && echo "soak: passed ($MINUTES min)"
exit $fail
