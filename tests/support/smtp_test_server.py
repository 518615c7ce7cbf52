"""An SMTP server for the tests on 127.0.0.1: /usr/bin/python3 smtp_test_server.py WORK_DIR.

Takes its settings from WORK_DIR/config.json (see LocalSmtpServer::Config), makes a throwaway
CA (WORK_DIR/ca.pem) and a certificate for "localhost" and 127.0.0.1 signed by it, listens,
and writes the port to WORK_DIR/port. Before it answers the end of DATA, each message goes to
WORK_DIR/received.jsonl as {"mail_from", "rcpt_tos", "auth_user", "content_hex"};
WORK_DIR/events gets "C" for a connection, "M" a message taken, "Q" a QUIT; in silent mode "C"
for a connection and "X" for its end. Runs until killed, or until the test that started it is
gone.
"""

import asyncio
import base64
import json
import logging
import os
import ssl
import subprocess
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

HOST = "127.0.0.1"


def make_certificates(work_dir):
    """Returns (certificate, key) of the server; the CA goes to ca.pem."""

    def path(name):
        return os.path.join(work_dir, name)

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True)

    ec = ["-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
          "-days", "2"]
    openssl("req", *ec, "-keyout", path("ca.key"), "-out", path("ca.pem"),
            "-subj", "/CN=Quillet test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", *ec, "-keyout", path("server.key"), "-out", path("server.pem"),
            "-subj", "/CN=localhost", "-CA", path("ca.pem"), "-CAkey", path("ca.key"),
            "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
            "-addext", "basicConstraints=critical,CA:FALSE",
            "-addext", "keyUsage=critical,digitalSignature",
            "-addext", "extendedKeyUsage=serverAuth")
    return path("server.pem"), path("server.key")


class Handler:
    def __init__(self, config, work_dir):
        self.config = config
        self.received = os.path.join(work_dir, "received.jsonl")
        self.events = os.path.join(work_dir, "events")

    def note(self, event):
        with open(self.events, "a", encoding="ascii") as out:
            out.write(event)

    async def handle_QUIT(self, server, session, envelope):
        self.note("Q")
        if self.config["mode"] == "stall_on_quit":
            await asyncio.Event().wait()
        return "221 Bye"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.config["mode"] == "stall_on_rcpt":
            await asyncio.Event().wait()
        if address in self.config["refused_recipients"]:
            return "550 5.1.1 Recipient refused"
        if address in self.config["deferred_recipients"]:
            self.config["deferred_recipients"].remove(address)
            return "452 4.2.2 Mailbox full"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.config["mode"] in ("stall_after_data", "drop_during_data"):
            if self.config["mode"] == "drop_during_data":
                # The connection goes before the message is answered, as when a server dies.
                server.transport.abort()
            await asyncio.Event().wait()
        content = bytes(envelope.original_content).decode("latin-1")
        if any(text in content for text in self.config["deferred_texts"]):
            return "451 4.3.0 Try again later"
        user = session.auth_data if isinstance(session.auth_data, str) else ""
        record = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                  "auth_user": user, "content_hex": bytes(envelope.original_content).hex()}
        with open(self.received, "a", encoding="utf-8") as out:
            out.write(json.dumps(record) + "\n")
        self.note("M")
        await asyncio.sleep(self.config["data_reply_delay"])  # a slow server, that has it
        return "250 2.0.0 Ok: queued as 4XyZ"


def authenticate(server, session, envelope, mechanism, auth_data):
    """Lets trader in with s3cret; for anything else the server answers 535 itself."""
    if isinstance(auth_data, LoginPassword) and auth_data == (b"trader", b"s3cret"):
        return AuthResult(success=True, auth_data="trader")
    return AuthResult(success=False, handled=False)


class CountingSMTP(SMTP):
    token = ""  # not empty: XOAUTH2 is offered, and passes trader with this token

    def __init__(self, *args, token="", replies=None, **kwargs):
        self.token = token
        super().__init__(*args, **kwargs)
        if not token:
            self._auth_methods.pop("XOAUTH2", None)
        for command, reply in (replies or {}).items():
            self._smtp_methods[command] = lambda _, reply=reply: self.push(reply)

    async def auth_XOAUTH2(self, _, args):
        """SASL XOAUTH2: user=trader^Aauth=Bearer TOKEN^A^A, as the initial response or after 334."""
        if len(args) > 1:
            try:
                response = base64.b64decode(args[1], validate=True)
            except ValueError:
                response = b""
        else:
            response = await self.challenge_auth("")
        if response == f"user=trader\x01auth=Bearer {self.token}\x01\x01".encode():
            return AuthResult(success=True, auth_data="trader")
        return AuthResult(success=False, handled=False)

    def connection_made(self, transport):
        if self._original_transport is None:  # not the same connection after STARTTLS
            self.event_handler.note("C")
        super().connection_made(transport)


async def serve(config, work_dir):
    certificate, key = make_certificates(work_dir)
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(certificate, key)

    mode = config["mode"]
    loop = asyncio.get_running_loop()
    if mode == "silent":
        handler = Handler(config, work_dir)

        class Silent(asyncio.Protocol):
            """Accepts connections and never says a word; notes each one and its end."""

            def connection_made(self, transport):
                handler.note("C")

            def connection_lost(self, exc):
                handler.note("X")

        server = await loop.create_server(Silent, HOST, config["port"])
    else:
        handler = Handler(config, work_dir)

        def protocol():
            return CountingSMTP(
                handler,
                timeout=config["idle_limit"] or 300,
                command_call_limit={"MAIL": config["mails_per_connection"] or 10**6, "*": 10**6},
                hostname="localhost",
                decode_data=False,
                tls_context=tls if mode == "starttls" else None,
                auth_required=config["require_auth"],
                # STARTTLS mode offers AUTH only after TLS; the others offer it at once.
                auth_require_tls=(mode == "starttls"),
                authenticator=authenticate if config["offer_auth"] else None,
                token=config["token"],
                replies=config["replies"],
            )

        server = await loop.create_server(protocol, HOST, config["port"], reuse_address=True,
                                          ssl=tls if mode == "implicit_tls" else None)
    with open(os.path.join(work_dir, "port.new"), "w", encoding="ascii") as out:
        out.write(str(server.sockets[0].getsockname()[1]))
    os.rename(os.path.join(work_dir, "port.new"), os.path.join(work_dir, "port"))
    asyncio.get_running_loop().create_task(exit_with_test(os.getppid()))
    await server.serve_forever()


async def exit_with_test(test_pid):
    """Goes with the test, even one that crashed, so as not to hold the runner's output open."""
    while os.getppid() == test_pid:
        await asyncio.sleep(0.5)
    os._exit(0)


def main():
    work_dir = sys.argv[1]
    with open(os.path.join(work_dir, "config.json"), encoding="utf-8") as f:
        config = json.load(f)
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")
    asyncio.run(serve(config, work_dir))


if __name__ == "__main__":
    main()
