#!/usr/bin/env python3
"""The Win32 backend's serial calls, in the order Wine carries them out.

    comm_trace_check.py DELAY WINE-RUN PREFIX SIM COMn -- PROGRAM [ARG...]

Runs PROGRAM through WINE-RUN (wine-run.sh run) with Wine's trace of its
serial and file calls, and checks every exchange on the port against the
order the library makes its calls in, for PROGRAM's reply delay DELAY (ms):

  purge, 50 ms pause, purge, clear errors, write, ... wait for the first
  byte (with the event mask character received plus line error) ...,
  the reply delay, clear errors, read

Wine cannot raise a line error on a pseudo-terminal (it counts them only
where the driver keeps counters, and reports none from ClearCommError), so
the order is what can be proven here; the wait's end on a line error is not.
"""

import os
import re
import subprocess
import sys

LINE = re.compile(r"^(\d+)\.(\d+):[0-9a-f]+:trace:(comm|file):(\w+) (.*)$")
MASK = re.compile(r"mask[= ](0x[0-9a-f]+)")
# Wine's trace times come from its tick count, which moves in steps of about
# 16 ms: a gap is measured that much short at worst.
TICK = 20


def main(argv):
    if len(argv) < 7 or "--" not in argv:
        print(__doc__, file=sys.stderr)
        return 2
    delay = int(argv[1])
    env = dict(os.environ, WINEDEBUG="+timestamp,+comm,+file")
    run = subprocess.run(argv[2:], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                         errors="replace")
    if run.returncode != 0:
        print(run.stdout + run.stderr[-4000:], file=sys.stderr)
        print(f"FAILED: the program ended with {run.returncode}", file=sys.stderr)
        return 1

    port, calls, masks = None, [], set()
    for text in run.stderr.splitlines():
        m = LINE.match(text)
        if not m:
            continue
        ms = int(m.group(1)) * 1000 + int(m.group(2))
        channel, function, rest = m.group(3), m.group(4), m.group(5)
        if channel == "comm" and function == "io_control":
            handle, code = rest.split()[:2]
            port = port or handle
            if handle == port:
                calls.append((ms, code.replace("IOCTL_SERIAL_", "")))
        elif channel == "comm" and function in ("check_events", "wait_for_event"):
            found = MASK.search(rest)
            if found:
                masks.add(int(found.group(1), 16))
        elif channel == "file" and function in ("NtWriteFile", "NtReadFile") and port is not None \
                and rest.startswith("(" + port + ","):
            calls.append((ms, "WRITE" if function == "NtWriteFile" else "READ"))

    failures = []
    if masks != {0x81}:
        failures.append(f"the first-byte waits used the event masks {sorted(hex(m) for m in masks)}, not 0x81")
    writes = [i for i, (_, call) in enumerate(calls) if call == "WRITE"]
    reads = [i for i, (_, call) in enumerate(calls) if call == "READ"]
    if not writes or len(writes) != len(reads):
        failures.append(f"{len(writes)} writes and {len(reads)} reads on the port")
    for i in writes:
        before = [call for _, call in calls[max(0, i - 3):i]]
        if before != ["PURGE", "PURGE", "GET_COMMSTATUS"]:
            failures.append(f"before a write: {before}, not purge, purge, clear errors")
        elif calls[i - 2][0] - calls[i - 3][0] < 50 - TICK:
            failures.append(f"{calls[i - 2][0] - calls[i - 3][0]} ms between the purges, not the 50 ms pause")
    for i in reads:
        (clear_ms, clear), (last_ms, _) = calls[i - 1], calls[i - 2]
        if clear != "GET_COMMSTATUS" or clear_ms - last_ms < delay - TICK:
            failures.append(f"before a read: {clear} {clear_ms - last_ms} ms after the wait, "
                            f"not clear errors after the {delay} ms reply delay")
    for failure in failures[:10]:
        print("FAILED: " + failure, file=sys.stderr)
    if failures:
        return 1
    print(f"{len(writes)} exchanges: purge, pause, purge, clear errors, write, wait (mask 0x81), "
          f"reply delay, clear errors, read")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
