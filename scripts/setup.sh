#!/usr/bin/env bash
# Prepares a Debian 12 machine for building and testing Tarnholm: installs
# what is missing, fetches the Windows build's third-party sources and
# configures both build trees. Safe to run again; does nothing it need not.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  cmake ninja-build pkg-config g++ clang libclang-rt-14-dev dpkg-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 xvfb xdotool x11-apps imagemagick libgl1-mesa-dri libglx-mesa0
  libboost1.81-dev libstb-dev googletest
  liblua5.1-0-dev libtinyxml-dev libogg-dev libvorbis-dev libjpeg62-turbo-dev
  libfreetype-dev fonts-dejavu-core
  # The Wine run tests read pictures with small Python and Perl helpers.
  python3 perl
  # Wine's DirectShow parses and decodes through GStreamer (WAV, MP3); the
  # music tests encode their MP3 with LAME.
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good libmp3lame-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# Source packages for the Windows build of the third-party libraries.
SRC_PACKAGES=(lua5.1 tinyxml libogg libvorbis libjpeg-turbo)
DEPS=$ROOT/.deps/src
need_src=0
for p in "${SRC_PACKAGES[@]}"; do
  [ -f "$DEPS/$p.ok" ] || need_src=1
done

# A deb-src entry derived from the machine's own apt sources (never a fixed host).
ensure_deb_src() {
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null; then
    return 0
  fi
  local out=/etc/apt/sources.list.d/tarnholm-deb-src
  if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
    for f in /etc/apt/sources.list.d/*.sources; do
      sed -e 's/^Types:.*$/Types: deb-src/' "$f"
      echo
    done | $SUDO tee "$out.sources" >/dev/null
  fi
  if [ -f /etc/apt/sources.list ] && grep -qE '^deb ' /etc/apt/sources.list; then
    grep -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' | $SUDO tee "$out.list" >/dev/null
  fi
  return 1
}

updated=0
if [ ${#missing[@]} -gt 0 ] || [ $need_src = 1 ]; then
  ensure_deb_src || true
  echo "setup: apt-get update"
  $SUDO apt-get update -qq
  updated=1
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ $need_src = 1 ]; then
  mkdir -p "$DEPS"
  for p in "${SRC_PACKAGES[@]}"; do
    [ -f "$DEPS/$p.ok" ] && continue
    echo "setup: fetching the source of $p"
    tmp=$(mktemp -d "$DEPS/.fetch.XXXXXX")
    (cd "$tmp" && apt-get source -qq "$p" >/dev/null 2>&1 || apt-get source -qq --download-only "$p" >/dev/null)
    dir=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -n1)
    if [ -z "$dir" ]; then
      # dpkg-source unavailable or failed: unpack the orig tarball ourselves.
      orig=$(ls "$tmp"/*.orig.tar.* | head -n1)
      mkdir "$tmp/x" && tar -xf "$orig" -C "$tmp/x"
      dir=$(find "$tmp/x" -mindepth 1 -maxdepth 1 -type d | head -n1)
    fi
    rm -rf "${DEPS:?}/$p"
    mv "$dir" "$DEPS/$p"
    rm -rf "$tmp"
    touch "$DEPS/$p.ok"
  done
fi

# The Wine prefix and the cross toolchain's posix threads variant.
if command -v update-alternatives >/dev/null; then
  for t in gcc g++; do
    cur=$(update-alternatives --query x86_64-w64-mingw32-$t 2>/dev/null | sed -n 's/^Value: //p')
    case "$cur" in *posix*) ;; *) $SUDO update-alternatives --set x86_64-w64-mingw32-$t /usr/bin/x86_64-w64-mingw32-$t-posix >/dev/null 2>&1 || true;; esac
  done
fi

GEN=()
command -v ninja >/dev/null && GEN=(-G Ninja)
if [ ! -f build/host/CMakeCache.txt ]; then
  cmake -S . -B build/host "${GEN[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNHOLM_SANITIZE=ON >/dev/null
fi
if [ ! -f build/win/CMakeCache.txt ]; then
  cmake -S . -B build/win "${GEN[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DTARNHOLM_HOST_TOOLS_DIR="$ROOT/build/host" >/dev/null
fi
# Every command the build, run and test scripts call must now be on the PATH.
REQUIRED_COMMANDS=(
  cmake ninja g++ clang x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres
  x86_64-w64-mingw32-dlltool wine wineboot wineserver Xvfb xvfb-run xdotool xwd convert
  apt-get flock timeout python3 perl
)
absent=()
for c in "${REQUIRED_COMMANDS[@]}"; do
  command -v "$c" >/dev/null 2>&1 || absent+=("$c")
done
if [ ${#absent[@]} -gt 0 ]; then
  echo "setup: missing commands after installing: ${absent[*]}" >&2
  exit 1
fi
echo "setup: ready"
