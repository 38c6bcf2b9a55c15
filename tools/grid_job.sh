#!/bin/sh
# One model of a grid: the job script of the atmotab Python package (python/atmotab/grid_job.sh),
# kept here for Slurm scripts that name it by this path.
exec "$(dirname "$0")/../python/atmotab/grid_job.sh" "$@"
