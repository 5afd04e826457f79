#!/usr/bin/env python3
"""A real SMTP server on the loopback for the notification tests (Debian's
python3-aiosmtpd): STARTTLS required before anything else, one account, and
each message kept as a file NNN.eml in a folder. Prints "ready PORT" once it
listens.

Usage: smtp_receiver.py CERT KEY USER PASSWORD FOLDER
"""
import pathlib
import signal
import socket
import ssl
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

cert, key, user, password, folder = sys.argv[1:6]


class Keeper:
    count = 0

    async def handle_DATA(self, server, session, envelope):
        Keeper.count += 1
        path = pathlib.Path(folder) / f"{Keeper.count:03}.eml"
        # Whole or not at all: the test reads the folder while mail arrives.
        path.with_suffix(".part").write_bytes(envelope.original_content)
        path.with_suffix(".part").rename(path)
        return "250 kept"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
          and auth_data.password == password.encode())
    return AuthResult(success=ok, handled=False)  # handled=False: aiosmtpd answers 535


context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(cert, key)
with socket.socket() as probe:
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
controller = Controller(Keeper(), hostname="127.0.0.1", port=port, tls_context=context,
                        require_starttls=True, auth_require_tls=True, auth_required=True,
                        authenticator=authenticate)
controller.start()
print("ready", port, flush=True)
signal.signal(signal.SIGTERM, lambda *_: (controller.stop(), sys.exit(0)))
signal.pause()
