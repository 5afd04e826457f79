#!/usr/bin/python3
"""TALVEX-MIB's figures, measured through Debian's snmpd with talvexd as its
AgentX subagent, against the simulated transmitter on the loopback:

  get      synchronous GETs of talvexFrequency.0 over one open SNMPv2c
           session (bench/snmp_latency): median, 99th percentile, longest
  walk     complete GETNEXT walks of the MIB's root over the same session:
           varbinds per walk, median, longest
  snmpget  the snmpget and snmpwalk commands timed as whole processes:
  snmpwalk what a monitoring system that runs them for each reading pays
  line     what the SNMP requests cost the serial line: the serial-number
           reads (the one value never polled) before and after, and the
           line's frame rate during the run against an idle interval of the
           same length after it, so that any frame a request caused shows
  load     the machine's load average, since every figure above is one
           process waking another on a shared machine

Usage: bench/snmp-perf.py BUILD_DIR
"""

import collections
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "support"))
build = sys.argv[1]
os.environ.setdefault("TALVEXD", os.path.join(build, "talvexd", "talvexd"))
os.environ.setdefault("TALVEX_SIM", os.path.join(build, "sim", "talvex-sim"))
os.environ.setdefault("TALVEX_WEB", os.path.join(root, "web"))
os.environ.setdefault("TALVEX_JAVASCRIPT", "/usr/share/javascript")
SNMP_LATENCY = os.path.join(build, "bench", "snmp_latency")

import net_snmp  # noqa: E402
import talvex_site  # noqa: E402

GETS, WALKS = 2000, 200
SNMPGETS, SNMPWALKS = 200, 50
# snmp_latency's own, before it times anything.
WARM_UP_GETS = 10
FREQUENCY = net_snmp.scalar(3)
SERIAL_NUMBER = "19"

GET_LINE = re.compile(r"^get: n=(\d+) median=([\d.]+) p99=([\d.]+) max=([\d.]+) ms$", re.M)
WALK_LINE = re.compile(r"^walk: n=(\d+) varbinds=(\d+)(?:\.\.(\d+))? median=([\d.]+) max=([\d.]+) ms$", re.M)


def fail(message):
    raise SystemExit("snmp-perf: " + message)


def percentile(sorted_values, fraction):
    """Nearest rank, as snmp_latency has it."""
    rank = max(1, min(len(sorted_values), -(-len(sorted_values) * fraction // 1)))
    return sorted_values[int(rank) - 1]


def time_command(snmpd, tool, arguments, runs, expect):
    """Milliseconds of each run of the whole command, sorted."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        result = snmpd.client(tool, arguments)
        times.append((time.perf_counter() - start) * 1000)
        if result.returncode != 0 or expect not in result.stdout:
            fail(f"{tool} {' '.join(arguments)}: {result.returncode} {result.stderr.strip() or result.stdout.strip()}")
    return sorted(times)


def codes(frames):
    return collections.Counter(f.split()[2] for f in frames if len(f.split()) > 2)


def measure(snmpd, site):
    sim = site.sim
    registered = talvex_site.wait_for(
        lambda: "Gauge32" in snmpd.client("snmpget", [FREQUENCY]).stdout, 15, 0.2)
    if not registered:
        fail("talvexd did not register with snmpd:\n" + site.service_log())

    with sim.lock:
        frames_before = len(sim.frames)
    serial_before = sim.count(SERIAL_NUMBER)
    started = time.monotonic()

    latency = subprocess.run([SNMP_LATENCY, f"127.0.0.1:{snmpd.port}", "public", str(GETS), FREQUENCY,
                              net_snmp.ROOT, str(WALKS)], capture_output=True, text=True, timeout=600)
    if latency.returncode != 0:
        fail(f"snmp_latency: {latency.returncode}\n{latency.stdout}{latency.stderr}")
    get, walk = GET_LINE.search(latency.stdout), WALK_LINE.search(latency.stdout)
    if not get or not walk:
        fail("snmp_latency said:\n" + latency.stdout + latency.stderr)
    latency_done = time.monotonic()

    snmpget = time_command(snmpd, "snmpget", [FREQUENCY], SNMPGETS, "Gauge32")
    # The same command for snmpd's own sysUpTime.0: what the command costs
    # without talvexd.
    uptime = time_command(snmpd, "snmpget", ["1.3.6.1.2.1.1.3.0"], SNMPGETS, "Timeticks")
    snmpwalk = time_command(snmpd, "snmpwalk", [net_snmp.ROOT], SNMPWALKS, net_snmp.OBJECTS)

    ended = time.monotonic()
    with sim.lock:
        frames_after = len(sim.frames)
    serial_after = sim.count(SERIAL_NUMBER)
    run = ended - started
    # The pollers alone, as long again: a request that cost the line a
    # frame shows as a higher rate during the run than here.
    time.sleep(run)
    with sim.lock:
        frames_idle = len(sim.frames)
        run_codes = codes(sim.frames[frames_before:frames_after])
        idle_codes = codes(sim.frames[frames_after:frames_idle])

    # Every walk is one GETNEXT per varbind and one that leaves the root.
    varbinds = int(walk.group(3) or walk.group(2))
    requests = WARM_UP_GETS + GETS + WALKS * (varbinds + 1) + SNMPGETS + SNMPWALKS * (varbinds + 1)

    print(latency.stdout.strip())
    print(f"  ({latency_done - started:.1f} s for {WARM_UP_GETS} + {GETS} GETs and {WALKS} walks over one session)")
    print(f"snmpget (whole process): n={SNMPGETS} median={statistics.median(snmpget):.1f} "
          f"p99={percentile(snmpget, 0.99):.1f} max={snmpget[-1]:.1f} ms")
    print(f"snmpget of snmpd's own sysUpTime.0 (whole process): n={SNMPGETS} median={statistics.median(uptime):.1f} "
          f"p99={percentile(uptime, 0.99):.1f} max={uptime[-1]:.1f} ms")
    print(f"snmpwalk (whole process): n={SNMPWALKS} median={statistics.median(snmpwalk):.1f} "
          f"max={snmpwalk[-1]:.1f} ms")
    run_frames, idle_frames = frames_after - frames_before, frames_idle - frames_after
    print(f"line: serial-number reads (code {SERIAL_NUMBER}) {serial_before} before the run, {serial_after} after: "
          f"{(serial_after - serial_before) / requests:g} per SNMP request (of {requests})")
    only_in_run = sorted(set(run_codes) - set(idle_codes))
    print(f"line: {run_frames} frames in the {run:.1f} s run ({run_frames / run:.1f}/s), {idle_frames} in an idle "
          f"{run:.1f} s after it ({idle_frames / run:.1f}/s): {(run_frames - idle_frames) / requests:+.4f} frames "
          f"per SNMP request beyond the pollers' own; codes only in the run: {', '.join(only_in_run) or 'none'}")
    if serial_after != serial_before:
        fail("an SNMP request read the serial number from the line")
    load = os.getloadavg()
    print(f"load average: {load[0]:.2f} {load[1]:.2f} {load[2]:.2f} ({os.cpu_count()} CPUs)")


def main():
    # A terminated run still takes down what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    if not os.access(SNMP_LATENCY, os.X_OK):
        fail(f"no {SNMP_LATENCY}: cmake --build {build} --target talvexd talvex-sim snmp_latency")
    folder = tempfile.mkdtemp(prefix="talvex-snmp-perf-")
    trapd = snmpd = site = None
    try:
        trapd = net_snmp.Snmptrapd(folder)
        snmpd = net_snmp.Snmpd(folder, trapd.port)
        site = talvex_site.Site(extra=f'[snmp]\nagentx = "{snmpd.agentx}"\n')
        measure(snmpd, site)
    finally:
        if site is not None:
            site.close()
        if snmpd is not None:
            snmpd.stop()
        if trapd is not None:
            trapd.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
