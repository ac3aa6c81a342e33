#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs a built agent against hostile and unlucky input and prints what it costs: response times
and the agent's peak resident memory (VmHWM), each case with an agent of its own.

    measure.py AGENT [--rounds N] [--only needles|idle] [--only-hosts]

Cases: STL files that declare huge triangle counts (sparse files, so they take no room), a tall
50 000-sided cylinder on the 6K panel at 0.025 mm, 15 000 thin leaning needles (millions of
islands), eight clients that send one header line every 3 s, a header flood, 600 silent
connections, SIGTERM with a slow client connected, sends to printer hosts that answer without end
(a flood, a gzip bomb, an endless header line, endless fields, an endless answer to the upload, a
drip), and, as root, the same answers to discovery's probe: inside a network namespace of its own
with a private bus and Avahi daemon (as tests/agent/tst_hostdiscovery.cpp makes). Talks only to
127.0.0.1 and to that namespace."""

import argparse
import http.client
import json
import math
import os
import signal
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import zlib


def start_agent(program, data):
    agent = subprocess.Popen([program, "--port", "0", "--data-dir", data],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = agent.stdout.readline()
    return agent, int(line.rsplit(":", 1)[1])


def peak_mib(agent):
    with open(f"/proc/{agent.pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return float("nan")


def request(port, method, path, fields=None, timeout=60):
    started = time.monotonic()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    body = urllib.parse.urlencode(fields, quote_via=urllib.parse.quote) if fields else None
    headers = {"Content-Type": "application/x-www-form-urlencoded"} if body is not None else {}
    try:
        connection.request(method, path, body=body, headers=headers)
        answer = connection.getresponse()
        status, text = answer.status, answer.read().decode()
    except OSError as failure:
        status, text = 0, str(failure)
    connection.close()
    return status, text, time.monotonic() - started


def stop(agent):
    agent.send_signal(signal.SIGTERM)
    agent.wait(timeout=30)


def sparse_stl(path, count, size):
    with open(path, "wb") as file:
        file.write(b" " * 80 + struct.pack("<I", count))
        file.truncate(size)


def cylinder_stl(path, sides, radius, height):
    triangles = []
    ring = [(radius * math.cos(2 * math.pi * i / sides), radius * math.sin(2 * math.pi * i / sides))
            for i in range(sides)]
    for i in range(sides):
        (x0, y0), (x1, y1) = ring[i], ring[(i + 1) % sides]
        triangles += [((x0, y0, 0), (x1, y1, 0), (x1, y1, height)),
                      ((x0, y0, 0), (x1, y1, height), (x0, y0, height)),
                      ((0, 0, 0), (x1, y1, 0), (x0, y0, 0)),
                      ((0, 0, height), (x0, y0, height), (x1, y1, height))]
    with open(path, "wb") as file:
        file.write(b" " * 80 + struct.pack("<I", len(triangles)))
        for t in triangles:
            file.write(struct.pack("<12fH", 0, 0, 0, *t[0], *t[1], *t[2], 0))


def huge_counts(program, folder, rounds):
    cases = [("2^32-1 triangles, size matches (sparse)", 0xFFFFFFFF, 84 + 50 * 0xFFFFFFFF),
             ("count does not match 1 GiB", 12, 1 << 30),
             ("count does not match 2 GiB", 12, 2 << 30)]
    for name, count, size in cases:
        path = os.path.join(folder, "huge.stl")
        sparse_stl(path, count, size)
        times, peaks = [], []
        for _ in range(rounds):
            agent, port = start_agent(program, os.path.join(folder, "data"))
            status, text, seconds = request(port, "POST", "/slice/preview", {
                "stl": path, "printer": "local:lcd6k", "profile": "302", "name": "huge"})
            times.append(seconds)
            peaks.append(peak_mib(agent))
            stop(agent)
        os.remove(path)
        print(f"STL, {name}: HTTP {status} in {statistics.median(times) * 1000:.1f} ms, "
              f"peak {statistics.median(peaks):.1f} MiB; {text}")


def tall_cylinder(program, folder):
    path = os.path.join(folder, "cylinder.stl")
    cylinder_stl(path, 50000, 50.0, 219.0)
    agent, port = start_agent(program, os.path.join(folder, "data"))
    started = time.monotonic()
    status, text, seconds = request(port, "POST", "/slice/preview", {
        "stl": path, "printer": "local:lcd6k", "profile": "302", "name": "cylinder"})
    percentage = ""
    while status == 200 and percentage != "100":
        _, poll, _ = request(port, "GET", "/slice")
        percentage = poll.split('"percentage":"')[-1].split('"')[0] if "percentage" in poll else "failed"
        if percentage == "failed":
            break
        time.sleep(1)
    elapsed = time.monotonic() - started
    peak = peak_mib(agent)
    stop(agent)
    print(f"Slicing a {os.path.getsize(path) / 1e6:.1f} MB cylinder (50 000 sides, 219 mm, 6K "
          f"panel, 0.025 mm, 8760 layers): started in {seconds * 1000:.0f} ms, "
          f"{'done' if percentage == '100' else 'ended: ' + poll} in {elapsed:.1f} s, "
          f"peak {peak:.1f} MiB")
    os.remove(path)


def needles_stl(path, count, side, height, lean):
    """`count` thin triangular prisms on a grid, each leaning `lean` mm sideways (in x and in y)
    per mm of height: every layer of a needle is a few pixels clear of the layer below it, an
    island of its own."""
    columns = 150
    with open(path, "wb") as file:
        file.write(b" " * 80 + struct.pack("<I", 8 * count))
        for n in range(count):
            x, y = -90 + 1.1 * (n % columns), -58 + 1.0 * (n // columns)
            base = [(x, y, 0), (x + side, y, 0), (x, y + side, 0)]
            top = [(px + lean * height, py + lean * height, height) for px, py, _ in base]
            faces = [(base[0], base[2], base[1]), (top[0], top[1], top[2])]
            for i in range(3):
                j = (i + 1) % 3
                faces += [(base[i], base[j], top[j]), (base[i], top[j], top[i])]
            for a, b, c in faces:
                file.write(struct.pack("<12fH", 0, 0, 0, *a, *b, *c, 0))


def leaning_needles(program, folder):
    path = os.path.join(folder, "needles.stl")
    # 0.1 mm triangles moving 0.06 mm a layer (0.025 mm): no pixel shared with the layer below.
    needles_stl(path, 15000, 0.1, 7.5, 2.4)
    data = os.path.join(folder, "needles-data")
    agent, port = start_agent(program, data)
    started = time.monotonic()
    status, text, seconds = request(port, "POST", "/slice/preview", {
        "stl": path, "printer": "local:lcd6k", "profile": "302", "name": "needles"})
    percentage = ""
    while status == 200 and percentage != "100":
        _, poll, _ = request(port, "GET", "/slice")
        percentage = poll.split('"percentage":"')[-1].split('"')[0] if "percentage" in poll else "failed"
        if percentage == "failed":
            break
        time.sleep(1)
    elapsed = time.monotonic() - started
    peak = peak_mib(agent)
    stop(agent)
    islands = "?"
    jobs = os.path.join(data, "jobs")
    for job in os.listdir(jobs) if os.path.isdir(jobs) else []:
        plate = os.path.join(jobs, job, "plate.json")
        if os.path.exists(plate):
            with open(plate) as file:
                islands = json.load(file).get("islandCount", "?")
    print(f"Slicing 15 000 leaning needles ({os.path.getsize(path) / 1e6:.1f} MB STL, 6K panel, "
          f"0.025 mm, {islands} islands): "
          f"{'done' if percentage == '100' else 'ended: ' + (poll if status == 200 else text)} in "
          f"{elapsed:.1f} s, peak {peak:.1f} MiB")
    os.remove(path)


class SlowClient(threading.Thread):
    """Sends a request head one line at a time, every `pause` seconds, until it is cut off."""

    def __init__(self, port, pause):
        super().__init__(daemon=True)
        self.socket = socket.create_connection(("127.0.0.1", port))
        self.socket.sendall(f"GET /slice HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n".encode())
        self.pause = pause
        self.cut = threading.Event()
        self.answer = b""

    def run(self):
        self.socket.settimeout(self.pause)
        while not self.cut.is_set():
            try:
                data = self.socket.recv(4096)
                if not data:
                    break
                self.answer += data
            except socket.timeout:
                try:
                    self.socket.sendall(b"X-Slow: 1\r\n")
                except OSError:
                    break
            except OSError:
                break
        self.cut.set()


def slow_clients(program, folder, rounds):
    agent, port = start_agent(program, os.path.join(folder, "data"))
    clients = [SlowClient(port, 3.0) for _ in range(8)]
    for client in clients:
        client.start()
    time.sleep(0.5)
    times = [request(port, "GET", "/slice", timeout=30)[2] for _ in range(rounds)]
    started = time.monotonic()
    for client in clients:
        client.cut.wait(60)
    cut = time.monotonic() - started
    print(f"8 clients sending a header line every 3 s: a poll answered in "
          f"{statistics.median(times) * 1000:.1f} ms (median of {rounds}); the slow clients cut "
          f"within {cut + 0.5:.1f} s of their start, answered "
          f"{clients[0].answer.split(b' ')[1].decode() if clients[0].answer else 'nothing'}; "
          f"peak {peak_mib(agent):.1f} MiB")
    stop(agent)


def header_flood(program, folder):
    agent, port = start_agent(program, os.path.join(folder, "data"))
    before = peak_mib(agent)
    flood = socket.create_connection(("127.0.0.1", port))
    flood.sendall(f"GET /slice HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n".encode())
    line = b"X-Flood: " + b"a" * 8180 + b"\r\n"
    sent = 0
    started = time.monotonic()
    flood.settimeout(0.2)
    answer = b""
    try:
        while time.monotonic() - started < 20:
            flood.sendall(line)
            sent += len(line)
    except OSError:
        pass
    try:
        flood.settimeout(5)
        answer = flood.recv(4096)
    except OSError:
        pass
    elapsed = time.monotonic() - started
    status, _, seconds = request(port, "GET", "/slice")
    print(f"Header flood of 8 KB lines: cut after {sent / 1024:.0f} KiB in {elapsed:.2f} s, "
          f"answered {answer.split(b' ')[1].decode() if answer else 'nothing'}; peak "
          f"{before:.1f} -> {peak_mib(agent):.1f} MiB; a poll afterwards: HTTP {status} in "
          f"{seconds * 1000:.1f} ms")
    stop(agent)


def idle_connections(program, folder, rounds):
    agent, port = start_agent(program, os.path.join(folder, "data"))
    times = []
    for _ in range(rounds):
        idle = [socket.create_connection(("127.0.0.1", port)) for _ in range(600)]
        times.append(request(port, "GET", "/slice", timeout=120)[2])
        for connection in idle:
            connection.close()
    print(f"600 silent connections: a poll answered in {statistics.median(times) * 1000:.1f} ms "
          f"(median of {rounds}, slowest {max(times) * 1000:.1f} ms); peak {peak_mib(agent):.1f} MiB")
    stop(agent)


def sigterm_with_slow_client(program, folder, rounds):
    times, codes = [], []
    for _ in range(rounds):
        agent, port = start_agent(program, os.path.join(folder, "data"))
        client = SlowClient(port, 0.5)
        client.start()
        time.sleep(0.3)
        started = time.monotonic()
        agent.send_signal(signal.SIGTERM)
        codes.append(agent.wait(timeout=60))
        times.append(time.monotonic() - started)
    print(f"SIGTERM with a slow client connected: ended in {statistics.median(times):.2f} s "
          f"(median of {rounds}), exit status {sorted(set(codes))}")


class HostileHost(threading.Thread):
    """A printer host that answers without end in one of several ways, until the client hangs up.
    "upload-flood" answers /api/version fairly (404: the form upload) and floods the upload's
    answer; every other mode floods /api/version itself."""

    def __init__(self, mode, address="127.0.0.1"):
        super().__init__(daemon=True)
        self.mode = mode
        self.server = socket.create_server((address, 0))
        self.port = self.server.getsockname()[1]
        self.asked = threading.Event()  # a request has come

    def run(self):
        while True:
            connection, _ = self.server.accept()
            threading.Thread(target=self.serve, args=(connection,), daemon=True).start()

    def serve(self, connection):
        try:
            head = b""
            while b"\r\n\r\n" not in head:
                data = connection.recv(65536)
                if not data:
                    return
                head += data
            self.asked.set()
            head, _, body = head.partition(b"\r\n\r\n")
            length = 0
            for line in head.split(b"\r\n")[1:]:
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value)
            while len(body) < length:
                data = connection.recv(1 << 20)
                if not data:
                    return
                body += data
            if self.mode == "upload-flood" and head.startswith(b"GET"):
                connection.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
                return
            self.flood(connection)
        except OSError:
            pass
        finally:
            connection.close()

    def flood(self, connection):
        block = b"x" * (1 << 16)
        if self.mode == "head":
            connection.sendall(b"HTTP/1.1 200 OK\r\nX-Long: ")
            while True:
                connection.sendall(block)
        if self.mode == "fields":
            connection.sendall(b"HTTP/1.1 200 OK\r\n")
            while True:
                connection.sendall(b"X-N: 1\r\n" * 8192)
        if self.mode == "drip":
            connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n")
            while True:
                time.sleep(1)
                connection.sendall(b" ")
        gzip = self.mode == "gzip"
        connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                           b"Transfer-Encoding: chunked\r\n"
                           + (b"Content-Encoding: gzip\r\n" if gzip else b"") + b"\r\n")
        if gzip:
            # 1 MiB of zeros compresses to about 1 KiB: 2 MiB sent inflate to 2 GiB.
            compressor = zlib.compressobj(9, zlib.DEFLATED, 31)
            zeros = bytes(1 << 20)
            while True:
                data = compressor.compress(zeros) + compressor.flush(zlib.Z_SYNC_FLUSH)
                connection.sendall(b"%x\r\n%s\r\n" % (len(data), data))
        while True:
            connection.sendall(b"%x\r\n%s\r\n" % (len(block), block))


HOSTILE_MODES = [("an endless chunked body", "flood"), ("a gzip bomb (endless)", "gzip"),
                 ("an endless header line", "head"), ("endless header fields", "fields"),
                 ("an endless answer to the upload", "upload-flood")]


def box_stl(path):
    ring = [(-3, -2), (3, -2), (3, 2), (-3, 2)]
    triangles = []
    for i in range(4):
        (x0, y0), (x1, y1) = ring[i], ring[(i + 1) % 4]
        triangles += [((x0, y0, 0), (x1, y1, 0), (x1, y1, 1)), ((x0, y0, 0), (x1, y1, 1), (x0, y0, 1))]
    triangles += [((-3, -2, 0), (3, 2, 0), (3, -2, 0)), ((-3, -2, 0), (-3, 2, 0), (3, 2, 0)),
                  ((-3, -2, 1), (3, -2, 1), (3, 2, 1)), ((-3, -2, 1), (3, 2, 1), (-3, 2, 1))]
    with open(path, "wb") as file:
        file.write(b" " * 80 + struct.pack("<I", len(triangles)))
        for t in triangles:
            file.write(struct.pack("<12fH", 0, 0, 0, *t[0], *t[1], *t[2], 0))


def hostile_sends(program, folder, rounds):
    """Case: a send to a printer host whose answer never ends."""
    stl = os.path.join(folder, "box.stl")
    box_stl(stl)
    profile = {"Title": "Coarse", "ProfileID": 1, "Depth": 100, "PixelsX": 400, "PixelsY": 240,
               "PixelSizeX": 50, "Exposure": 5, "MaxHeight": 40}
    for name, mode in HOSTILE_MODES:
        times, peaks, before = [], [], []
        for _ in range(rounds):
            host = HostileHost(mode)
            host.start()
            data = os.path.join(folder, "data-" + mode)
            os.makedirs(data, exist_ok=True)
            printers = os.path.join(data, "printers.json")
            with open(printers, "w") as file:
                json.dump({"printers_array": [{"name": "hostile", "ip": "127.0.0.1",
                                               "port": host.port, "apiKey": "k",
                                               "profiles_array": [profile]}]}, file)
            os.chmod(printers, 0o600)
            agent, port = start_agent(program, data)
            printer = f"127.0.0.1:{host.port}"
            _, sliced, _ = request(port, "POST", "/slice/preview", {
                "stl": stl, "printer": printer, "profile": "1", "name": "box"})
            job = json.loads(sliced)["path"]
            while '"percentage":"100"' not in request(port, "GET", "/slice")[1]:
                time.sleep(0.1)
            before.append(peak_mib(agent))
            status, text, seconds = request(port, "POST", "/slice/send", {
                "printer": printer, "profile": "1", "name": "box", "path": job}, timeout=300)
            times.append(seconds)
            peaks.append(peak_mib(agent))
            stop(agent)
        print(f"Send to a host with {name}: HTTP {status} in "
              f"{statistics.median(times) * 1000:.0f} ms, peak {statistics.median(before):.1f} -> "
              f"{statistics.median(peaks):.1f} MiB; {json.loads(text).get('error', text)}")
    os.remove(stl)


def run_quietly(*command, **options):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, **options)


def hostile_discovery(program, folder, rounds):
    """Case, inside a network namespace: an _http._tcp service without a model whose
    /api/version answer never ends. Run by hostile_discovery_outside under unshare -n."""
    run_quietly("ip", "link", "set", "lo", "up")
    run_quietly("ip", "link", "add", "d0", "type", "veth", "peer", "name", "d1")
    for link in ("d0", "d1"):
        run_quietly("ip", "link", "set", link, "multicast", "on", "up")
    run_quietly("ip", "addr", "add", "10.77.0.1/24", "dev", "d0")
    bus_socket = os.path.join(folder, "bus")
    with open(os.path.join(folder, "bus.conf"), "w") as file:
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   f"<busconfig><type>system</type><listen>unix:path={bus_socket}</listen>"
                   "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                   "<allow own=\"*\"/><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/></policy>"
                   "<includedir>/usr/share/dbus-1/system.d</includedir></busconfig>\n")
    with open(os.path.join(folder, "avahi.conf"), "w") as file:
        file.write("[server]\nallow-interfaces=d0,d1\nuse-ipv4=yes\nuse-ipv6=no\nenable-dbus=yes\n"
                   "[wide-area]\nenable-wide-area=no\n"
                   "[publish]\npublish-workstation=no\npublish-hinfo=no\n")
    bus = subprocess.Popen(["dbus-daemon", "--config-file=" + os.path.join(folder, "bus.conf"),
                            "--nofork"], stderr=subprocess.DEVNULL)
    while not os.path.exists(bus_socket):
        time.sleep(0.05)
    os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + bus_socket
    avahi = subprocess.Popen(["avahi-daemon", "-f", os.path.join(folder, "avahi.conf"),
                              "--no-drop-root", "--no-chroot", "--no-rlimits"],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    for line in avahi.stdout:
        if "Server startup complete" in line:
            break
    threading.Thread(target=avahi.stdout.read, daemon=True).start()
    try:
        for name, mode in HOSTILE_MODES[:2] + [("a drip of one byte a second", "drip")]:
            peaks, ends = [], []
            for _ in range(rounds):
                host = HostileHost(mode, "10.77.0.1")
                host.start()
                agent, port = start_agent(program, os.path.join(folder, "data"))
                publish = subprocess.Popen(["avahi-publish", "-s", "Hostile " + mode, "_http._tcp",
                                            str(host.port)], stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
                if mode == "drip":
                    # SIGTERM while the probe waits on the drip.
                    host.asked.wait(30)
                    time.sleep(0.5)
                else:
                    time.sleep(8)  # announced, resolved and probed
                listed = "Hostile" in request(port, "GET", "/printer-details")[1]
                peaks.append(peak_mib(agent))
                started = time.monotonic()
                agent.send_signal(signal.SIGTERM)
                agent.wait(timeout=120)
                ends.append(time.monotonic() - started)
                publish.terminate()
                publish.wait()
            print(f"Discovery probe of a service with {name}: {'listed' if listed else 'left out'}, "
                  f"peak {statistics.median(peaks):.1f} MiB; SIGTERM ended the agent in "
                  f"{statistics.median(ends):.2f} s (medians of {rounds})")
    finally:
        avahi.terminate()
        avahi.wait()
        bus.terminate()
        bus.wait()


def hostile_discovery_outside(program, rounds):
    if os.geteuid() != 0 or not all(
            subprocess.run(["which", tool], stdout=subprocess.DEVNULL).returncode == 0
            for tool in ("unshare", "ip", "dbus-daemon", "avahi-daemon", "avahi-publish")):
        print("Discovery probes: skipped (needs root, unshare, ip, dbus-daemon and Avahi)")
        return
    subprocess.run(["unshare", "-n", sys.executable, os.path.abspath(__file__), program,
                    "--rounds", str(rounds), "--inside-namespace"], check=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("agent")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--only-hosts", action="store_true",
                        help="only the cases of printer hosts and discovery probes")
    parser.add_argument("--only", choices=["needles", "idle"], help="run just this case")
    parser.add_argument("--inside-namespace", action="store_true", help=argparse.SUPPRESS)
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        if options.inside_namespace:
            hostile_discovery(options.agent, folder, min(options.rounds, 3))
            return 0
        if options.only == "needles":
            leaning_needles(options.agent, folder)
            return 0
        if options.only == "idle":
            idle_connections(options.agent, folder, options.rounds)
            return 0
        hostile_sends(options.agent, folder, min(options.rounds, 3))
        hostile_discovery_outside(options.agent, options.rounds)
        if options.only_hosts:
            return 0
        huge_counts(options.agent, folder, options.rounds)
        tall_cylinder(options.agent, folder)
        leaning_needles(options.agent, folder)
        slow_clients(options.agent, folder, options.rounds)
        header_flood(options.agent, folder)
        idle_connections(options.agent, folder, options.rounds)
        sigterm_with_slow_client(options.agent, folder, options.rounds)
    return 0


if __name__ == "__main__":
    sys.exit(main())
