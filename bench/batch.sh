#!/usr/bin/env bash
# Times the corpus converted by one batch on two threads against the same batch on
# one thread (the drawings one after another), and prints the ratio (goal: 0.6 or less).
# Usage: [LAYER=0] [ROUNDS=5] bench/batch.sh [BUILD_DIR [ARGS_FILE]]
#   ARGS_FILE: drawing or drawing@layer lines (the layers are left out: every drawing is cut
#   on LAYER, the corpus's most used one); default: every drawing of ../shared/corpus/dxf.
#   Each batch runs ROUNDS times and its fastest run counts, so that a busy moment of a
#   shared machine does not decide the ratio.
set -eu
build=${1:-build}
list=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/korvex" "$build/korvex.ini" "$work/"
cp -r "$build/devices" "$work/"
if [ -n "$list" ]; then
  mapfile -t drawings < <(sed -e 's/@[^@]*$//' "$list")
else
  mapfile -t drawings < <(ls -d "$(dirname "$0")"/../../shared/corpus/dxf/*.dxf)
fi
now() { date +%s.%N; }
run() {   # run JOBS: the batch ROUNDS times into a fresh folder; prints its fastest seconds
  local best="" t0 t1
  for _ in $(seq "${ROUNDS:-5}"); do
    rm -rf "$work/out$1" && mkdir "$work/out$1"
    t0=$(now)
    "$work/korvex" --batch -j "$1" -l "${LAYER:-0}" -o "$work/out$1" "${drawings[@]}" >"$work/out$1.txt" 2>&1 </dev/null || true
    t1=$(now)
    best=$(awk -v a="$t0" -v b="$t1" -v best="$best" 'BEGIN { d = b - a; print (best == "" || d < best) ? d : best }')
  done
  echo "$best"
}
one=$(run 1)
two=$(run 2)
printf 'drawings: %d (converted: %d)\none thread:  %.2f s\ntwo threads: %.2f s\nratio: %.2f\n' "${#drawings[@]}" "$(grep -c ': status 0 ' "$work/out1.txt" || true)" "$one" "$two" "$(awk -v a="$two" -v b="$one" 'BEGIN { print a / b }')"
# The two batches must have written the same programs.
for f in "$work"/out1/*; do
  case $f in *_outlog.txt|*_results.htm|*_jobs.htm|*_check.htm) continue ;; esac
  cmp -s "$f" "$work/out2/$(basename "$f")" || echo "DIFF $(basename "$f")"
done
