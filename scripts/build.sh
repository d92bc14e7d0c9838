#!/usr/bin/env bash
# Builds both trees: the host tree first (it generates the content that the
# Windows resources pull in), then the Windows tree.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-$(nproc)}
cmake --build build/host -j "$JOBS"
cmake --build build/win -j "$JOBS"
