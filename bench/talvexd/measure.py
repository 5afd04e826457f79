#!/usr/bin/env python3
"""The measuring half of bench/talvexd-perf.sh: everything that needs a clock
shared with the simulator's trace, or many sockets at once. Standard library
only. Every subcommand prints its figures as numbers on one line.

  stamp LOG CMD...          runs CMD, writes each line of its output to LOG
                            behind the monotonic time it arrived
  bench-figures JSON        the medians of transaction_bench's run
  watch PID SECONDS TRACE   CPU share, resident memory and line frames a second
  streams N SECONDS PID TRACE
                            the same while N event streams are open
  level CONTROL TRACE COUNT REPLY_MS
                            how long after its exchange a level reaches a stream
  put COUNT TRACE EXCHANGE_MS REPLY_MS
                            setting requests: round trip, wait for the line and
                            the service's own time
  threads PID SECONDS NAME...
                            CPU share of one core of the named threads together
  alarm CONTROL COUNT DELAY_S
                            how long after its delay an SWR alarm is raised

The service is at 127.0.0.1:$TALVEXD_PERF_PORT; requests carry the header in
$TALVEXD_PERF_AUTHORIZATION (kept out of the command line).
"""

import http.client
import json
import os
import random
import re
import selectors
import signal
import socket
import statistics
import subprocess
import sys
import time

HOST = "127.0.0.1"
# The trace's lines for the level reading and for a line volume setting.
LEVEL_FRAME = "request: 01 01 22"
SET_LINE_VOL_FRAME = "request: 01 02 0f {:02x}"


def fail(message):
    print("measure.py: " + message, file=sys.stderr)
    sys.exit(1)


def port():
    return int(os.environ["TALVEXD_PERF_PORT"])


def authorization():
    return os.environ["TALVEXD_PERF_AUTHORIZATION"]


def median(values):
    return statistics.median(values) if values else float("nan")


def percentile(values, fraction):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * (len(ordered) - 1) + 0.5))]


# ---- stamp -------------------------------------------------------------------


def stamp(log_path, command):
    """Each line gets the time it was read here: the pipe adds some tens of
    microseconds to the moment the simulator printed it."""
    child = subprocess.Popen(command, stdout=subprocess.PIPE, bufsize=0)
    signal.signal(signal.SIGTERM, lambda *_: child.terminate())
    pending = b""
    with open(log_path, "w", encoding="utf-8") as log:
        while True:
            try:
                data = os.read(child.stdout.fileno(), 65536)
            except InterruptedError:
                continue
            if not data:
                break
            now = time.monotonic()
            pending += data
            *lines, pending = pending.split(b"\n")
            for line in lines:
                log.write("%.6f %s\n" % (now, line.decode("utf-8", "replace")))
            log.flush()
    child.wait()


class Trace:
    """The stamped log, read on as it grows."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.lines = []  # (time, text)

    def update(self):
        with open(self.path, encoding="utf-8") as log:
            log.seek(self.offset)
            text = log.read()
        end = text.rfind("\n") + 1
        self.offset += len(text[:end].encode("utf-8"))
        for line in text[:end].splitlines():
            at, _, rest = line.partition(" ")
            self.lines.append((float(at), rest))
        return self

    def frames(self, start, end):
        return sum(1 for at, text in self.lines if start <= at < end and text.startswith("request:"))


# ---- watch -------------------------------------------------------------------


def cpu_seconds(pid):
    return cpu_seconds_of("/proc/%d/stat" % pid)


def cpu_seconds_of(stat_path):
    with open(stat_path) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime + stime


def resident_mb(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    fail("no VmRSS for process %d" % pid)


class Window:
    """CPU share of one process and the trace's frames over a stretch of time."""

    def __init__(self, pid, trace_path):
        self.pid = pid
        self.trace_path = trace_path
        self.start = time.monotonic()
        self.cpu = cpu_seconds(pid)

    def close(self):
        end = time.monotonic()
        cpu = cpu_seconds(self.pid) - self.cpu
        wall = end - self.start
        time.sleep(0.1)  # the stamper writes the window's last lines
        frames = Trace(self.trace_path).update().frames(self.start, end)
        return "%.3f %.1f %.2f" % (100.0 * cpu / wall, resident_mb(self.pid), frames / wall)


def watch(pid, seconds, trace_path):
    window = Window(pid, trace_path)
    time.sleep(seconds)
    print(window.close())


# ---- event streams -------------------------------------------------------------


def open_stream():
    sock = socket.create_connection((HOST, port()), timeout=5)
    request = "GET /api/v1/events HTTP/1.1\r\nHost: %s:%d\r\nAuthorization: %s\r\nAccept: text/event-stream\r\n\r\n"
    sock.sendall((request % (HOST, port(), authorization())).encode())
    sock.setblocking(False)
    return sock


def streams(count, seconds, pid, trace_path):
    """Opens `count` streams, waits until each has had its first event, then
    watches the service while they all stay open and are read."""
    selector = selectors.DefaultSelector()
    state = {}
    for _ in range(count):
        sock = open_stream()
        state[sock] = {"head": b"", "ok": False, "events": 0, "tail": b"", "open": True}
        selector.register(sock, selectors.EVENT_READ)

    def drain(until):
        while True:
            left = until - time.monotonic()
            if left <= 0:
                return
            for key, _ in selector.select(left):
                sock = key.fileobj
                s = state[sock]
                try:
                    data = sock.recv(65536)
                except BlockingIOError:
                    continue
                except OSError:
                    data = b""
                if not data:
                    s["open"] = False
                    selector.unregister(sock)
                    continue
                if not s["ok"]:
                    s["head"] += data
                    if b"\r\n\r\n" not in s["head"]:
                        continue
                    if not s["head"].startswith(b"HTTP/1.1 200"):
                        fail("a stream was refused: " + s["head"].split(b"\r\n")[0].decode())
                    s["ok"] = True
                    data = s["head"].split(b"\r\n\r\n", 1)[1]
                text = s["tail"] + data
                s["events"] += text.count(b"event: ")
                s["tail"] = text[-6:]

    deadline = time.monotonic() + 30
    while not all(s["ok"] and s["events"] > 0 for s in state.values()):
        if time.monotonic() > deadline:
            started = sum(1 for s in state.values() if s["events"] > 0)
            fail("only %d of %d streams started within 30 s" % (started, count))
        drain(time.monotonic() + 0.2)
    drain(time.monotonic() + 2)  # past the first events' burst
    before = sum(s["events"] for s in state.values())
    window = Window(pid, trace_path)
    drain(window.start + seconds)
    figures = window.close()
    still_open = sum(1 for s in state.values() if s["open"])
    events = sum(s["events"] for s in state.values()) - before
    for sock in state:
        sock.close()
    print("%s %d %.1f" % (figures, still_open, events / seconds / count))


# ---- level latency ---------------------------------------------------------------

LEVEL_EVENT = re.compile(rb"event: level\ndata: (\{[^\n]*\})\n")


def level(control_path, trace_path, count, reply_ms):
    """For each of `count` held levels: from the end of the exchange that
    carried it to the arrival of its event on a stream. The exchange's end is
    the request's arrival at the simulator (its trace line) plus the library's
    own arrival-to-return time for that exchange (`reply_ms`, measured by
    transaction_bench with the same reply delay): the simulator answers at
    once, and the library waits the reply delay before it reads."""
    trace = Trace(trace_path)
    sock = open_stream()
    sock.setblocking(True)
    sock.settimeout(5)
    buffer = b""
    latencies = []
    with open(control_path, "w") as control:
        for i in range(count):
            value = 40000 + i  # never a level the simulator makes by itself
            control.write("set level %d\n" % value)
            control.flush()
            arrived = None
            deadline = time.monotonic() + 5
            while arrived is None:
                if time.monotonic() > deadline:
                    fail("no level event with %d within 5 s" % value)
                data = sock.recv(65536)
                now = time.monotonic()
                if not data:
                    fail("the event stream ended")
                buffer += data
                for match in LEVEL_EVENT.finditer(buffer):
                    if json.loads(match.group(1))["audio_level_raw"] == value:
                        arrived = now
                last = buffer.rfind(b"\n\n")
                if last >= 0:
                    buffer = buffer[last + 2 :]
            # The reading that carried the value: the last level request before
            # its event (readings are at least 170 ms apart).
            time.sleep(0.05)
            requests = [at for at, text in trace.update().lines if text == LEVEL_FRAME and at < arrived]
            if not requests:
                fail("no level request in the trace before its event")
            latencies.append((arrived - requests[-1]) * 1000.0 - reply_ms)
            time.sleep(random.uniform(0.0, 0.1))
        control.write("clear level\n")
        control.flush()
    sock.close()
    print("%.3f %.3f %.3f %d" % (median(latencies), percentile(latencies, 0.9), max(latencies), len(latencies)))


# ---- setting requests -------------------------------------------------------------


def put(count, trace_path, exchange_ms, reply_ms):
    """PUT line_volume_step 5, 6, 5, ... with a random pause before each, as
    an operator's clicks come: each finds the line at a different point of
    the pollers' cycles. Per request, from the trace's frame of its setting:
    the wait for the line is from the request to that frame, less the part of
    an exchange before its frame arrives (exchange - reply); the service's own
    time is from the frame to the answer, less the rest of the exchange (reply)."""
    rng = random.Random(1)
    connection = http.client.HTTPConnection(HOST, port(), timeout=30)
    headers = {"Authorization": authorization(), "Content-Type": "application/json"}
    samples = []  # (sent, answered, value)
    for i in range(count):
        time.sleep(rng.uniform(0.05, 0.5))
        value = 5 + i % 2
        sent = time.monotonic()
        connection.request("PUT", "/api/v1/settings", json.dumps({"line_volume_step": value}), headers)
        response = connection.getresponse()
        body = response.read()
        answered = time.monotonic()
        if response.status != 200:
            fail("PUT answered %d: %s" % (response.status, body.decode(errors="replace").strip()))
        samples.append((sent, answered, value))
    connection.close()
    time.sleep(0.1)
    trace = Trace(trace_path).update()
    round_trips, waits, own = [], [], []
    before_frame = exchange_ms - reply_ms
    for sent, answered, value in samples:
        frame = SET_LINE_VOL_FRAME.format(value)
        arrivals = [at for at, text in trace.lines if text == frame and sent <= at <= answered]
        if len(arrivals) != 1:
            fail("%d frames of one setting in the trace, not 1" % len(arrivals))
        round_trips.append((answered - sent) * 1000.0)
        waits.append((arrivals[0] - sent) * 1000.0 - before_frame)
        own.append((answered - arrivals[0]) * 1000.0 - reply_ms)
    print("%.3f %.3f %.3f %d" % (median(round_trips), median(waits), median(own), len(round_trips)))


# ---- transaction_bench's figures ---------------------------------------------------


def bench_figures(path):
    """exchange and reply medians of BM_SetLINEVol, then of BM_GetRtVol_Level."""
    with open(path) as file:
        runs = {run["name"].split("/")[0]: run for run in json.load(file)["benchmarks"]}
    figures = []
    for name in ("BM_SetLINEVol", "BM_GetRtVol_Level"):
        run = runs.get(name)
        if run is None or run.get("error_occurred"):
            fail("transaction_bench did not measure " + name)
        figures += [run["exchange_median_ms"], run["reply_median_ms"]]
    print(" ".join("%.3f" % f for f in figures))


# ---- threads and alarms ----------------------------------------------------------


def thread_cpu_seconds(pid, names):
    total = 0.0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/comm" % (pid, task)) as comm:
            if comm.read().strip() not in names:
                continue
        total += cpu_seconds_of("/proc/%d/task/%s/stat" % (pid, task))
    return total


def threads(pid, seconds, names):
    start, cpu = time.monotonic(), thread_cpu_seconds(pid, names)
    time.sleep(seconds)
    print("%.3f" % (100.0 * (thread_cpu_seconds(pid, names) - cpu) / (time.monotonic() - start)))


def get_json(connection, path):
    connection.request("GET", path, headers={"Authorization": authorization()})
    response = connection.getresponse()
    body = response.read()
    if response.status != 200:
        fail("GET %s: %d" % (path, response.status))
    return json.loads(body)


def rfc3339_seconds(text):
    # "2026-12-09T13:05:07.250Z"
    whole, _, fraction = text.rstrip("Z").partition(".")
    return time.mktime(time.strptime(whole, "%Y-%m-%dT%H:%M:%S")) - time.timezone + float("0." + (fraction or "0"))


def alarm(control_path, count, delay):
    """For each of `count` SWR rises: from the moment its delay passed (the
    end of the first status cycle that read the high SWR, plus the delay) to
    the raise (its raised_at); then the SWR falls back and the alarm clears.
    Also the status cycle's length meanwhile, which the raise may wait."""
    connection = http.client.HTTPConnection(HOST, port(), timeout=10)
    latencies = []
    cycle_ends = set()
    with open(control_path, "w") as control:
        for i in range(count):
            control.write("set swr 3.5\n")
            control.flush()
            sent = time.time()
            first_read = None
            deadline = time.monotonic() + delay + 10
            while True:
                if time.monotonic() > deadline:
                    fail("no SWR alarm within %.0f s" % (delay + 10))
                status = get_json(connection, "/api/v1/status")
                read_at = rfc3339_seconds(status["read_at"])
                cycle_ends.add(read_at)
                # A cycle that ended before the command cannot have read it.
                if first_read is None and status["swr_ratio"] >= 3.5 and read_at > sent:
                    first_read = read_at
                raised = [a for a in get_json(connection, "/api/v1/alarms")["alarms"] if a["alarm"] == "swr"]
                if raised and first_read is not None:
                    latencies.append((rfc3339_seconds(raised[0]["raised_at"]) - first_read - delay) * 1000.0)
                    break
                time.sleep(0.02)
            control.write("set swr 1.2\n")
            control.flush()
            deadline = time.monotonic() + 10
            while any(a["alarm"] == "swr" for a in get_json(connection, "/api/v1/alarms")["alarms"]):
                if time.monotonic() > deadline:
                    fail("the SWR alarm did not clear")
                time.sleep(0.05)
            time.sleep(random.uniform(0.0, 1.0))
        control.write("clear swr\n")
        control.flush()
    ends = sorted(cycle_ends)
    cycles = [(b - a) * 1000.0 for a, b in zip(ends, ends[1:]) if b - a < 5]
    print("%.1f %.1f %.1f %d" % (median(latencies), max(latencies), median(cycles), len(latencies)))


def main(argv):
    if len(argv) < 2:
        fail("no subcommand (see the top of this file)")
    command, args = argv[1], argv[2:]
    try:
        if command == "stamp" and len(args) >= 2:
            stamp(args[0], args[1:])
        elif command == "bench-figures" and len(args) == 1:
            bench_figures(args[0])
        elif command == "watch" and len(args) == 3:
            watch(int(args[0]), float(args[1]), args[2])
        elif command == "streams" and len(args) == 4:
            streams(int(args[0]), float(args[1]), int(args[2]), args[3])
        elif command == "level" and len(args) == 4:
            level(args[0], args[1], int(args[2]), float(args[3]))
        elif command == "put" and len(args) == 4:
            put(int(args[0]), args[1], float(args[2]), float(args[3]))
        elif command == "threads" and len(args) >= 3:
            threads(int(args[0]), float(args[1]), set(args[2:]))
        elif command == "alarm" and len(args) == 3:
            alarm(args[0], int(args[1]), float(args[2]))
        else:
            fail("bad arguments for '%s' (see the top of this file)" % command)
    except (OSError, ValueError, KeyError, http.client.HTTPException) as error:
        fail("%s: %s" % (command, error))


if __name__ == "__main__":
    main(sys.argv)
