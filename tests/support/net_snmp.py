"""Debian's net-snmp as a site runs it, on the loopback and unprivileged
ports: snmpd with its AgentX master on TCP, snmptrapd, and the snmpget,
snmpwalk and snmpset clients. Numeric OIDs throughout: Debian ships no
IETF base MIB modules. What the SNMP tests and the SNMP benchmark share.
"""

import os
import re
import socket
import subprocess
import time

ROOT = "1.3.6.1.4.1.8072.9999.9999.7"
OBJECTS = ROOT + ".1"
V3_USER = "nms"
V3_AUTH = "auth-pass-8472"
V3_PRIV = "priv-pass-3916"

SNMPD = "/usr/sbin/snmpd"
SNMPTRAPD = "/usr/sbin/snmptrapd"


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def free_tcp_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def scalar(n):
    return f"{OBJECTS}.{n}.0"


# ".1.3.6.1.4.1.8072.9999.9999.7.1.3.0 = Gauge32: 1000"
VALUE_LINE = re.compile(r'^\.?([0-9.]+) = (?:([A-Za-z0-9-]+): )?(.*)$')


def parse_values(text):
    """{oid: (type, value)} of snmpget/snmpwalk -On output; strings unquoted."""
    values = {}
    for line in text.splitlines():
        match = VALUE_LINE.match(line)
        if not match:
            continue
        oid, kind, value = match.groups()
        if kind == "STRING" and value.startswith('"') and value.endswith('"'):
            value = value[1:-1]
        values[oid] = (kind or "", value)
    return values


class Snmpd:
    """snmpd on a free UDP port, its AgentX master on a free loopback TCP
    port, with v2c communities (public: read, private: write), one v3 user
    with authPriv (SHA-256, AES), and notifications to `trap_port`."""

    def __init__(self, folder, trap_port):
        self.folder = folder
        self.port = free_udp_port()
        self.agentx = f"tcp:127.0.0.1:{free_tcp_port()}"
        self.conf = os.path.join(folder, "snmpd.conf")
        self.persist = os.path.join(folder, "snmpd-state")
        os.makedirs(self.persist, exist_ok=True)
        with open(self.conf, "w") as f:
            f.write(f"""agentaddress udp:127.0.0.1:{self.port}
master agentx
agentXTimeout 10
agentXSocket {self.agentx}
rocommunity public 127.0.0.1
rwcommunity private 127.0.0.1
createUser {V3_USER} SHA-256 "{V3_AUTH}" AES "{V3_PRIV}"
rwuser {V3_USER} priv
trap2sink 127.0.0.1:{trap_port} public
""")
        self.process = None
        self.start()

    def start(self):
        log = os.path.join(self.folder, "snmpd.log")
        env = dict(os.environ, SNMP_PERSISTENT_DIR=self.persist)
        self.process = subprocess.Popen([SNMPD, "-f", "-Lf", log, "-C", "-c", self.conf, "-m", "",
                                         "-p", os.path.join(self.folder, "snmpd.pid")], env=env)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.client("snmpget", ["1.3.6.1.2.1.1.3.0"], timeout=0.3).returncode == 0:
                return
            time.sleep(0.1)
        self.kill()
        raise AssertionError("snmpd did not start:\n" + open(log).read())

    def kill(self):
        self.process.kill()
        self.process.wait(10)

    def client(self, tool, arguments, version="2c", community="public", auth=V3_AUTH, timeout=2.0):
        """Runs snmpget, snmpwalk or snmpset against this snmpd."""
        if version == "3":
            security = ["-v3", "-l", "authPriv", "-u", V3_USER, "-a", "SHA-256", "-A", auth,
                        "-x", "AES", "-X", V3_PRIV]
        else:
            security = ["-v2c", "-c", community]
        command = [tool, *security, "-On", "-m", "", "-t", str(timeout), "-r", "0",
                   f"udp:127.0.0.1:{self.port}", *arguments]
        return subprocess.run(command, capture_output=True, text=True)

    def values(self, tool, arguments, **kwargs):
        result = self.client(tool, arguments, **kwargs)
        assert result.returncode == 0, f"{tool} {arguments}: {result.stderr}"
        return parse_values(result.stdout)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)


class Snmptrapd:
    """snmptrapd on a free UDP port, logging every notification of the
    community public, one a line, with numeric OIDs."""

    def __init__(self, folder):
        self.port = free_udp_port()
        self.log = os.path.join(folder, "traps.log")
        conf = os.path.join(folder, "snmptrapd.conf")
        with open(conf, "w") as f:
            f.write("authCommunity log public\n")
        self.process = subprocess.Popen([SNMPTRAPD, "-f", "-Lf", self.log, "-On", "-m", "", "-C", "-c", conf,
                                         "-p", os.path.join(folder, "snmptrapd.pid"),
                                         f"udp:127.0.0.1:{self.port}"])

    def received(self, trap):
        """The notifications of OID `trap` logged so far, each its text."""
        try:
            with open(self.log) as f:
                text = f.read()
        except FileNotFoundError:
            return []
        return [line for line in text.splitlines() if f"OID: .{trap}\t" in line + "\t"]

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
