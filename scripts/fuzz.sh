#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan)
# and gives each a short, bounded run from a seed corpus. FUZZ_SECONDS sets
# the time per target.
set -uo pipefail
cd "$(dirname "$0")/.."
OUT=build/fuzz
SECONDS_PER_TARGET=${FUZZ_SECONDS:-15}
CXX=${FUZZ_CXX:-clang++}
FLAGS=(-std=c++17 -O1 -g -fno-omit-frame-pointer -IEngine/Include -IEngine/Src/D3DX)
mkdir -p "$OUT"

# fuzz_target name "target sources" "seed generator sources"
fuzz_target() {
  local name=$1 sources=$2 seeds=$3
  local corpus=$OUT/corpus-$name
  echo "== fuzz $name: build"
  # shellcheck disable=SC2086
  $CXX "${FLAGS[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -fno-sanitize=shift $sources -o "$OUT/$name" || return 1
  mkdir -p "$corpus"
  if [ -n "$seeds" ]; then
    # shellcheck disable=SC2086
    $CXX "${FLAGS[@]}" -fno-sanitize=all $seeds -o "$OUT/$name-seeds" && "$OUT/$name-seeds" "$corpus" || return 1
  fi
  echo "== fuzz $name: ${SECONDS_PER_TARGET}s"
  "$OUT/$name" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$OUT/$name-" \
    "$corpus" >"$OUT/$name.log" 2>&1
  local rc=$?
  tail -n 12 "$OUT/$name.log"
  return $rc
}

status=0
fuzz_target image \
  "tests/d3dx/fuzz/ImageFuzz.cpp Engine/Src/D3DX/ImageDecode.cpp Engine/Src/D3DX/Dds.cpp Engine/Src/D3DX/PixelFormat.cpp Engine/Src/D3DX/Filter.cpp Engine/Src/D3DX/TextureFill.cpp" \
  "tests/d3dx/fuzz/ImageSeeds.cpp tests/d3dx/ImageFixtures.cpp" || status=1
exit $status
