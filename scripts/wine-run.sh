#!/usr/bin/env bash
# Runs a Windows program under Wine with the build tree's own prefix.
# Used by CTest as the cross-compiling emulator and by the run script.
#   scripts/wine-run.sh [--windows-exit] PROGRAM ARGS...
# Without a DISPLAY it starts a private Xvfb for the duration of the command.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$ROOT/build/win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEARCH=win64
# With glibc's default allocator thresholds Wine's Direct3D worker thread
# spends about half its time growing and trimming its heap (thousands of
# mprotect/madvise calls a second): a large terrain drew at a quarter of the
# frame rate, and frame times depended on what had been drawn before. Raised
# thresholds keep freed memory in the heap. Every Windows program the scripts
# and tests start comes through here.
export GLIBC_TUNABLES=${GLIBC_TUNABLES:-glibc.malloc.trim_threshold=268435456:glibc.malloc.mmap_threshold=33554432}

# DirectSound needs an ALSA device: our own configuration gives it one that
# plays at the pace of a sound card into $TARNHOLM_SOUND_CAPTURE (or
# nowhere). Set TARNHOLM_SOUND=system to use the machine's own sound device.
if [ "${TARNHOLM_SOUND:-sink}" != system ]; then
  export ALSA_CONFIG_PATH=${ALSA_CONFIG_PATH:-$ROOT/scripts/alsa/asound.conf}
  sink=$ROOT/build/host/tools/SoundSink/sound_sink
  if [ -x "$sink" ]; then
    export TARNHOLM_SOUND_SINK="|exec '$sink' '${TARNHOLM_SOUND_CAPTURE:--}'"
  else
    export TARNHOLM_SOUND_SINK=${TARNHOLM_SOUND_CAPTURE:-/dev/null}
  fi
fi

"$ROOT/scripts/wine-prefix.sh" || exit 1

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 +extension GLX" "$0" "$@"
fi
# "wine-run.sh --windows-exit EXE ARGS..." runs EXE in the current folder
# through Wine's "start /wait", whose exit status is the code the program
# ended with, as a Windows parent sees it. Run directly, a program's status
# is that of its Unix process: Wine's server kills a process whose Unix side
# is still tearing down half a second after its last Windows thread ended
# (on a busy machine, Mesa's idle-priority shader-cache thread can hold it up
# that long), and the status is then 137 whatever the program returned.
if [ "${1:-}" = --windows-exit ]; then
  shift
  set -- start /d "Z:${PWD//\//\\}" /wait /unix "$@"
fi
exec wine "$@"
