#!/usr/bin/env bash
# Load test of the standalone lookup service on loopback (not a test):
# the server pinned to CPU 0, wrk pinned to CPU 1, 64 connections, 10 s.
# Prints wrk's figures and the server's memory (VmHWM, VmRSS) under load.
#   bench/lookup/run.sh                       build folder "build"
#   BUILD_DIR=build-x bench/lookup/run.sh     another one
#   QUERY='ext[]=pdf' DURATION=5s bench/lookup/run.sh
# Target: at least 10,000 pages/s with p99 under 5 ms.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="${BUILD_DIR:-build}"
server="$build/lookup/quelvo-lookup"
query="${QUERY:-ext[]=mp3&ext[]=AVI}"
duration="${DURATION:-10s}"
connections="${CONNECTIONS:-64}"
port="${PORT:-18080}"

command -v wrk >/dev/null || { echo "run.sh: wrk is missing (scripts/setup installs it)" >&2; exit 1; }
[[ -x "$server" ]] || cmake --build "$build" -j2 --target quelvo-lookup >/dev/null

taskset -c 0 "$server" --listen "127.0.0.1:$port" >/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  curl -sf "http://127.0.0.1:$port/healthz" >/dev/null 2>&1 && break
  sleep 0.1
done

url="http://127.0.0.1:$port/ext/file_ext.php?$query"
echo "page: $(curl -s "$url" | wc -c) bytes for $query"
mem() { grep -E '^(VmHWM|VmRSS)' "/proc/$pid/status" | tr -s ' \t' ' ' | paste -sd' '; }
echo "memory before: $(mem)"

# A short warm-up, then the measured run; memory is read half-way through.
taskset -c 1 wrk -t1 -c"$connections" -d2s "$url" >/dev/null
# The server's own CPU time (user + system ticks) tells its cost per page
# even when other work shares CPU 0.
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
( sleep 5; echo "memory under load: $(mem)" ) &
sampler=$!
before=$(ticks)
out=$(taskset -c 1 wrk -t1 -c"$connections" -d"$duration" --latency "$url")
after=$(ticks)
wait "$sampler" || true
echo "$out"
echo "memory after: $(mem)"
requests=$(echo "$out" | awk '/requests in/ {print $1}')
hz=$(getconf CLK_TCK)
awk -v r="$requests" -v t=$((after - before)) -v hz="$hz" 'BEGIN {
  cpu = t / hz
  printf "server CPU: %.2f s for %d pages = %.1f us a page, %.0f pages per CPU-second\n", cpu, r, cpu * 1e6 / r, r / cpu
}'
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine shares the CPUs)"
