#!/usr/bin/env bash
# A one-node Slurm cluster on 127.0.0.1 for the farm's test, then that test:
# installs Debian's slurmctld, slurmd, slurm-client and munge, writes a
# configuration of its own into a temporary folder (one node with this
# machine's cores, the daemons as root, every port on loopback), starts
# munged, slurmctld and slurmd from it, runs the suite's Slurm test (a chunked
# burn-in of a 96-frame take, recording from mid-take, against the
# one-machine run) and stops the daemons it started by their pids.
#   scripts/farm-cluster.sh [BUILD]        the test, on a cluster of its own
#   scripts/farm-cluster.sh [BUILD] -- CMD any command, on that cluster
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift

if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null || ! command -v sbatch >/dev/null ||
  ! command -v munged >/dev/null; then
  bash scripts/install-deps.sh --farm-cluster
fi
PATH=$PATH:/usr/sbin

WORK=$(mktemp -d /tmp/vthud-slurm-XXXXXX)
PIDS=()
stop() {
  # Only the daemons started here, each by its pid.
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${PIDS[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  rm -rf "$WORK"
}
trap stop EXIT

# Ports of this cluster's own, away from a site's 6817 and 6818.
PORT=$((20000 + RANDOM % 20000))
mkdir -p "$WORK/state" "$WORK/spool"
head -c 1024 /dev/urandom >"$WORK/munge.key"
chmod 400 "$WORK/munge.key"
cat >"$WORK/slurm.conf" <<EOF
ClusterName=vthud
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$PORT
SlurmdPort=$((PORT + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$WORK/munge.socket
CredType=cred/munge
StateSaveLocation=$WORK/state
SlurmdSpoolDir=$WORK/spool
SlurmctldPidFile=$WORK/slurmctld.pid
SlurmdPidFile=$WORK/slurmd.pid
SlurmctldLogFile=$WORK/slurmctld.log
SlurmdLogFile=$WORK/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MpiDefault=none
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=vthud Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF=$WORK/slurm.conf

munged --force --key-file="$WORK/munge.key" --socket="$WORK/munge.socket" --pid-file="$WORK/munged.pid" \
  --log-file="$WORK/munged.log" --seed-file="$WORK/munge.seed"
PIDS+=("$(cat "$WORK/munged.pid")")
slurmctld -f "$SLURM_CONF"
for _ in $(seq 100); do [ -s "$WORK/slurmctld.pid" ] && break; sleep 0.1; done
PIDS+=("$(cat "$WORK/slurmctld.pid")")
slurmd -f "$SLURM_CONF" -N localhost
for _ in $(seq 100); do [ -s "$WORK/slurmd.pid" ] && break; sleep 0.1; done
PIDS+=("$(cat "$WORK/slurmd.pid")")

# The node answers once it is idle.
for _ in $(seq 300); do
  [ "$(sinfo -h -o %t 2>/dev/null)" = "idle" ] && break
  sleep 0.2
done
if [ "$(sinfo -h -o %t 2>/dev/null)" != "idle" ]; then
  echo "farm-cluster: the one-node cluster did not come up; its logs:" >&2
  tail -n 20 "$WORK"/*.log >&2 || true
  exit 1
fi
echo "farm-cluster: one node, $(nproc) cores, on 127.0.0.1:$PORT ($SLURM_CONF)"

if [ $# -gt 0 ]; then
  "$@"
else
  VTHUD_REQUIRE_SLURM=1 "$BUILD/tests/test_tools" --gtest_filter='ChunkTest.Slurm*'
fi
