#!/usr/bin/env bash
# Runs every built fuzz target for a bounded time, each seeded from the
# matching folder of the test corpus. Fails on the first finding.
set -euo pipefail
build=$1
corpus=$2
seconds=${3:-60}
status=0
for target in "$build"/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  kind=${name%%_*}
  work=$(mktemp -d)
  if [ -d "$corpus/$kind" ]; then cp "$corpus/$kind"/* "$work"/ 2>/dev/null || true; fi
  if [ -d fuzz/seeds/$kind ]; then cp fuzz/seeds/$kind/* "$work"/ 2>/dev/null || true; fi
  # Targets with a smaller input space get a shorter bound.
  # Targets with a smaller input space get a shorter bound; the STL seeds
  # are cut to 16 KiB so that the short run mutates many of them.
  limit=$seconds
  extra=()
  case $name in
    stl_reader_fuzz) [ "$limit" -gt 30 ] && limit=30; extra=(-max_len=16384) ;;
  esac
  echo "fuzz: $name for ${limit}s"
  if ! "$target" "${extra[@]}" -max_total_time="$limit" -rss_limit_mb=4096 -timeout=20 -print_final_stats=0 \
      -artifact_prefix="$build/$name-" "$work" >"$build/$name.log" 2>&1; then
    echo "fuzz: $name found a problem:"; tail -n 60 "$build/$name.log"; status=1
  else
    grep -E '^(#[0-9]+ +DONE|Done)' "$build/$name.log" | tail -n 1 || true
  fi
  rm -rf "$work"
done
exit $status
