#!/usr/bin/env bash
# The render-farm recipe on a real Slurm cluster of one node, started here
# and stopped at the end whatever happens: munged with its own key and
# socket, slurmctld and slurmd from a generated slurm.conf, all in a
# temporary folder and on 127.0.0.1 only. farm/slurm/capture.sbatch runs as
# an array of 3 tasks and join.sbatch after them (afterok); the joined video
# must hold the pictures and sound of a capture by one process. Installs
# nothing: `scripts/setup --farm` provides slurm-wlm and munge.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
C=$(realpath "$2")
HERE=$(cd "$(dirname "$0")" && pwd)
FARM=$HERE/../farm/slurm
source "$HERE/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
for program in munged slurmctld slurmd sbatch squeue scancel; do
  command -v "$program" >/dev/null || PATH=$PATH:/usr/sbin
  command -v "$program" >/dev/null || { echo "FAILED: $program is missing; run scripts/setup --farm"; exit 1; }
done
WORK=$(mktemp -d)
chmod 700 "$WORK"
PIDS=()
stop_cluster() {
  [ -f "$WORK/slurm.conf" ] && SLURM_CONF=$WORK/slurm.conf timeout 10 scancel --quiet --full --user "$(id -un)" 2>/dev/null
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${PIDS[@]}"; do
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  done
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap stop_cluster EXIT
trap 'exit 1' INT TERM HUP
cd "$WORK" || exit 1

# Two ports nothing listens on, for slurmctld and slurmd.
free_port() {
  local port
  while port=$((20000 + RANDOM % 30000)); ss -ltnH | awk '{ print $4 }' | grep -q ":$port\$"; do :; done
  echo "$port"
}
CTLD_PORT=$(free_port)
SLURMD_PORT=$(free_port)
while [ "$SLURMD_PORT" = "$CTLD_PORT" ]; do SLURMD_PORT=$(free_port); done

# munge: its own key, socket, log and seed, here.
dd if=/dev/urandom of=munge.key bs=1024 count=1 status=none
chmod 400 munge.key
munged --foreground --force --key-file="$WORK/munge.key" --socket="$WORK/munge.socket" \
  --pid-file="$WORK/munged.pid" --log-file="$WORK/munged.log" --seed-file="$WORK/munged.seed" 2>munged.err &
PIDS+=($!)

mkdir state spool
CPUS=$(nproc)
cat >slurm.conf <<CONF
ClusterName=quietharbor
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=$CTLD_PORT
SlurmdPort=$SLURMD_PORT
CommunicationParameters=NoInAddrAny,NoCtldInAddrAny
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$WORK/munge.socket
SlurmUser=$(id -un)
SlurmdUser=$(id -un)
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
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
ReturnToService=2
MpiDefault=none
NodeName=farmnode NodeAddr=127.0.0.1 NodeHostname=$(hostname -s) CPUs=$CPUS State=UNKNOWN
PartitionName=farm Nodes=farmnode Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$WORK/slurm.conf
for _ in $(seq 1 50); do [ -S munge.socket ] && break; sleep 0.1; done
slurmctld -D -i -f "$SLURM_CONF" >slurmctld.out 2>&1 &
PIDS+=($!)
slurmd -D -N farmnode -f "$SLURM_CONF" >slurmd.out 2>&1 &
PIDS+=($!)
until sinfo -h -o %t 2>/dev/null | grep -qx idle; do
  [ $SECONDS -lt 60 ] || { tail -n 20 ./*.log ./*.out ./*.err; echo "FAILED: the cluster did not come up"; exit 1; }
  sleep 0.5
done
check "the cluster listens on 127.0.0.1 only" \
  bash -c "ss -ltnH | awk '\$4 ~ /:($CTLD_PORT|$SLURMD_PORT)\$/ { n++; if (\$4 !~ /^127\\.0\\.0\\.1:/) bad = 1 } END { exit bad || n != 2 }'"

# 10 s of the tunnel at 10 fps, 400 x 300, as 3 tasks and a join.
SPAN=(--from 80 --to 90 --fps 10 --size 400x300)
begin=$SECONDS
export QUIET_HARBOR_CAPTURE=$C
job=$(sbatch --parsable --array=1-3 --cpus-per-task=1 "$FARM/capture.sbatch" "$WORK/farm.mkv" "${SPAN[@]}" --quiet)
join=$(sbatch --parsable --dependency=afterok:"$job" --kill-on-invalid-dep=yes "$FARM/join.sbatch" "$WORK/farm.mkv")
check "the array job and the join are submitted" test -n "$job" -a -n "$join"
# The capture by one process, drawn while the tasks wait for a processor.
"$C" "${SPAN[@]}" --jobs 1 --video one.mkv --quiet
until [ -z "$(squeue -h -j "$job,$join" 2>/dev/null)" ] || [ $((SECONDS - begin)) -gt 600 ]; do sleep 1; done
echo "the farm took $((SECONDS - begin)) s"
cat quiet-harbor-*.log
check "each task wrote its part" test "$(ls farm.part-*-of-3.mkv | wc -l)" -eq 3
check "the join wrote the video" test -s farm.mkv
pictures() { ffmpeg -v error -i "$1" -map 0:v -f rawvideo -pix_fmt rgb24 -; }
sound() { ffmpeg -v error -i "$1" -map 0:a -f s16le -; }
check "its pictures are those of one process, frame for frame" cmp -s <(pictures farm.mkv) <(pictures one.mkv)
check "... and its sound too, sample for sample" cmp -s <(sound farm.mkv) <(sound one.mkv)

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
