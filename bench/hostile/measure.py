#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs a built agent against hostile and unlucky input and prints what it costs: response times
and the agent's peak resident memory (VmHWM), each case with an agent of its own.

    measure.py AGENT [--rounds N] [--only needles|idle]

Cases: STL files that declare huge triangle counts (sparse files, so they take no room), a tall
50 000-sided cylinder on the 6K panel at 0.025 mm, 15 000 thin leaning needles (millions of
islands), eight clients that send one header line every 3 s, a header flood, 600 silent
connections, and SIGTERM with a slow client connected. Talks only to 127.0.0.1."""

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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("agent")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--only", choices=["needles", "idle"], help="run just this case")
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        if options.only == "needles":
            leaning_needles(options.agent, folder)
            return 0
        if options.only == "idle":
            idle_connections(options.agent, folder, options.rounds)
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
