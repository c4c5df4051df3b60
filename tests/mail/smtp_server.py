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
Every accepted message is written to FOLDER/messages/<message id>.eml, with a .json beside it
describing it as a mail reader sees it. A recipient "rifiuta@..." is refused; for a recipient
"cade@..." the connection is dropped before the end of the data is answered. Messages over
1 000 000 bytes are refused.
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
        info = describe(envelope.original_content)
        info["mail_from"] = envelope.mail_from
        info["rcpt_tos"] = envelope.rcpt_tos
        name = re.sub(r"[^A-Za-z0-9@.-]", "_", info["message_id"].strip("<>"))
        path = os.path.join(self.folder, name)
        with open(path + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        with open(path + ".json.tmp", "w") as f:
            json.dump(info, f, ensure_ascii=False)
        os.replace(path + ".eml.tmp", path + ".eml")
        os.replace(path + ".json.tmp", path + ".json")
        return "250 2.0.0 Ok: accettato " + name


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

    ports = {
        "starttls": starttls.sockets[0].getsockname()[1],
        "tls": tls.sockets[0].getsockname()[1],
        "plain": plain.sockets[0].getsockname()[1],
        "silent": silent.getsockname()[1],
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
