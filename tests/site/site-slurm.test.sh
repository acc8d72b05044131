#!/usr/bin/env bash
# vidlume-cli site as a Slurm job array on a one-node cluster of Debian's own
# slurmctld, slurmd and munged, started here with their own key, socket, ports
# and files in a temporary folder on 127.0.0.1, and stopped on every way out:
# plan, the array's tasks (which take their index from SLURM_ARRAY_TASK_ID),
# assemble, and every page byte for byte as one run of `site` makes it.
# Usage: site-slurm.test.sh BIN_DIR WORK_DIR. Exit 77 when not root or when
# ffmpeg, Slurm or munge is missing.
set -uo pipefail
BIN=$1
WORK=$2
[[ $(id -u) -eq 0 ]] || { echo "skipped: the Slurm daemons run as root"; exit 77; }
for program in ffmpeg slurmctld slurmd sbatch sinfo squeue scontrol munged mungekey python3; do
    command -v "$program" >/dev/null || { echo "skipped: needs $program"; exit 77; }
done
source "$(dirname "$0")/site-archive.sh"

begin_work

# The cluster's files: a short path, as munge's socket name is bounded.
T=$(mktemp -d /tmp/vidlume-slurm.XXXXXX)
chmod 711 "$T" # munged wants its socket's folder open to every client
daemons=()
stop_cluster() {
    local pid
    # Tasks still running (a failure's way out) are ended by Slurm itself first.
    if [[ -n ${job:-} ]]; then
        scancel "$job" 2>/dev/null
        for _ in $(seq 50); do [[ -z "$(squeue -h -j "$job" 2>/dev/null)" ]] && break; sleep 0.1; done
    fi
    for pid in "${daemons[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${daemons[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    for log in "$T"/*.log; do
        [[ $failed -eq 0 && -n ${keep_quiet:-} ]] && break
        [[ -f $log ]] && { echo "--- $log"; tail -n 20 "$log"; }
    done
    rm -rf "$T"
}
trap stop_cluster EXIT
trap "exit 1" INT TERM HUP

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

export SLURM_CONF="$T/slurm.conf"
host=$(hostname -s)
mkdir -p "$T/state" "$T/spool"
: >"$T/plugstack.conf"
cat >"$SLURM_CONF" <<CONF
ClusterName=vidlume
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$T/munge.socket
CredType=cred/munge
StateSaveLocation=$T/state
SlurmdSpoolDir=$T/spool
SlurmctldPidFile=$T/slurmctld.pid
SlurmdPidFile=$T/slurmd.pid
SlurmctldLogFile=$T/slurmctld.log
SlurmdLogFile=$T/slurmd.log
PlugStackConfig=$T/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
SchedulerType=sched/backfill
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=site Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF

# munge with its own key and socket, not the system's.
mungekey --create --keyfile="$T/munge.key" 2>/dev/null \
    || { head -c 1024 /dev/urandom >"$T/munge.key" && chmod 600 "$T/munge.key"; }
munged --foreground --force --socket="$T/munge.socket" --key-file="$T/munge.key" \
    --pid-file="$T/munged.pid" --log-file="$T/munged.log" --seed-file="$T/munged.seed" 2>>"$T/munged.log" &
daemons+=($!)
for _ in $(seq 50); do [[ -S $T/munge.socket ]] && break; sleep 0.1; done
slurmctld -D -f "$SLURM_CONF" >/dev/null 2>&1 &
daemons+=($!)
slurmd -D -f "$SLURM_CONF" >/dev/null 2>&1 &
daemons+=($!)

node_idle() { [[ "$(sinfo -h -N -o %t 2>/dev/null)" == idle ]]; }
for _ in $(seq 150); do node_idle && break; sleep 0.2; done
node_idle || { echo "the node did not come up: $(sinfo -N 2>&1)"; exit 1; }

# A small archive: the one-run site to compare with, then the array.
A="$WORK/archive"
make_archive "$A"
R="$WORK/reference"
"$CLI" site -j 2 --out "$R" "$A" >/dev/null 2>&1
check "the one-run site has the damaged file (3)" test $? -eq 3
oneRun=$(conversions "$P")

S="$WORK/site"
indices=$("$CLI" site plan --out "$S" "$A" 2>/dev/null | paste -sd,)
check "plan prints the jobs" test -n "$indices"
job=$(sbatch --parsable --array="$indices%2" --job-name=vidlume-site --chdir="$WORK" \
    --output="$WORK/task-%a.out" --error="$WORK/task-%a.out" \
    --wrap "exec '$CLI' site job --out '$S'" 2>"$WORK/sbatch.err")
check "sbatch takes the array" test -n "$job"
job=${job%%;*}
for _ in $(seq 1200); do [[ -z "$(squeue -h -j "$job" 2>/dev/null)" ]] && break; sleep 0.2; done
check "the array has ended" test -z "$(squeue -h -j "$job" 2>&1)"
scontrol -o show job "$job" >"$WORK/tasks" 2>&1
check "every task ran" test "$(grep -c 'JobState=' "$WORK/tasks")" -eq "$(tr ',' '\n' <<<"$indices" | wc -l)"
check "one task failed with 3 (the damaged file)" test "$(grep -c 'ExitCode=3:0' "$WORK/tasks")" -eq 1
check "the others completed" \
    test "$(grep -c 'JobState=COMPLETED' "$WORK/tasks")" -eq "$(($(tr ',' '\n' <<<"$indices" | wc -l) - 1))"
check "each task wrote its own log" test "$(ls "$WORK"/task-*.out | wc -l)" -eq "$(tr ',' '\n' <<<"$indices" | wc -l)"
"$CLI" site assemble --out "$S" >/dev/null 2>&1
check "assemble gives 3 for the damaged file" test $? -eq 3
check "the Slurm array gives the same bytes as one run" same_pages "$S" "$R"
check "nothing left in the work folder" test -z "$(ls -A "$S/vidlume-site/work")"
check "the array converted what one run converts" test "$(conversions "$P")" -eq $((2 * oneRun))

[[ $failed -eq 0 ]] && keep_quiet=1
finish
