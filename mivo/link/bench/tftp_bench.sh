#!/usr/bin/env bash
# Transfers an 8 MiB file on loopback from `mivo-cli tftp-serve` and from tftpd-hpa
# (in.tftpd) to the same client (tftp-hpa's tftp), alternating, and prints the median
# wall time of each, the ratio ours/theirs (goal: at most 1.10) and each server's CPU
# time per transfer. Not part of ctest; run it by hand, preferably on a release build:
#
#   bash mivo/link/bench/tftp_bench.sh [path/to/mivo-cli] [runs]
#
# Needs tftp-hpa, tftpd-hpa and root (in.tftpd -u root). Talks to 127.0.0.1 only.
set -euo pipefail

cli=${1:-build/default/mivo/cli/mivo-cli}
runs=${2:-9}
[ -x "$cli" ] || { echo "no mivo-cli at $cli" >&2; exit 2; }
command -v in.tftpd >/dev/null || { echo "in.tftpd (tftpd-hpa) missing" >&2; exit 2; }
command -v tftp >/dev/null || { echo "tftp (tftp-hpa) missing" >&2; exit 2; }

work=$(mktemp -d)
ours_pid=""
theirs_pid=""
cleanup() {
  [ -n "$ours_pid" ] && kill "$ours_pid" 2>/dev/null || true
  [ -n "$theirs_pid" ] && kill "$theirs_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

head -c $((8 * 1024 * 1024)) /dev/urandom > "$work/bench.img"

"$cli" tftp-serve --port 0 --peer 127.0.0.1 > "$work/ours.out" 2>"$work/ours.err" &
ours_pid=$!
for _ in $(seq 50); do grep -q listening "$work/ours.out" && break; sleep 0.1; done
ours_port=$(awk '/listening on/ {print $3; exit}' "$work/ours.out")
[ -n "$ours_port" ] || { echo "mivo-cli tftp-serve did not start" >&2; exit 1; }

# A free UDP port for tftpd-hpa.
theirs_port=""
for candidate in $(shuf -i 20000-60000 -n 50); do
  if [ -z "$(ss -Hlun "sport = :$candidate")" ]; then theirs_port=$candidate; break; fi
done
[ -n "$theirs_port" ] || { echo "no free UDP port found" >&2; exit 1; }
in.tftpd -L -u root -s "$work" -a "127.0.0.1:$theirs_port" &
theirs_pid=$!
sleep 0.3

ticks=$(getconf CLK_TCK)
# utime + stime of a process, in clock ticks.
cpu_ticks() { local f; read -ra f < "/proc/$1/stat"; echo $(( f[13] + f[14] )); }

# in.tftpd serves each transfer from a child it does not wait for, so the child's CPU
# time never reaches the parent: sample the children every 10 ms and keep each one's last
# value (the last few ms of a transfer may be missed).
sample_children() {  # parent-pid output-file
  local child
  while kill -0 "$1" 2>/dev/null; do
    for child in $(cat "/proc/$1/task/$1/children" 2>/dev/null); do
      echo "$child $(cpu_ticks "$child" 2>/dev/null || echo 0)"
    done
    sleep 0.01
  done > "$2"
}

fetch() {  # port remote-name
  local start end
  rm -f "$work/copy.img"
  start=$EPOCHREALTIME
  tftp -m binary 127.0.0.1 "$1" -c get "$2" "$work/copy.img"
  end=$EPOCHREALTIME
  cmp -s "$work/copy.img" "$work/bench.img" || { echo "transfer from port $1 differs" >&2; exit 1; }
  echo "$start $end" | awk '{printf "%.4f\n", $2 - $1}'
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

ours_times=()
theirs_times=()
ours_cpu0=$(cpu_ticks "$ours_pid")
sample_children "$theirs_pid" "$work/children" &
sampler_pid=$!
for run in $(seq "$runs"); do
  ours_times+=("$(fetch "$ours_port" "$work/bench.img")")
  theirs_times+=("$(fetch "$theirs_port" bench.img)")
  echo "run $run: ours ${ours_times[-1]} s, tftpd-hpa ${theirs_times[-1]} s"
done
ours_cpu=$(( $(cpu_ticks "$ours_pid") - ours_cpu0 ))
kill "$theirs_pid"
wait "$sampler_pid" 2>/dev/null || true
theirs_pid=""
theirs_cpu=$(awk '{last[$1] = $2} END {for (p in last) sum += last[p]; print sum + 0}' "$work/children")

# System calls of our server per block, counted over one more transfer under strace
# (when present): a regression in the per-block path shows here before it shows in time.
calls_per_block="n/a"
if command -v strace >/dev/null; then
  strace -c -f -p "$ours_pid" -o "$work/strace" 2>/dev/null &
  strace_pid=$!
  sleep 0.3
  fetch "$ours_port" "$work/bench.img" > /dev/null
  kill -INT "$strace_pid" 2>/dev/null || true
  wait "$strace_pid" 2>/dev/null || true
  blocks=$(( $(stat -c %s "$work/bench.img") / 512 + 1 ))
  calls_per_block=$(awk -v b="$blocks" '$NF == "total" {printf "%.3f", $4 / b}' "$work/strace")
fi

ours_median=$(printf '%s\n' "${ours_times[@]}" | median)
theirs_median=$(printf '%s\n' "${theirs_times[@]}" | median)
awk -v o="$ours_median" -v t="$theirs_median" -v oc="$ours_cpu" -v tc="$theirs_cpu" \
    -v n="$runs" -v hz="$ticks" -v calls="$calls_per_block" 'BEGIN {
  printf "8 MiB over loopback, %d runs each (client: tftp-hpa)\n", n
  printf "median wall time: mivo-cli tftp-serve %.3f s, tftpd-hpa %.3f s\n", o, t
  printf "ratio ours/theirs: %.3f (goal <= 1.10)\n", o / t
  printf "server CPU per transfer: mivo-cli tftp-serve %.3f s, tftpd-hpa %.3f s\n", oc / hz / n, tc / hz / n
  printf "system calls per block of mivo-cli tftp-serve: %s\n", calls
}'
