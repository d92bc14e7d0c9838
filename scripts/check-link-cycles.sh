#!/usr/bin/env bash
# Fails when the link graph of a configured build tree (the Windows tree by
# default, which holds every library) has a cycle, and names the libraries on
# it. The engine's libraries form a ladder: each links only those below it.
set -euo pipefail
cd "$(dirname "$0")/.."
TREE=${1:-build/win}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if ! cmake --graphviz="$out/links.dot" "$TREE" >"$out/cmake.log" 2>&1; then
  cat "$out/cmake.log" >&2
  echo "link cycles: cannot read the link graph of $TREE" >&2
  exit 1
fi

# Node ids to target names, then every edge as a pair of names for tsort,
# which reports a loop on its error output.
awk '
  /^[ \t]*"node[0-9]+" \[ label = / {
    id = $1; gsub(/"/, "", id)
    name = $0; sub(/.*label = "/, "", name); sub(/".*/, "", name)
    label[id] = name
  }
  /^[ \t]*"node[0-9]+" -> "node[0-9]+"/ {
    from = $1; to = $3; gsub(/"/, "", from); gsub(/"/, "", to)
    edge[++n] = from " " to
  }
  END {
    for (i = 1; i <= n; ++i) {
      split(edge[i], e, " ")
      print label[e[1]], label[e[2]]
    }
  }' "$out/links.dot" >"$out/pairs"

if ! [ -s "$out/pairs" ]; then
  echo "link cycles: the link graph of $TREE is empty" >&2
  exit 1
fi
if ! tsort "$out/pairs" >/dev/null 2>"$out/tsort.log"; then
  echo "link cycles: these libraries link each other in a cycle:" \
    $(grep -v "input contains a loop" "$out/tsort.log" | sed 's/^tsort: //' | sort -u) >&2
  exit 1
fi
echo "link cycles: none among $(cut -d' ' -f1 "$out/pairs" | sort -u | wc -l) linking targets of $TREE"
