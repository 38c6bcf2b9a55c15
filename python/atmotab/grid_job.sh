#!/bin/sh
# One model of a grid (tools/grid.py runs this under GNU parallel; a Slurm array task can run it
# directly, see docs/grid.md):
#
#   grid_job.sh PROGRAM EDGES INPUT OUT
#
# INPUT is an atmotab card deck, or a MARCS model (*.mod), which is converted first with
# marcs2deck.py beside this script into OUT.deck. The listing goes to OUT.listing and the messages
# to OUT.stderr. The tables are written to OUT.part.10 and OUT.part.11 and renamed to OUT.fort.10
# and OUT.fort.11 only when the program ends with status 0, so a table pair that exists is always
# a finished run; after a failure no table file is left. The exit status is the program's (or the
# converter's), which the job log records.
set -u
if [ $# -ne 4 ]; then
  echo "usage: grid_job.sh PROGRAM EDGES INPUT OUT" >&2
  exit 2
fi
program=$1
edges=$2
input=$3
out=$4

# Leftovers of an earlier attempt go first (tested with the shell's own [ to save processes: a
# grid starts many of these jobs).
for f in "$out.fort.10" "$out.fort.11" "$out.part.10" "$out.part.11"; do
  if [ -e "$f" ]; then rm -f "$f"; fi
done
deck=$input
case $input in
  *.mod)
    deck=$out.deck
    if ! python3 "${0%/*}/marcs.py" "$input" -o "$deck" 2>"$out.stderr"; then
      : >"$out.listing"
      exit 2
    fi
    ;;
esac

"$program" --edges "$edges" --table "$out.part.10" --maxima "$out.part.11" \
  <"$deck" >"$out.listing" 2>"$out.stderr"
status=$?
if [ $status -eq 0 ] && [ -f "$out.part.10" ] && [ -f "$out.part.11" ]; then
  mv -f "$out.part.10" "$out.fort.10" && mv -f "$out.part.11" "$out.fort.11" || status=2
elif [ $status -eq 0 ]; then
  echo "grid_job: $input: the run wrote no model (no BEGIN card?)" >>"$out.stderr"
  status=2
fi
if [ $status -ne 0 ]; then rm -f "$out.part.10" "$out.part.11" "$out.fort.10" "$out.fort.11"; fi
exit $status
