#!/usr/bin/env bash
# Runs every built fuzz target for a bounded time, each seeded from the
# matching folder of the test corpus and of fuzz/seeds. Fails when any
# target finds a problem: a crash, a sanitizer report (they all halt), a
# leak, an input slower than the per-input timeout or a memory blow-up.
#
#   run_fuzzers.sh BUILD CORPUS [SECONDS]
#
# Without SECONDS the drawing readers run 60 s each and the settings files
# 25 s each; with it, every target runs that long. Targets run side by side,
# as many at once as there are processors (FUZZ_JOBS overrides), so the
# stage takes about the total time divided by that number.
set -euo pipefail
build=$1
corpus=$2
seconds=${3:-}
status=0
jobs=${FUZZ_JOBS:-$(nproc)}
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
run_one() {
  local target=$1 name kind time work log
  local -a extra
  name=$(basename "$target")
  kind=${name%%_*}
  time=$seconds
  if [ -z "$time" ]; then
    case $kind in
      dxf) time=60 ;;
      stl) time=30 ;;  # the text and the binary reader: a minute together
      nc) time=60 ;;
      gerber) time=30 ;;
      *) time=25 ;;
    esac
  fi
  work=$(mktemp -d)
  if [ -d "$corpus/$kind" ]; then cp "$corpus/$kind"/* "$work"/ 2>/dev/null || true; fi
  if [ -d fuzz/seeds/$kind ]; then cp fuzz/seeds/$kind/* "$work"/ 2>/dev/null || true; fi
  # The STL seeds are cut to 16 KiB so that a short run mutates many of them.
  extra=()
  case $kind in
    stl) extra=(-max_len=16384) ;;
    nc) extra=(-max_len=65536) ;;
  esac
  log="$build/$name.log"
  if ! "$target" "${extra[@]}" -max_total_time="$time" -rss_limit_mb=4096 -timeout=5 -print_final_stats=0 \
      -artifact_prefix="$build/$name-" "$work" >"$log" 2>&1; then
    echo "fuzz: $name found a problem:"; tail -n 60 "$log"; return 1
  elif grep -qE 'runtime error:|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|SUMMARY: ' "$log"; then
    # A report that did not stop the run still counts.
    echo "fuzz: $name reported a problem:"; grep -nE -A20 'runtime error:|ERROR: |SUMMARY: ' "$log" | head -n 60
    return 1
  fi
  echo "fuzz: $name for ${time}s: $(grep -E '^(#[0-9]+ +DONE|Done)' "$log" | tail -n 1)"
  rm -rf "$work"
}

# Each target's report is printed whole when it ends, so that the reports
# of targets running side by side do not interleave.
pids=()
for target in "$build"/fuzz/*_fuzz; do
  [ -x "$target" ] || continue
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
  ( out=$(mktemp); rc=0; run_one "$target" >"$out" 2>&1 || rc=$?; cat "$out"; rm -f "$out"; exit $rc ) &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
