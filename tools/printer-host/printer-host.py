#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""A stand-in for a resin printer host on the network, for tests and benchmarks.

Serves the two upload dialects such hosts speak (the form upload on /api/files/local and the
file API's PUT on /api/v1/files/<storage>/<name>), stores what it receives in a folder, checks an
API key or a Digest password, and fails on request. See README.md beside this file.
"""
import argparse
import hashlib
import json
import os
import secrets
import signal
import subprocess
import sys
import threading
import time
import urllib.parse
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

REALM = "printer-host"
CHUNK = 1 << 16
FLOOD_MIB = 64  # what the flooding modes send, in MiB (before compression)


def md5(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def digest_fields(header):
    """The name=value pairs of a Digest Authorization header."""
    fields = {}
    rest = header[len("Digest "):]
    while rest:
        rest = rest.lstrip(" ,")
        name, sep, rest = rest.partition("=")
        if not sep:
            break
        if rest.startswith('"'):
            value, _, rest = rest[1:].partition('"')
        else:
            value, _, rest = rest.partition(",")
        fields[name.strip()] = value.strip()
    return fields


class Host:
    def __init__(self, options):
        self.options = options
        self.nonce = options.nonce or secrets.token_hex(16)
        self.lock = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "printer-host/1"

    def log_message(self, format, *args):
        if self.server.host.options.verbose:
            super().log_message(format, *args)

    # --- answers -------------------------------------------------------------------------
    def answer(self, status, document=None, headers=None):
        body = json.dumps(document).encode() if document is not None else b""
        self.send_response(status)
        for name, value in (headers.items() if isinstance(headers, dict) else headers or []):
            self.send_header(name, value)
        if document is not None:
            self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def refuse(self, status, message):
        self.answer(status, {"error": message})

    # --- credentials ---------------------------------------------------------------------
    def authorised(self):
        """True when the request may go on; otherwise the refusal has been answered."""
        options = self.server.host.options
        if options.fail == "key":
            self.refuse(403, "Invalid API key")
            return False
        if not options.api_key and not options.user:
            return True
        key = self.headers.get("X-Api-Key")
        if options.api_key and key is not None:
            if key == options.api_key:
                return True
            self.refuse(403, "Invalid API key")
            return False
        authorization = self.headers.get("Authorization", "")
        if options.user and authorization.startswith("Digest "):
            if self.digest_valid(digest_fields(authorization)):
                return True
        challenges = []
        if options.user:
            if options.basic_first:
                challenges.append('Basic realm="%s"' % REALM)
            challenges.append('Digest realm="%s", qop="auth", nonce="%s", algorithm=MD5'
                              % (REALM, self.server.host.nonce))
        self.answer(401, {"error": "Unauthorized"},
                    [("WWW-Authenticate", challenge) for challenge in challenges])
        return False

    def digest_valid(self, fields):
        options = self.server.host.options
        if fields.get("username") != options.user or fields.get("realm") != REALM:
            return False
        if fields.get("nonce") != self.server.host.nonce or fields.get("uri") != self.path:
            return False
        ha1 = md5("%s:%s:%s" % (options.user, REALM, options.password))
        ha2 = md5("%s:%s" % (self.command, self.path))
        expected = md5(":".join([ha1, fields.get("nonce", ""), fields.get("nc", ""),
                                 fields.get("cnonce", ""), fields.get("qop", ""), ha2]))
        return fields.get("response") == expected

    # --- storing -------------------------------------------------------------------------
    def body_length(self):
        try:
            return int(self.headers.get("Content-Length", ""))
        except ValueError:
            return -1

    def failure_before_storing(self, length):
        """Answers the failure this host was told to show, after reading some of the body."""
        fail = self.server.host.options.fail
        if fail in ("stall", "close"):
            self.rfile.read(min(length, CHUNK))
            if fail == "stall":
                threading.Event().wait()  # until the host is stopped
            self.close_connection = True
            self.connection.shutdown(2)
            return True
        statuses = {"409": (409, "File is being printed"),
                    "413": (413, "Payload too large"),
                    "415": (415, "File type not allowed"),
                    "500": (500, "Storage failure in the emulated host"),
                    "507": (507, "Not enough space on the storage")}
        if fail in statuses:
            self.rfile.read(length)
            self.refuse(*statuses[fail])
            return True
        if fail == "drip":
            self.rfile.read(length)
            body = json.dumps({"done": True, "files": {"local": {"name": "dripped.sl1"}}}).encode()
            self.send_response(201)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.drip(body, 0.2)
            return True
        return False

    # --- hostile answers -----------------------------------------------------------------
    def drip(self, body, pause):
        """Writes body one byte at a time, each after a pause, until the client hangs up."""
        self.close_connection = True
        try:
            for i in range(len(body)):
                time.sleep(pause)
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
        except OSError:
            pass

    def hostile_version(self, fail):
        """The version answers of the hostile modes: a valid document after a flood, or a drip."""
        self.close_connection = True
        block = b"x" * (1 << 20)
        head = b'{"api": "0.1", "server": "1.0.0", "capabilities": {"upload-by-put": true}, "pad": "'
        try:
            if fail == "drip-version":
                self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n")
                self.drip(head + block, 1.0)
            elif fail == "long-head":
                self.wfile.write(b"HTTP/1.1 200 OK\r\nX-Long: ")
                for _ in range(FLOOD_MIB):
                    self.wfile.write(block)
                self.wfile.write(b'\r\nContent-Length: 2\r\n\r\n{}')
            else:
                compressor = zlib.compressobj(9, zlib.DEFLATED, 31) if fail == "gzip-flood" else None
                self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                 b"Transfer-Encoding: chunked\r\n")
                if compressor:
                    self.wfile.write(b"Content-Encoding: gzip\r\n")
                self.wfile.write(b"\r\n")

                def chunk(data):
                    data = compressor.compress(data) if compressor else data
                    if data:
                        self.wfile.write(b"%x\r\n%s\r\n" % (len(data), data))

                chunk(head)
                for _ in range(FLOOD_MIB):
                    chunk(block)
                chunk(b'"}')
                if compressor:
                    tail = compressor.flush()
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(tail), tail))
                self.wfile.write(b"0\r\n\r\n")
        except OSError:
            pass

    def drain(self, length):
        while length > 0:
            data = self.rfile.read(min(length, CHUNK))
            if not data:
                break
            length -= len(data)

    def claim(self, name, replace=False):
        """The path to store a file of this name, or None when the name is refused; an existing
        file is replaced only when asked."""
        if not name or "/" in name or "\\" in name or len(name.encode()) > 200 or any(
                ord(c) < 32 for c in name):
            self.refuse(400, "Invalid file name")
            return None
        path = os.path.join(self.server.host.options.folder, name)
        try:
            os.close(os.open(path, os.O_WRONLY | os.O_CREAT | (0 if replace else os.O_EXCL), 0o644))
        except FileExistsError:
            self.refuse(409, "File already exists")
            return None
        return path

    def stored(self, name):
        self.answer(201, {"done": True, "files": {"local": {"name": name, "origin": "local"}}},
                    {"Location": "/api/files/local/" + urllib.parse.quote(name)})

    # --- endpoints -----------------------------------------------------------------------
    def do_GET(self):
        if self.path != "/api/version":
            self.refuse(404, "Not found")
            return
        if not self.authorised():
            return
        options = self.server.host.options
        if options.fail in ("flood", "gzip-flood", "long-head", "drip-version"):
            self.hostile_version(options.fail)
            return
        self.answer(200, {"api": "0.1", "server": "1.0.0", "text": "printer-host emulator",
                          "hostname": options.model,
                          "capabilities": {"upload-by-put": options.dialect == "put"}})

    def do_PUT(self):
        prefix = "/api/v1/files/"
        options = self.server.host.options
        if not self.path.startswith(prefix) or options.dialect != "put":
            self.refuse(404, "Not found")
            return
        storage, _, quoted = self.path[len(prefix):].partition("/")
        length = self.body_length()
        if length < 0:
            self.refuse(411, "Length required")
            return
        if not self.authorised():
            return
        if storage != options.storage:
            self.refuse(404, "Storage not found")
            return
        if self.failure_before_storing(length):
            return
        name = urllib.parse.unquote(quoted)
        replace = self.headers.get("Overwrite-File", "?0").strip() == "?1"
        if not replace and os.path.exists(os.path.join(options.folder, name)):
            # Read whole before the answer, as the form upload is: a client still sending a
            # large file would otherwise see the connection close instead of the answer.
            self.drain(length)
            self.refuse(409, "File already exists")
            return
        path = self.claim(name, replace)
        if path is None:
            return
        with open(path, "wb") as out:
            left = length
            while left > 0:
                data = self.rfile.read(min(left, CHUNK))
                if not data:
                    break
                out.write(data)
                left -= len(data)
        if left > 0:
            os.remove(path)
            self.close_connection = True
            return
        self.stored(name)

    def do_POST(self):
        if self.path != "/api/files/local":
            self.refuse(404, "Not found")
            return
        length = self.body_length()
        if length < 0:
            self.refuse(411, "Length required")
            return
        if not self.authorised():
            return
        if self.failure_before_storing(length):
            return
        content_type = self.headers.get("Content-Type", "")
        _, _, boundary = content_type.partition("boundary=")
        if not content_type.startswith("multipart/form-data") or not boundary:
            self.refuse(400, "Expected a multipart form")
            return
        body = self.rfile.read(length)
        parts = {}
        filename = None
        for part in body.split(b"--" + boundary.strip('"').encode())[1:]:
            if part.startswith(b"--"):
                break
            head, _, content = part[2:].partition(b"\r\n\r\n")
            content = content[:-2]  # the line break before the next boundary
            disposition = next((line for line in head.decode("utf-8", "replace").split("\r\n")
                                if line.lower().startswith("content-disposition:")), "")
            fields = dict(
                (k.strip(), v.strip().strip('"'))
                for k, _, v in (f.partition("=") for f in disposition.split(";")[1:]))
            parts[fields.get("name")] = content
            if fields.get("name") == "file" and "filename" in fields:
                # Quotes and line breaks come percent-encoded, as browsers send them.
                filename = (fields["filename"].replace("%22", '"').replace("%0D", "\r")
                            .replace("%0A", "\n"))
        if "file" not in parts or filename is None:
            self.refuse(400, "No file included")
            return
        if parts.get("print", b"false") != b"false":
            self.refuse(400, "This host does not start prints from the emulator")
            return
        path = self.claim(filename)
        if path is None:
            return
        with open(path, "wb") as out:
            out.write(parts["file"])
        self.stored(filename)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--folder", required=True, help="where uploads are stored")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--dialect", choices=["form", "put"], default="put",
                        help="put: reports upload-by-put and takes PUT; form: only the form upload")
    parser.add_argument("--api-key", default="")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--storage", default="local")
    parser.add_argument("--model", default="LCD-4K")
    parser.add_argument("--fail", default="",
                        choices=["", "key", "409", "413", "415", "500", "507", "stall", "close",
                                 "drip", "flood", "gzip-flood", "long-head", "drip-version"])
    parser.add_argument("--nonce", default="", help="the Digest nonce (default: a random one)")
    parser.add_argument("--basic-first", action="store_true",
                        help="401 answers offer a Basic challenge before the Digest one")
    parser.add_argument("--announce", default="", help="announce over mDNS under this name")
    parser.add_argument("--service", default="_octoprint._tcp")
    parser.add_argument("--verbose", action="store_true")
    options = parser.parse_args()

    server = ThreadingHTTPServer((options.bind, options.port), Handler)
    server.daemon_threads = True
    server.host = Host(options)
    port = server.server_address[1]
    announcer = None
    if options.announce:
        txt = ["model=" + options.model] if options.model else []
        announcer = subprocess.Popen(["avahi-publish", "-s", options.announce, options.service,
                                      str(port)] + txt)

    def stop(*_):
        if announcer:
            announcer.terminate()
            announcer.wait()
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("printer-host: serving http://%s:%d" % (options.bind, port), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
