#!/usr/bin/env bash
# Times the corpus converted by one batch on two threads against the same batch on
# one thread (the drawings one after another), and prints the ratio (goal: 0.6 or less).
# Usage: [LAYER=0] bench/batch.sh [BUILD_DIR [ARGS_FILE]]   (ARGS_FILE: drawing@layer lines; the
# layers are left out and every drawing is cut on LAYER, the corpus's most used one, so that most
# drawings are converted and not only read)
# The machine may be shared: run it more than once before trusting a number.
set -eu
build=${1:-build}
list=${2:-/work/corpus_args.txt}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/korvex" "$build/korvex.ini" "$work/"
cp -r "$build/devices" "$work/"
mapfile -t drawings < <(sed -e 's/@[^@]*$//' "$list")
now() { date +%s.%N; }
run() {   # run JOBS: one batch into a fresh folder; prints its seconds
  rm -rf "$work/out$1" && mkdir "$work/out$1"
  local t0 t1
  t0=$(now)
  "$work/korvex" --batch -j "$1" -l "${LAYER:-0}" -o "$work/out$1" "${drawings[@]}" >"$work/out$1.txt" 2>&1 </dev/null || true
  t1=$(now)
  echo "$t1 - $t0" | bc -l
}
one=$(run 1)
two=$(run 2)
printf 'drawings: %d (converted: %d)\none thread:  %.2f s\ntwo threads: %.2f s\nratio: %.2f\n' "${#drawings[@]}" "$(grep -c ': status 0 ' "$work/out1.txt" || true)" "$one" "$two" "$(echo "$two / $one" | bc -l)"
# The two batches must have written the same programs.
for f in "$work"/out1/*; do
  case $f in *_outlog.txt|*_results.htm|*_jobs.htm|*_check.htm) continue ;; esac
  cmp -s "$f" "$work/out2/$(basename "$f")" || echo "DIFF $(basename "$f")"
done
