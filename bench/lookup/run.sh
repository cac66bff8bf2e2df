#!/usr/bin/env bash
# Load test of the standalone lookup service on loopback (not a test): the
# server pinned to CPU 0 with one thread, wrk pinned to CPU 1 with 64
# connections, in one run side by side:
#   linux             quelvo-lookup
#   linux+trickle     the same while 500 slow clients (bench/lookup/trickle.py,
#                     50 from each of 127.0.0.2..11) send a byte a second
#   wine              quelvo-lookup.exe of the Windows build under Wine
#   wine+trickle      the same with the slow clients
# For each: pages/s, pages per second of the server's own CPU time (its
# cost, whatever else runs on CPU 0), p50 and p99 latency from wrk, the listen queue's
# overflows during the run (nstat TcpExtListenOverflows, machine-wide) and
# the server's peak memory (VmHWM).
#   bench/lookup/run.sh                       build folders build, build-mingw
#   BUILD_DIR=... MINGW_BUILD_DIR=... bench/lookup/run.sh
#   QUERY='ext[]=pdf' DURATION=5s WINE=0 bench/lookup/run.sh
# Targets (Linux): at least 30,000 pages/s with p99 under 5 ms and no
# overflow; with the slow clients p99 under 50 ms; peak memory under 32 MiB.
set -euo pipefail
cd "$(dirname "$0")/../.."

build="${BUILD_DIR:-build}"
mingw="${MINGW_BUILD_DIR:-build-mingw}"
query="${QUERY:-ext[]=mp3&ext[]=AVI}"
duration="${DURATION:-10s}"
connections="${CONNECTIONS:-64}"
port="${PORT:-18080}"
with_wine="${WINE:-1}"

for tool in wrk nstat taskset python3 curl; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
done
[[ -x $build/programs/quelvo-lookup/quelvo-lookup ]] || cmake --build "$build" -j2 --target quelvo-lookup >/dev/null
if [[ $with_wine == 1 && ! -f $mingw/programs/quelvo-lookup/quelvo-lookup.exe ]]; then
  echo "run.sh: no $mingw/programs/quelvo-lookup/quelvo-lookup.exe: the Wine rows are left out" >&2
  with_wine=0
fi

work="$(mktemp -d)"
server_pid="" launcher_pid="" trickle_pid=""
stop() {
  if [[ -n $trickle_pid ]]; then kill "$trickle_pid" 2>/dev/null || true; wait "$trickle_pid" 2>/dev/null || true; fi
  if [[ -n $launcher_pid ]]; then kill "$launcher_pid" 2>/dev/null || true; wait "$launcher_pid" 2>/dev/null || true; fi
  trickle_pid="" launcher_pid="" server_pid=""
}
cleanup() {
  stop
  if [[ -d $work/pfx ]]; then WINEPREFIX="$work/pfx" wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

url="http://127.0.0.1:$port/ext/file_ext.php?$query"
wait_up() {
  for _ in $(seq 300); do
    curl -sf "http://127.0.0.1:$port/healthz" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "run.sh: the server did not come up" >&2
  exit 1
}
overflows() { nstat -asz TcpExtListenOverflows | awk '/TcpExtListenOverflows/ {print $2}'; }
hwm() { awk '/^VmHWM/ {printf "%.1f", $2 / 1024}' "/proc/$server_pid/status"; }
# The server's own CPU time in ticks: its cost per page even when other
# work shares CPU 0.
ticks() { awk '{print $14 + $15}' "/proc/$server_pid/stat"; }

rows=()
# measure <label>: warm-up, then the measured run.
measure() {
  taskset -c 1 wrk -t1 -c"$connections" -d2s "$url" >/dev/null
  local before after out cpu0 cpu1
  before=$(overflows)
  cpu0=$(ticks)
  out=$(taskset -c 1 wrk -t1 -c"$connections" -d"$duration" --latency "$url")
  cpu1=$(ticks)
  after=$(overflows)
  local rps p50 p99 errors
  rps=$(awk '/Requests\/sec/ {printf "%.0f", $2}' <<<"$out")
  p50=$(awk '$1 == "50%" {print $2}' <<<"$out")
  p99=$(awk '$1 == "99%" {print $2}' <<<"$out")
  errors=$(awk '/Socket errors|Non-2xx/ {printf "%s; ", $0}' <<<"$out")
  local per_cpu
  per_cpu=$(awk -v r="$(awk '/requests in/ {print $1}' <<<"$out")" -v t=$((cpu1 - cpu0)) -v hz="$(getconf CLK_TCK)" \
    'BEGIN { if (t > 0) printf "%.0f", r / (t / hz); else print "-" }')
  rows+=("$(printf '%-14s %10s %12s %9s %9s %10s %9s MiB  %s' "$1" "$rps" "$per_cpu" "$p50" "$p99" "$((after - before))" "$(hwm)" "$errors")")
}
with_trickle() {
  python3 bench/lookup/trickle.py "$port" 500 50 >"$work/trickle.log" 2>&1 &
  trickle_pid=$!
  for _ in $(seq 300); do grep -q connected "$work/trickle.log" && break; sleep 0.1; done
  grep -q connected "$work/trickle.log" || { cat "$work/trickle.log" >&2; exit 1; }
  sleep 1
  measure "$1"
  kill "$trickle_pid" 2>/dev/null || true; wait "$trickle_pid" 2>/dev/null || true; trickle_pid=""
}

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

# Linux.
taskset -c 0 "$build/programs/quelvo-lookup/quelvo-lookup" --listen "127.0.0.1:$port" --threads 1 >/dev/null &
launcher_pid=$! server_pid=$!
wait_up
echo "page: $(curl -s "$url" | wc -c) bytes for $query"
measure linux
with_trickle linux+trickle
stop

# The Windows build under Wine, in a prefix of its own, on the next port:
# under Wine, Windows' exclusive bind fails while the last run's closed
# connections linger on the port.
if [[ $with_wine == 1 ]]; then
  port=$((port + 1))
  url="http://127.0.0.1:$port/ext/file_ext.php?$query"
  export WINEPREFIX="$work/pfx" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineboot -i >/dev/null 2>&1
  taskset -c 0 wine "$mingw/programs/quelvo-lookup/quelvo-lookup.exe" --listen "127.0.0.1:$port" --threads 1 >/dev/null 2>&1 &
  launcher_pid=$!
  wait_up
  server_pid="$(pgrep -n -f 'quelvo-lookup\.exe')"
  measure wine
  with_trickle wine+trickle
  stop
  wineserver -k 2>/dev/null || true
fi

echo
printf '%-14s %10s %12s %9s %9s %10s %13s\n' run pages/s "pages/CPU-s" p50 p99 overflows "peak memory"
printf '%s\n' "${rows[@]}"
echo
echo "load average: before $load_before, after $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) CPUs; other work on the machine shares them)"
