#!/usr/bin/env bash
# Measures the site service talvexd against its performance goals and prints
# one table (docs/PERFORMANCE.md, "Site service (talvexd)" says what each row
# is). It builds nothing: BUILD_DIR must hold talvexd, talvex-sim and
# transaction_bench. Runs the transmitter simulated and on air, the service
# on the loopback, for about four minutes (--quick: shorter watches and
# fewer samples, about two minutes, for a smoke run); needs wrk, python3
# and curl.
# Usage: bench/talvexd-perf.sh BUILD_DIR [--quick]
set -euo pipefail

usage="Usage: bench/talvexd-perf.sh BUILD_DIR [--quick]   (for example build/release)"
if [ $# -lt 1 ] || [ $# -gt 2 ] || [ "$1" = "-h" ] || [ "$1" = "--help" ] || { [ $# -eq 2 ] && [ "$2" != "--quick" ]; }; then
  echo "$usage" >&2
  exit 2
fi
build=$(cd "$1" 2> /dev/null && pwd) || { echo "talvexd-perf: no build directory $1" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
sim="$build/sim/talvex-sim"
talvexd="$build/talvexd/talvexd"
bench="$build/bench/transaction_bench"
measure=(python3 "$here/talvexd/measure.py")
for program in "$sim" "$talvexd" "$bench"; do
  [ -x "$program" ] || { echo "talvexd-perf: $program is missing; build $1 first" >&2; exit 2; }
done
for tool in wrk python3 curl; do
  command -v "$tool" > /dev/null || { echo "talvexd-perf: $tool is missing" >&2; exit 2; }
done

# How long each figure is watched, and how many samples are taken.
idle_seconds=60
load_seconds=30
stream_seconds=30
streams=200
level_samples=40
put_samples=60
alarm_samples=10
if [ "${2:-}" = "--quick" ]; then
  idle_seconds=10 load_seconds=10 stream_seconds=10 level_samples=10 put_samples=15 alarm_samples=3
fi

work=$(mktemp -d -t talvexd-perf.XXXXXX)
cd "$work" # nothing of the run is left behind
sim_pid=""
service_pid=""
cleanup() {
  for pid in $service_pid $sim_pid; do
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

say() { echo "talvexd-perf: $*" >&2; }
die() {
  say "$*"
  [ -s "$work/talvexd.log" ] && sed 's/^/  talvexd: /' "$work/talvexd.log" | tail -5 >&2
  exit 1
}
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local tries=$(($1 * 10))
  shift
  until "$@" > /dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

started=$(date '+%Y-%m-%dT%H:%M:%S')
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# 1. The exchange alone, before anything else runs: the library against its
# own simulator, no service.
say "the exchanges through the library alone (about 25 s)"
"$bench" --benchmark_filter='^BM_(SetLINEVol|GetRtVol_Level)/' --benchmark_format=json \
  > "$work/bench.json" 2> "$work/bench.err" || die "transaction_bench failed: $(tail -1 "$work/bench.err")"
read -r set_exchange set_reply _ level_reply < <("${measure[@]}" bench-figures "$work/bench.json") ||
  die "no figures from transaction_bench"

# The simulator, every request frame stamped, its commands from a pipe.
mkfifo "$work/control"
exec 3<> "$work/control"
"${measure[@]}" stamp "$work/trace.log" "$sim" --link "$work/tty" --trace --control <&3 &
sim_pid=$!
wait_for 5 test -e "$work/tty" || die "the simulator did not start"

export TALVEXD_PERF_PORT
TALVEXD_PERF_PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$work/talvexd.toml" << EOF
[device]
port = "$work/tty"
[http]
listen = "127.0.0.1:$TALVEXD_PERF_PORT"
[auth]
users_file = "$work/users"
[schedule]
file = "$work/config.xml"
[data]
directory = "$work"
# For the alarm's latency: SWR over 2.0 for 2 s raises it; under 2.0 clears it.
[alarms.swr]
threshold = 2.0
delay = 2
hysteresis = 0
clear_delay = 0
EOF
# A throwaway account for this run; its password never reaches a command line.
password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
printf '%s\n' "$password" | "$talvexd" --config "$work/talvexd.toml" user add perf --role operator \
  > "$work/user.log" 2>&1 || die "could not add the account: $(cat "$work/user.log")"
export TALVEXD_PERF_AUTHORIZATION
TALVEXD_PERF_AUTHORIZATION="Basic $(printf 'perf:%s' "$password" | base64 -w0)"
(umask 077 && printf 'Authorization: %s\n' "$TALVEXD_PERF_AUTHORIZATION" > "$work/auth.header")
api="http://127.0.0.1:$TALVEXD_PERF_PORT/api/v1"
call() { curl -sf -H @"$work/auth.header" "$@"; }

"$talvexd" --config "$work/talvexd.toml" > "$work/talvexd.log" 2>&1 &
service_pid=$!
link_up() { call "$api/status" | grep -q '"link":"up"'; }
wait_for 20 link_up || die "the service's link did not come up"
# On air, as a site is: the status cycle makes all seven readings.
call -X PUT -d '{"transmitter": "on"}' "$api/settings" > /dev/null || die "could not switch the transmitter on"
on_air() { call "$api/status" | grep -q '"transmitter":"on"'; }
wait_for 10 on_air || die "the transmitter did not go on air"
sleep 5

say "the service alone, ${idle_seconds} s"
"${measure[@]}" threads "$service_pid" "$idle_seconds" talvexd-data talvexd-watch > "$work/threads.txt" &
threads_pid=$!
read -r idle_cpu idle_rss idle_frames < <("${measure[@]}" watch "$service_pid" "$idle_seconds" "$work/trace.log") ||
  die "the service could not be watched"
wait "$threads_pid" || die "the watcher and the database writer could not be watched"
read -r record_cpu < "$work/threads.txt"

# GET /status at 200 a second over $1 connections: wrk's p99 (ms), its rate
# and the line's frames a second meanwhile, as "p99 rate frames".
status_load() {
  local out="$work/wrk-$1.txt" p99 rate bad frames
  wrk -t2 -c"$1" -d"$((load_seconds + 2))s" --latency -s "$here/talvexd/paced.lua" "$api/status" > "$out" 2>&1 &
  local wrk_pid=$!
  sleep 1 # past the connections' start
  read -r _ _ frames < <("${measure[@]}" watch "$service_pid" "$load_seconds" "$work/trace.log") ||
    die "the service could not be watched"
  wait "$wrk_pid" || die "wrk failed: $(tail -1 "$out")"
  # wrk prints 99% as 1.23ms, 456.00us or 1.01s.
  p99=$(awk '$1 == "99%" { v = $2; f = 1000; if (v ~ /us$/) f = 0.001; else if (v ~ /ms$/) f = 1;
             sub(/[a-z]+$/, "", v); printf "%.3f", v * f }' "$out")
  rate=$(awk '$1 == "Requests/sec:" { print $2 }' "$out")
  bad=$(grep -E 'Non-2xx|Socket errors' "$out" || true)
  if [ -z "$p99" ] || [ -z "$rate" ]; then
    die "could not read wrk's figures: $(head -3 "$out")"
  fi
  [ -z "$bad" ] || die "wrk had failed requests: $bad"
  echo "$p99 $rate $frames"
}
# Each of wrk's two threads sends one request every 10 ms.
export TALVEXD_PERF_PERIOD_MS=10
say "GET /status at 200 a second over 4 connections, ${load_seconds} s"
read -r few_p99 few_rate few_frames < <(status_load 4) || exit 1
say "GET /status at 200 a second over 20 connections, ${load_seconds} s"
read -r many_p99 many_rate many_frames < <(status_load 20) || exit 1

say "$streams event streams, ${stream_seconds} s"
read -r streams_cpu streams_rss _ streams_open streams_events < <(
  "${measure[@]}" streams "$streams" "$stream_seconds" "$service_pid" "$work/trace.log"
) || die "the streams could not be measured"
[ "$streams_open" = "$streams" ] || die "only $streams_open of $streams streams stayed open"

say "a level's way to a stream, $level_samples samples"
read -r level_median level_p90 level_max _ < <(
  "${measure[@]}" level "$work/control" "$work/trace.log" "$level_samples" "$level_reply"
) || die "the level events could not be measured"

say "SWR alarms, $alarm_samples"
read -r alarm_median alarm_max alarm_cycle _ < <("${measure[@]}" alarm "$work/control" "$alarm_samples" 2) ||
  die "the alarms could not be measured"

say "setting requests, $put_samples"
read -r put_median put_wait put_own _ < <(
  "${measure[@]}" put "$put_samples" "$work/trace.log" "$set_exchange" "$set_reply"
) || die "the setting requests could not be measured"

load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# Figure, measured, goal, verdict (ok when measured < goal; "-" is no goal).
row() {
  local verdict="-"
  if [ "$4" != "-" ]; then
    verdict=$(awk -v m="$2" -v g="$4" 'BEGIN { print (m + 0 < g + 0) ? "ok" : "MISSED" }')
  fi
  printf '%-52s %12s %12s  %s\n' "$1" "$2 $3" "$([ "$4" = "-" ] && echo - || echo "< $4 $3")" "$verdict"
}
calc() { awk "BEGIN { printf \"%.${2:-1}f\", $1 }"; }

# The larger of the two loads' extra frames per request.
extra_per_request=$(awk -v i="$idle_frames" -v f="$few_frames" -v fr="$few_rate" -v m="$many_frames" -v mr="$many_rate" \
  'BEGIN { a = (f - i) / fr; b = (m - i) / mr; printf "%.3f", (a > b ? a : b) }')
cpu_model=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
echo "talvexd performance, $started"
echo "$(nproc) cores ($cpu_model), load average $load_before before, $load_after after"
echo
printf '%-52s %12s %12s  %s\n' "Figure" "Measured" "Goal" "Verdict"
# The request's exchange is its wait for the line, which it shares with the
# pollers as a press of the panel does, and the exchange itself; the goal is
# what the service adds to that.
row "1. setting request (PUT), round trip, median" "$(calc "$put_median")" ms -
row "   waiting for the line (behind the pollers), median" "$(calc "$put_wait")" ms -
row "   SetLINEVol exchange alone, median" "$(calc "$set_exchange")" ms -
row "   the service's own: round trip less both" "$(calc "$put_median - $put_wait - $set_exchange" 2)" ms 5
row "   of which after the exchange, median" "$(calc "$put_own" 2)" ms -
row "2. GET /status at 200/s over 4 connections, p99" "$few_p99" ms 2
row "   achieved rate" "$(calc "$few_rate" 0)" /s -
row "   over 20 connections, p99" "$many_p99" ms 2
row "   achieved rate" "$(calc "$many_rate" 0)" /s -
row "   line frames, service alone" "$idle_frames" /s -
row "   line frames, under 4 and 20 connections" "$few_frames, $many_frames" /s -
row "   extra frames per request" "$extra_per_request" "" 0.05
row "3. $streams event streams: CPU" "$streams_cpu" "%" 5
row "   resident memory (VmRSS)" "$streams_rss" MB 40
row "   events per stream" "$streams_events" /s -
row "4. service alone while polling: CPU" "$idle_cpu" "%" 1
row "   resident memory (VmRSS)" "$idle_rss" MB 20
row "5. level on a stream after its exchange, median" "$(calc "$level_median" 2)" ms 10
row "   90th percentile" "$(calc "$level_p90" 2)" ms -
row "   longest" "$(calc "$level_max" 2)" ms -
# Raised at the end of the first status cycle after its delay: within one
# cycle, however long the cycle takes on this line.
row "6. SWR alarm, from its delay's end to the raise, median" "$(calc "$alarm_median" 0)" ms "$(calc "$alarm_cycle" 0)"
row "   longest" "$(calc "$alarm_max" 0)" ms "$(calc "$alarm_cycle" 0)"
row "   status cycle on air, median (the goal above)" "$(calc "$alarm_cycle" 0)" ms -
row "7. watcher and database writer while polling: CPU" "$record_cpu" "%" 0.5
