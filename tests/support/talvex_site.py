"""talvexd and the simulated transmitter as a site runs them: what the
browser and SNMP tests, the screenshots and the benchmarks share.

Paths come from the environment (CTest sets them): TALVEXD, TALVEX_SIM,
TALVEX_WEB (the page's folder), TALVEX_JAVASCRIPT (the system libraries).
"""

import base64
import json
import os
import queue
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import urllib.error
import urllib.request

PASSWORDS = {"viewer": "pw-viewer", "operator": "pw-operator", "admin": "pw-admin"}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(predicate, timeout, step=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            return value
        time.sleep(step)


class Simulator:
    """talvex-sim with --trace and --control: its request frames are kept,
    and commands go to its standard input."""

    def __init__(self, link, faults=()):
        args = [os.environ["TALVEX_SIM"], "--link", link, "--trace", "--control"]
        for fault in faults:
            args += ["--fault", fault]
        self.process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True, bufsize=1)
        self.frames = []
        self.answers = queue.Queue()
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            line = line.rstrip("\n")
            if line.startswith("request: "):
                with self.lock:
                    self.frames.append(line[len("request: "):].upper())
            elif line == "ok" or line.startswith("error:"):
                self.answers.put(line)

    def control(self, command):
        self.process.stdin.write(command + "\n")
        self.process.stdin.flush()
        answer = self.answers.get(timeout=10)
        assert answer == "ok", f"{command}: {answer}"

    def sent(self, frame):
        with self.lock:
            return frame in self.frames

    def count(self, code):
        """Request frames with command code `code` (two hex digits)."""
        with self.lock:
            return sum(1 for f in self.frames if f.split()[2:3] == [code])

    def stop(self):
        self.process.terminate()
        self.process.wait(10)


class Site:
    """A temporary site: the simulator, talvexd on a free loopback port with
    three accounts (viewer, operator, admin), and its folder."""

    def __init__(self, faults=(), extra=""):
        self.dir = tempfile.mkdtemp(prefix="talvex-web-")
        self.port = free_port()
        self.url = f"http://127.0.0.1:{self.port}"
        self.sim = Simulator(os.path.join(self.dir, "ttyTX"), faults)
        wait_for(lambda: os.path.exists(os.path.join(self.dir, "ttyTX")), 10)
        self.config = os.path.join(self.dir, "talvexd.toml")
        with open(self.config, "w") as f:
            f.write(f"""[device]
port = "{self.dir}/ttyTX"
[http]
listen = "127.0.0.1:{self.port}"
[auth]
users_file = "{self.dir}/users"
[schedule]
file = "{self.dir}/config.xml"
[data]
directory = "{self.dir}"
history_interval = 1
[web]
directory = "{os.environ.get('TALVEX_WEB', '/usr/share/talvex/web')}"
libraries = "{os.environ.get('TALVEX_JAVASCRIPT', '/usr/share/javascript')}"
{extra}""")
        for user, password in PASSWORDS.items():
            subprocess.run([os.environ["TALVEXD"], "--config", self.config, "user", "add", user, "--role", user],
                           input=password + "\n", text=True, check=True, capture_output=True)
        self.service = None
        try:
            self.start_service()
        except BaseException:
            self.close()  # nothing of a site that did not come up outlives it
            raise

    def start_service(self):
        self.log = open(os.path.join(self.dir, "talvexd.log"), "a")
        self.service = subprocess.Popen([os.environ["TALVEXD"], "--config", self.config],
                                        stdout=self.log, stderr=subprocess.STDOUT)
        up = wait_for(lambda: self.status().get("link") == "up" and self.status().get("read_at"), 20, 0.1)
        assert up, "talvexd did not come up:\n" + self.service_log()

    def stop_service(self):
        self.service.terminate()
        self.service.wait(15)
        self.log.close()

    def service_log(self):
        with open(os.path.join(self.dir, "talvexd.log")) as f:
            return f.read()

    def request(self, method, path, body=None, user="viewer", cookie=None, origin=None):
        """(status, parsed JSON or None)."""
        headers = {"Content-Type": "application/json"}
        if cookie:
            headers["Cookie"] = cookie
        elif user:
            token = base64.b64encode(f"{user}:{PASSWORDS[user]}".encode()).decode()
            headers["Authorization"] = "Basic " + token
        if origin:
            headers["Origin"] = origin
        data = json.dumps(body).encode() if body is not None else None
        req = urllib.request.Request(self.url + path, data=data, method=method, headers=headers)
        try:
            with urllib.request.urlopen(req, timeout=20) as response:
                text = response.read()
                return response.status, json.loads(text) if text else None
        except urllib.error.HTTPError as error:
            text = error.read()
            try:
                return error.code, json.loads(text)
            except ValueError:
                return error.code, None
        except OSError:
            return 0, None

    def status(self):
        code, body = self.request("GET", "/api/v1/status")
        return body if code == 200 else {}

    def close(self):
        if self.service and self.service.poll() is None:
            self.stop_service()
        self.sim.stop()
        shutil.rmtree(self.dir, ignore_errors=True)
