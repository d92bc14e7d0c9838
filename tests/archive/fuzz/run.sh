#!/usr/bin/env bash
# Builds the archive reader's fuzz target with clang (libFuzzer + ASan +
# UBSan) and runs a short, bounded smoke from the sample archive.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../../.." && pwd)
OUT=$ROOT/build/fuzz/archive
SECONDS_TO_RUN=${ARCHIVE_FUZZ_SECONDS:-10}
mkdir -p "$OUT/corpus"

clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$ROOT/Engine/Include" \
  "$ROOT"/Engine/Src/Graphics/Archive/*.cpp "$ROOT/Engine/Src/Utils/Log.cpp" \
  "$ROOT/tests/archive/fuzz/ArchiveFuzz.cpp" -o "$OUT/archive_fuzz"

SAMPLE=$ROOT/build/host/content/tests/Sample.SSS
[ -f "$SAMPLE" ] && cp "$SAMPLE" "$OUT/corpus/"
rc=0
"$OUT/archive_fuzz" -max_total_time="$SECONDS_TO_RUN" -timeout=5 -rss_limit_mb=2048 -malloc_limit_mb=256 \
  -print_final_stats=1 -artifact_prefix="$OUT/" "$OUT/corpus" >"$OUT/fuzz.log" 2>&1 || rc=$?
if [ $rc -ne 0 ]; then
  grep -A40 -m1 "ERROR\|==ERROR\|runtime error" "$OUT/fuzz.log" || tail -n 40 "$OUT/fuzz.log"
  echo "archive fuzz smoke: FAILED (full log: $OUT/fuzz.log)"
  exit $rc
fi
grep "^Done\|peak_rss" "$OUT/fuzz.log"
echo "archive fuzz smoke: passed"
