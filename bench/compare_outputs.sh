#!/usr/bin/env bash
# Runs two korvex builds on the same drawings and reports any difference in what
# they print or write (console text, NC program, log, statistics page, element dump).
# Usage: bench/compare_outputs.sh OLD_BUILD_DIR NEW_BUILD_DIR DRAWING[@LAYER]...
# A layer after "@" is set as the work layer in both settings files; lines in
# COMPARE_SETTINGS (e.g. "AutoStartHoles: 1") are added to both settings files;
# COMPARE_ARGS (e.g. "-bulk", which adds the element dump) go before the drawing.
set -u
old=$1 new=$2; shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for side in old new; do
  mkdir -p "$work/$side"
  src=$([ $side = old ] && echo "$old" || echo "$new")
  cp "$src/korvex" "$src/korvex.ini" "$work/$side/" || exit 2
  cp -r "$src/devices" "$work/$side/" || exit 2
done
for arg in "$@"; do
  dxf=${arg%%@*}
  layer=""
  [ "$dxf" != "$arg" ] && layer=${arg#*@}
  name=$(basename "$arg")
  for side in old new; do
    src=$([ $side = old ] && echo "$old" || echo "$new")
    cp "$src/korvex.ini" "$work/$side/korvex.ini"
    if [ -n "$layer" ]; then
      grep -v '^LayerName:' "$src/korvex.ini" >"$work/$side/korvex.ini"
      printf "LayerName: '%s'\n" "$layer" >>"$work/$side/korvex.ini"
    fi
    [ -n "${COMPARE_SETTINGS:-}" ] && printf '%s\n' "$COMPARE_SETTINGS" >>"$work/$side/korvex.ini"
    cp "$dxf" "$work/$side/drawing.dxf"
    rm -f "$work/$side"/_nwd_out* "$work/$side"/_outlog.txt "$work/$side"/_results.htm "$work/$side"/_elemblk.txt
    (cd "$work/$side" && ./korvex ${COMPARE_ARGS:-} drawing.dxf >stdout.txt 2>&1 </dev/null; echo "status $?" >>stdout.txt)
    # The statistics page and the log carry the time of the run.
    for f in "$work/$side"/_results.htm "$work/$side"/_outlog.txt; do
      [ -f "$f" ] && sed -i -E -e 's/[0-9]{1,2}[.:/-][0-9]{1,2}[.:/-][0-9]{2,4}//g' -e 's/[0-9]{1,2}:[0-9]{2}//g' "$f"
    done
  done
  for f in stdout.txt _nwd_out.NC _outlog.txt _results.htm _elemblk.txt; do
    if ! cmp -s "$work/old/$f" "$work/new/$f" 2>/dev/null; then
      if [ -e "$work/old/$f" ] || [ -e "$work/new/$f" ]; then
        echo "DIFF $name $f"; status=1
      fi
    fi
  done
done
[ $status = 0 ] && echo "all $# drawings: identical output"
exit $status
