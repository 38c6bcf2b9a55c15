#!/usr/bin/env bash
# A grid on a real Slurm of one node, this machine: writes a one-node slurm.conf in a temporary
# folder, starts munged, slurmctld and slurmd on it (private socket, key, ports and spool; nothing of
# a Slurm installed here is touched), submits docs/grid.slurm as a job array, waits for it, merges
# the grid, compares the merged tables with one program process running the same models byte for
# byte, and stops the daemons it started.
#
#   tools/slurm_local.sh [--program PATH] [--models N] [--batch K] [--keep]
#
# The models are N (default 12) copies of examples/sun.deck with metallicity scales 0.6, 0.7, ...
# (each deck sets every card it needs, so the decks run one after another in one process give the
# same tables as each run alone). --batch K puts K models in each array task (default: 3).
# --keep leaves the temporary folder (configuration, daemon logs, the grid) for inspection.
#
# Debian packages: slurm-wlm (slurmctld, slurmd and the client commands) and munge. The daemons
# need root (slurmd starts the tasks as the submitting user).
# Exit status: 0 the merged tables equal those of the one-process run; 1 they differ or the array
# failed; 2 usage error; 77 the test cannot run here (no Slurm or munge, not root, or the daemons
# did not start), with the reason on standard output.
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
program=$source_dir/build/atmotab
nmodels=12
batch=3
keep=no
while [ $# -gt 0 ]; do
  case $1 in
    --program) program=$2; shift 2 ;;
    --models) nmodels=$2; shift 2 ;;
    --batch) batch=$2; shift 2 ;;
    --keep) keep=yes; shift ;;
    *) echo "usage: tools/slurm_local.sh [--program PATH] [--models N] [--batch K] [--keep]" >&2
       exit 2 ;;
  esac
done

skip() {
  echo "skipped: $*"
  exit 77
}
for c in munged slurmctld slurmd sbatch squeue scontrol; do
  command -v "$c" >/dev/null || skip "no $c (Debian packages slurm-wlm and munge:" \
    "tools/install_deps.sh test installs them)"
done
[ "$(id -u)" -eq 0 ] || skip "slurmd must run as root to start tasks; run this as root"
[ -x "$program" ] || { echo "slurm_local: no program at $program (build it, or --program PATH)" >&2; exit 2; }
program=$(realpath "$program")

tmp=$(mktemp -d /tmp/atmotab-slurm.XXXXXX)
chmod 755 "$tmp"
pids=()
stop_daemons() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$p" 2>/dev/null
  done
  pids=()
}
cleanup() {
  stop_daemons
  if [ "$keep" = yes ]; then echo "slurm_local: kept $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# munge: its own key, socket and files.
mkdir -m 700 "$tmp/munge"
dd if=/dev/urandom of="$tmp/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$tmp/munge/munge.key"
socket=$tmp/munge/munge.sock
munged --force --socket="$socket" --key-file="$tmp/munge/munge.key" \
  --pid-file="$tmp/munge/munged.pid" --log-file="$tmp/munge/munged.log" \
  --seed-file="$tmp/munge/munged.seed" 2>"$tmp/munge/start.err" ||
  skip "munged did not start: $(head -c 300 "$tmp/munge/start.err")"
pids+=("$(cat "$tmp/munge/munged.pid")")

# Two free TCP ports for slurmctld and slurmd.
read -r ctld_port slurmd_port < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*(x.getsockname()[1] for x in s))')
node=atmotabnode
cpus=$(nproc)
memory=$(awk '/^MemTotal/ { print int($2 / 1024 * 0.9) }' /proc/meminfo)  # MB; the script asks --mem
mkdir -p "$tmp/state" "$tmp/spool" "$tmp/log"
conf=$tmp/slurm.conf
cat >"$conf" <<EOF
ClusterName=atmotab
SlurmctldHost=$(hostname -s)(127.0.0.1)
MailProg=/bin/true
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/log/slurmctld.log
SlurmdLogFile=$tmp/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MinJobAge=600
NodeName=$node NodeAddr=127.0.0.1 NodeHostname=$(hostname) CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=grid Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$conf

slurmctld -D -f "$conf" >"$tmp/log/slurmctld.out" 2>&1 &
pids+=($!)
slurmd -D -f "$conf" -N "$node" >"$tmp/log/slurmd.out" 2>&1 &
pids+=($!)
daemon_log() { tail -n 5 "$tmp/log/slurmctld.log" "$tmp/log/slurmd.log" "$tmp/log/"*.out 2>/dev/null; }
idle=no
for _ in $(seq 100); do
  for p in "${pids[@]}"; do
    kill -0 "$p" 2>/dev/null || skip "a Slurm daemon stopped at its start: $(daemon_log)"
  done
  state=$(sinfo -h -N -o %t 2>/dev/null)
  case $state in idle*) idle=yes; break ;; esac
  sleep 0.2
done
[ "$idle" = yes ] || skip "the Slurm node did not come up in 20 s (state '${state:-none}'): $(daemon_log)"
echo "slurm_local: Slurm $(sinfo -V | cut -d' ' -f2) up: node $node, $cpus CPUs"

# The models and the one-process run.
mkdir "$tmp/decks"
model=$(sed '/^END$/d' "$source_dir/examples/sun.deck")
for k in $(seq "$nmodels"); do
  scale=$(awk -v k="$k" 'BEGIN { printf "%.1f", 0.5 + 0.1 * k }')
  printf '%s\nEND\n' "${model/ABUNDANCE SCALE 1.0/ABUNDANCE SCALE $scale}" \
    >"$tmp/decks/$(printf 'm%03d' "$k").deck"
done
for d in "$tmp"/decks/*.deck; do sed '/^END$/d' "$d"; done >"$tmp/all.deck"
echo END >>"$tmp/all.deck"
edges=$source_dir/examples/edges.txt
"$program" --edges "$edges" --table "$tmp/one.10" --maxima "$tmp/one.11" <"$tmp/all.deck" \
  >"$tmp/one.listing" || { echo "slurm_local: the one-process run failed" >&2; exit 1; }

# The grid as a Slurm array.
grid=$tmp/grid
python3 "$source_dir/tools/grid.py" list "$grid" "$tmp/decks" --edges "$edges" \
  --program "$program" --batch "$batch" || exit 1
ntasks=$(wc -l <"$grid/grid.batches")
# Submits the array; waits for it to leave the queue; prints the count of its tasks per state.
submit() {
  local job states
  job=$(cd "$tmp" && sbatch --parsable --array="1-$ntasks" --export="ALL,GRID=$grid" \
    --output="$tmp/log/task-%A-%a.out" "$source_dir/docs/grid.slurm") ||
    { echo "slurm_local: sbatch failed" >&2; return 1; }
  job=${job%%;*}
  echo "slurm_local: submitted array job $job: $ntasks tasks of up to $batch models"
  for _ in $(seq 600); do
    [ -z "$(squeue -h -j "$job" 2>/dev/null)" ] && break
    sleep 0.5
  done
  if [ -n "$(squeue -h -j "$job" 2>/dev/null)" ]; then
    echo "slurm_local: the array did not finish in 300 s:" >&2
    squeue -j "$job" >&2
    return 1
  fi
  states=$(scontrol show job "$job" 2>/dev/null | sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p' |
    sort | uniq -c | tr -s ' \n' ' ')
  echo "slurm_local: array $job finished, task states:$states"
  case $states in *COMPLETED*) ;; *) return 1 ;; esac
  case $states in *FAILED* | *CANCELLED* | *TIMEOUT*) return 1 ;; esac
}
submit || { cat "$tmp"/log/task-*.out >&2; exit 1; }
# The same array again runs nothing: every model folder stays the one made before.
folders() { stat -c '%n %i %Y' "$grid"/models/*; }
before=$(folders)
submit || { cat "$tmp"/log/task-*.out >&2; exit 1; }
if [ "$(folders)" != "$before" ]; then
  echo "slurm_local: the array submitted again ran models that were done" >&2
  exit 1
fi
echo "slurm_local: the array submitted again ran no model"
python3 "$source_dir/tools/grid.py" merge "$grid" || { cat "$tmp"/log/task-*.out >&2; exit 1; }
status=0
for u in 10 11; do
  if cmp "$grid/grid.fort.$u" "$tmp/one.$u"; then
    echo "slurm_local: grid.fort.$u ($(stat -c %s "$grid/grid.fort.$u") bytes) equals the one-process run"
  else
    status=1
  fi
done
exit $status
