#!/usr/bin/env python3
"""A real SMTP server on 127.0.0.1 for the mail tests (python3-aiosmtpd).

    smtp_server.py start FOLDER   makes a test CA and a server certificate, starts the server
                                  in the background and waits until it listens
    smtp_server.py stop FOLDER    stops it
    smtp_server.py serve FOLDER   the server itself

It listens on free ports, written to FOLDER/ports.json:
  starttls  STARTTLS required, then AUTH LOGIN/PLAIN required (user "agente", password
            "Segreta-123")
  tls       TLS from the first byte, AUTH required
  plain     no TLS, no AUTH
  silent    takes connections and never answers
  script    a control port: a client writes one line of JSON describing how a server is to
            behave and reads back one line, the port of a new server of its own that behaves so
            (see Scripted)
Every accepted message is written to FOLDER/messages/<message id>.eml, with a .json beside it
describing it as a mail reader sees it, and a line in FOLDER/messages/arrivals.jsonl (so that a
message that arrives twice is counted twice). A recipient "rifiuta@..." is refused; for a
recipient "cade@..." the connection is dropped before the end of the data is answered. Messages
over 1 000 000 bytes are refused. FOLDER/other-ca.pem is an authority that signed nothing here.
"""
import asyncio
import email
import email.policy
import hashlib
import json
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import time

USER = b"agente"
PASSWORD = b"Segreta-123"
SIZE_LIMIT = 1_000_000


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(folder):
    p = lambda n: os.path.join(folder, n)
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
        "-subj", "/CN=Altra Autorita di Prova", "-keyout", p("other-ca.key"),
        "-out", p("other-ca.pem"))
    ext = os.path.join(folder, "san.cnf")
    with open(ext, "w") as f:
        f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n")
    p = lambda n: os.path.join(folder, n)
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
        "-subj", "/CN=Gestione Test CA", "-keyout", p("ca.key"), "-out", p("ca.pem"))
    run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
        "-keyout", p("server.key"), "-out", p("server.csr"))
    run("openssl", "x509", "-req", "-in", p("server.csr"), "-CA", p("ca.pem"),
        "-CAkey", p("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", ext,
        "-out", p("server.pem"))


def stop(folder):
    pid_file = os.path.join(folder, "server.pid")
    try:
        pid = int(open(pid_file).read())
    except (OSError, ValueError):
        return 0
    try:
        os.kill(pid, signal.SIGTERM)
        for _ in range(100):
            os.kill(pid, 0)
            time.sleep(0.05)
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    os.unlink(pid_file)
    return 0


def start(folder):
    os.makedirs(folder, mode=0o700, exist_ok=True)
    stop(folder)
    for name in ("ports.json",):
        if os.path.exists(os.path.join(folder, name)):
            os.unlink(os.path.join(folder, name))
    make_certificates(folder)
    log = open(os.path.join(folder, "server.log"), "w")
    child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", folder],
                             stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    with open(os.path.join(folder, "server.pid"), "w") as f:
        f.write(str(child.pid))
    ports = os.path.join(folder, "ports.json")
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if os.path.exists(ports):
            print(open(ports).read())
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    print("Il server SMTP di prova non è partito:", file=sys.stderr)
    print(open(os.path.join(folder, "server.log")).read(), file=sys.stderr)
    child.kill()
    return 1


def describe(content):
    msg = email.message_from_bytes(content, policy=email.policy.default)
    parts = []
    body = None
    for part in msg.walk():
        if part.is_multipart():
            continue
        if part.get_content_disposition() == "attachment":
            data = part.get_payload(decode=True)
            parts.append({
                "filename": part.get_filename(),
                "type": part.get_content_type(),
                "disposition": part.get("Content-Disposition"),
                "sha256": hashlib.sha256(data).hexdigest(),
                "size": len(data),
            })
        elif body is None and part.get_content_type() == "text/plain":
            body = part.get_content()
    return {
        "from": str(msg["From"]),
        "to": str(msg["To"]),
        "cc": str(msg["Cc"] or ""),
        "subject": str(msg["Subject"]),
        "message_id": str(msg["Message-ID"]),
        "date": str(msg["Date"]),
        "body": body,
        "attachments": parts,
        "header_lines": [k for k in msg.keys()],
    }


def store(folder, content, mail_from, rcpt_tos):
    """Writes an accepted message whole (written beside, then renamed) and counts its arrival;
    returns the name it is kept under."""
    info = describe(content)
    info["mail_from"] = mail_from
    info["rcpt_tos"] = rcpt_tos
    name = re.sub(r"[^A-Za-z0-9@.-]", "_", info["message_id"].strip("<>"))
    path = os.path.join(folder, name)
    with open(path + ".eml.tmp", "wb") as f:
        f.write(content)
    with open(path + ".json.tmp", "w") as f:
        json.dump(info, f, ensure_ascii=False)
    os.replace(path + ".eml.tmp", path + ".eml")
    os.replace(path + ".json.tmp", path + ".json")
    line = json.dumps({"message_id": info["message_id"], "subject": info["subject"]},
                      ensure_ascii=False) + "\n"
    fd = os.open(os.path.join(folder, "arrivals.jsonl"), os.O_WRONLY | os.O_APPEND | os.O_CREAT,
                 0o600)
    try:
        os.write(fd, line.encode())
    finally:
        os.close(fd)
    return name


class Recorder:
    def __init__(self, folder):
        self.folder = os.path.join(folder, "messages")
        os.makedirs(self.folder, mode=0o700, exist_ok=True)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().startswith("rifiuta@"):
            return "550 5.1.1 Destinatario sconosciuto"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if any(a.lower().startswith("cade@") for a in envelope.rcpt_tos):
            server.transport.abort()
            return "421 caduta"
        name = store(self.folder, envelope.original_content, envelope.mail_from,
                     envelope.rcpt_tos)
        return "250 2.0.0 Ok: accettato " + name


class Scripted:
    """A plain SMTP server (no TLS) whose every step behaves as its script says. The script is
    a JSON object:
      "reply":  {"greeting"|"ehlo"|"auth"|"mail"|"rcpt"|"data"|"end": "CODE text"}  the reply
                given at that step in place of the usual one ("ehlo" answers HELO too, "data" is
                the reply to DATA, "end" the reply to the end of the data); after a 421 the
                server closes the connection
      "delay":  {step: seconds}  waits that long before the reply of that step (at "end" the
                message is stored first: a slow final reply)
      "stall_after": N   stops reading after N bytes of the data and never answers
      "drop_after_store": true   stores the message and drops the connection unanswered
      "drop_before_store": true  drops the connection at the end of the data, storing nothing
      "auth": true   offers AUTH PLAIN and LOGIN and takes any user and password
    """

    def __init__(self, folder, script):
        self.folder = folder
        self.script = script
        self.reply = script.get("reply", {})
        self.delay = script.get("delay", {})

    async def answer(self, writer, step, default):
        wait = float(self.delay.get(step, 0))
        if wait:
            await asyncio.sleep(wait)
        line = self.reply.get(step, default)
        writer.write(line.encode() + b"\r\n")
        await writer.drain()
        return line

    async def serve(self, reader, writer):
        try:
            await self.dialogue(reader, writer)
        except (ConnectionError, asyncio.IncompleteReadError, asyncio.LimitOverrunError):
            pass
        finally:
            writer.transport.abort()

    async def dialogue(self, reader, writer):
        line = await self.answer(writer, "greeting", "220 prova.invalid ESMTP pronto")
        if line.startswith("421"):
            return
        mail_from, rcpt_tos = None, []
        while True:
            command = await reader.readline()
            if not command:
                return
            verb = command.split(b" ", 1)[0].strip().upper()
            if verb in (b"EHLO", b"HELO"):
                lines = ["250-prova.invalid", "250-SIZE %d" % SIZE_LIMIT]
                if self.script.get("auth"):
                    lines.append("250-AUTH PLAIN LOGIN")
                lines.append("250 8BITMIME")
                if verb == b"HELO":
                    lines = ["250 prova.invalid"]
                line = await self.answer(writer, "ehlo", "\r\n".join(lines))
            elif verb == b"AUTH":
                line = await self.authenticate(reader, writer, command)
            elif verb == b"MAIL":
                line = await self.answer(writer, "mail", "250 2.1.0 Ok")
                if line.startswith("2"):
                    mail_from, rcpt_tos = command, []
            elif verb == b"RCPT":
                line = await self.answer(writer, "rcpt", "250 2.1.5 Ok")
                if line.startswith("2"):
                    address = command.split(b":", 1)[-1].strip().strip(b"<>")
                    rcpt_tos.append(address.decode(errors="replace"))
            elif verb == b"DATA":
                line = await self.answer(writer, "data", "354 Terminare con <CRLF>.<CRLF>")
                if line.startswith("354"):
                    line = await self.data(reader, writer, mail_from, rcpt_tos)
                    if line is None:
                        return
            elif verb == b"QUIT":
                await self.answer(writer, "quit", "221 2.0.0 Arrivederci")
                return
            elif verb in (b"RSET", b"NOOP"):
                line = await self.answer(writer, "noop", "250 2.0.0 Ok")
            else:
                line = await self.answer(writer, "unknown", "502 5.5.2 Comando sconosciuto")
            if line.startswith("421"):
                return

    async def authenticate(self, reader, writer, command):
        if "auth" in self.reply:
            return await self.answer(writer, "auth", "")
        parts = command.split()
        mechanism = parts[1].upper() if len(parts) > 1 else b""
        if mechanism == b"PLAIN" and len(parts) < 3:
            writer.write(b"334 \r\n")
            await reader.readline()
        elif mechanism == b"LOGIN":
            writer.write(b"334 VXNlcm5hbWU6\r\n")
            await reader.readline()
            writer.write(b"334 UGFzc3dvcmQ6\r\n")
            await reader.readline()
        return await self.answer(writer, "auth-ok", "235 2.7.0 Accesso consentito")

    async def data(self, reader, writer, mail_from, rcpt_tos):
        """Reads the message to its end; None when the connection is to end unanswered."""
        content = bytearray()
        stall = self.script.get("stall_after")
        while True:
            if stall is not None and len(content) >= int(stall):
                writer.transport.pause_reading()
                await asyncio.sleep(3600)
                return None
            line = await reader.readline()
            if not line:
                return None
            if line == b".\r\n":
                break
            if line.startswith(b".."):
                line = line[1:]
            content += line
        if self.script.get("drop_before_store"):
            return None
        end = self.reply.get("end", "")
        if end and not end.startswith("2"):
            return await self.answer(writer, "end", end)
        sender = mail_from.split(b":", 1)[-1].split(b" ")[0].strip().strip(b"<>").decode()
        name = store(self.folder, bytes(content), sender, rcpt_tos)
        if self.script.get("drop_after_store"):
            return None
        return await self.answer(writer, "end", "250 2.0.0 Ok: accettato " + name)


async def serve_scripts(folder, reader, writer):
    """The control port: one line of script in, the port of its own server out."""
    try:
        script = json.loads((await reader.readline()).decode())
        server = await asyncio.get_running_loop().create_server(
            lambda: asyncio.StreamReaderProtocol(
                asyncio.StreamReader(limit=SIZE_LIMIT * 2),
                lambda r, w: Scripted(folder, script).serve(r, w)),
            sock=small_buffer_socket())
        SCRIPTED.append(server)
        writer.write(b"%d\n" % server.sockets[0].getsockname()[1])
        await writer.drain()
    finally:
        writer.close()


# The servers made through the control port, kept for the life of the process.
SCRIPTED = []


def small_buffer_socket():
    """A listening socket whose connections take little at a time, so that a server that stops
    reading stops the client within a few kilobytes."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    sock.bind(("127.0.0.1", 0))
    sock.listen(16)
    sock.setblocking(False)
    return sock


def authenticate(server, session, envelope, mechanism, auth_data):
    from aiosmtpd.smtp import AuthResult, LoginPassword
    ok = (isinstance(auth_data, LoginPassword) and auth_data.login == USER
          and auth_data.password == PASSWORD)
    return AuthResult(success=ok, handled=False)


async def serve_all(folder):
    from aiosmtpd.smtp import SMTP
    loop = asyncio.get_running_loop()
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(os.path.join(folder, "server.pem"), os.path.join(folder, "server.key"))
    handler = Recorder(folder)

    def factory(**kw):
        return lambda: SMTP(handler, data_size_limit=SIZE_LIMIT, hostname="prova.invalid",
                            authenticator=authenticate, **kw)

    starttls = await loop.create_server(
        factory(tls_context=context, require_starttls=True, auth_required=True),
        host="127.0.0.1", port=0)
    tls = await loop.create_server(
        factory(auth_required=True, auth_require_tls=False), host="127.0.0.1", port=0,
        ssl=context)
    plain = await loop.create_server(factory(), host="127.0.0.1", port=0)
    silent = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)
    control = await asyncio.start_server(
        lambda r, w: serve_scripts(handler.folder, r, w), host="127.0.0.1", port=0)

    ports = {
        "starttls": starttls.sockets[0].getsockname()[1],
        "tls": tls.sockets[0].getsockname()[1],
        "plain": plain.sockets[0].getsockname()[1],
        "silent": silent.getsockname()[1],
        "script": control.sockets[0].getsockname()[1],
        "other_ca": os.path.join(folder, "other-ca.pem"),
        "ca": os.path.join(folder, "ca.pem"),
        "messages": handler.folder,
    }
    with open(os.path.join(folder, "ports.json.tmp"), "w") as f:
        json.dump(ports, f)
    os.replace(os.path.join(folder, "ports.json.tmp"), os.path.join(folder, "ports.json"))
    stopped = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stopped.set)
    await stopped.wait()


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop", "serve"):
        print(__doc__, file=sys.stderr)
        return 2
    folder = os.path.abspath(sys.argv[2])
    if sys.argv[1] == "start":
        return start(folder)
    if sys.argv[1] == "stop":
        return stop(folder)
    asyncio.run(serve_all(folder))
    return 0


if __name__ == "__main__":
    sys.exit(main())
