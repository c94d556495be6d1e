#!/usr/bin/env bash
# Golden NC programs: writes every case of tests/golden/nc/cases.txt through
# every post of data/Posts.Cfg with tarnak-cli, and compares the programs
# with the stored ones byte for byte (check) or stores them anew (update).
#
#   nc_golden.sh CLI SOURCE_DIR check|update
#
# The "Created <time> <date>" comment is the one line that differs from run
# to run; its time and date are blanked before comparing and storing.
set -u -o pipefail

if [ $# -ne 3 ] || { [ "$3" != check ] && [ "$3" != update ]; }; then
  echo "usage: $0 CLI SOURCE_DIR check|update" >&2
  exit 2
fi
cli=$1
source_dir=$(cd "$2" && pwd)
mode=$3
golden="$source_dir/tests/golden/nc"
corpus="${TARNAK_CORPUS_DIR:-$source_dir/../shared/corpus}/dxf"
posts_file="$source_dir/data/Posts.Cfg"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tarnak_golden.XXXXXX") || exit 2
trap 'rm -rf "$scratch"' EXIT
# A settings folder of our own: the shipped Posts.Cfg, no presets, default
# options, whatever the developer's own settings hold.
export TARNAK_HOME="$scratch/home"
mkdir -p "$TARNAK_HOME"
export LC_ALL=C

mapfile -t posts < <(sed -n 's/^\[\(.*\)\][[:space:]]*$/\1/p' "$posts_file" | tr -d '\r')
if [ ${#posts[@]} -eq 0 ]; then
  echo "no post sections in $posts_file" >&2
  exit 2
fi

failures=0
count=0
while read -r name command drawing args; do
  case "$name" in ''|'#'*) continue ;; esac
  for post in "${posts[@]}"; do
    file="$name/${post// /_}.nc"
    out="$scratch/out.nc"
    rm -f "$out"
    # shellcheck disable=SC2086  # the arguments are split as written
    if ! "$cli" "$command" "$corpus/$drawing" $args -o "$out" --post "$post" \
        > "$scratch/cli.out" 2> "$scratch/cli.err"; then
      echo "FAILED to write $file:" >&2
      cat "$scratch/cli.err" >&2
      failures=$((failures + 1))
      continue
    fi
    sed -i 's/Created .* from /Created (time) from /' "$out"
    count=$((count + 1))
    if [ "$mode" = update ]; then
      mkdir -p "$golden/$name"
      cp "$out" "$golden/$file"
    elif ! cmp -s "$out" "$golden/$file"; then
      failures=$((failures + 1))
      echo "MISMATCH: $file (case '$name', post '$post')" >&2
      if [ -f "$golden/$file" ]; then
        diff -u --label "stored tests/golden/nc/$file" --label "written now" \
          <(tr -d '\r' < "$golden/$file") <(tr -d '\r' < "$out") | head -n 20 >&2
        cmp "$golden/$file" "$out" >&2
      else
        echo "  no stored file tests/golden/nc/$file" >&2
      fi
    fi
  done
done < "$golden/cases.txt"

if [ "$mode" = update ]; then
  echo "stored $count golden NC programs under tests/golden/nc"
  [ $failures -eq 0 ] || exit 1
  exit 0
fi
if [ $failures -ne 0 ]; then
  echo "$failures of $((count)) golden NC programs differ." >&2
  echo "If the change of the NC output is meant, store the new programs with" >&2
  echo "  scripts/update_nc_golden.sh [BUILD_DIR]" >&2
  echo "and say why in the commit message." >&2
  exit 1
fi
echo "all $count golden NC programs are the same"
