#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Corvane developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Sends a job file of about 50 MB through the agent to the printer host emulator and compares
it with a plain `curl -T` of the same file. Prints medians of time and of the agent's peak
resident memory during a send. Standard library only; run through run.sh."""
import argparse
import json
import os
import re
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

KEY = "bench-key"


def start(command, pattern):
    process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    match = re.search(pattern, process.stdout.readline())
    if not match:
        sys.exit("could not start " + command[0])
    return process, int(match.group(1))


def request(port, path, form=None):
    data = urllib.parse.urlencode(form, quote_via=urllib.parse.quote).encode() if form else None
    req = urllib.request.Request("http://127.0.0.1:%d%s" % (port, path), data=data)
    if data:
        req.add_header("Content-Type", "application/x-www-form-urlencoded; charset=utf-8")
    try:
        with urllib.request.urlopen(req, timeout=600) as answer:
            return answer.status, json.loads(answer.read() or b"{}")
    except urllib.error.HTTPError as error:
        return error.code, json.loads(error.read() or b"{}")


def box_stl(path, x, y, z):
    corners = [(a * x - x / 2, b * y - y / 2, c * z) for a in (0, 1) for b in (0, 1) for c in (0, 1)]
    faces = [(0, 2, 1), (1, 2, 3), (4, 5, 6), (5, 7, 6), (0, 1, 4), (1, 5, 4),
             (2, 6, 3), (3, 6, 7), (0, 4, 2), (2, 4, 6), (1, 3, 5), (3, 7, 5)]
    with open(path, "wb") as out:
        out.write(b"\0" * 80 + struct.pack("<I", len(faces)))
        for face in faces:
            out.write(struct.pack("<3f", 0, 0, 0))
            for corner in face:
                out.write(struct.pack("<3f", *corners[corner]))
            out.write(b"\0\0")


def memory(pid, key):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith(key + ":"):
                return int(line.split()[1]) / 1024.0  # MiB
    return 0.0


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--agent", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--upload", required=True, help="the bench_upload program")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--megabytes", type=int, default=50)
    options = parser.parse_args()

    work = tempfile.mkdtemp(prefix="bench-send-")
    hosts = {}
    for dialect in ("put", "form"):
        folder = os.path.join(work, "host-" + dialect)
        os.makedirs(folder)
        hosts[dialect] = (folder,) + start([options.emulator, "--folder", folder, "--dialect", dialect,
                                             "--api-key", KEY], r":(\d+)$")
    profile = {"Title": "Bench", "ProfileID": 1, "Depth": 100, "PixelsX": 200, "PixelsY": 120,
               "PixelSizeX": 100, "Exposure": 5, "MaxHeight": 40}
    data = os.path.join(work, "data")
    os.makedirs(data)
    printers = [{"name": dialect, "ip": "127.0.0.1", "port": port, "apiKey": KEY,
                 "profiles_array": [profile]} for dialect, (_, _, port) in hosts.items()]
    with open(os.path.join(data, "printers.json"), "w") as out:
        json.dump({"printers_array": printers}, out)
    os.chmod(os.path.join(data, "printers.json"), 0o600)
    agent, agent_port = start([options.agent, "--port", "0", "--data-dir", data], r":(\d+)$")
    put_port = hosts["put"][2]
    try:
        stl = os.path.join(work, "box.stl")
        box_stl(stl, 6, 4, 10)  # 100 layers of 0.1 mm
        status, answer = request(agent_port, "/slice/preview",
                                 {"stl": stl, "printer": "127.0.0.1:%d" % put_port, "profile": "1",
                                  "name": "bench"})
        assert status == 200, answer
        job = answer["path"]
        while True:
            status, progress = request(agent_port, "/slice")
            assert status == 200, progress
            if progress["percentage"] == "100":
                break
            time.sleep(0.2)
        # Layer images of random bytes bring the job file to the size asked for.
        layers = sorted(name for name in os.listdir(job) if name.endswith(".png"))
        each = options.megabytes * 1000 * 1000 // len(layers)
        for name in layers:
            with open(os.path.join(job, name), "ab") as out:
                out.write(os.urandom(max(0, each - os.path.getsize(os.path.join(job, name)))))

        results = {"pack (download)": [], "send, put": [], "send, form": [],
                   "upload alone, put": [], "curl -T": []}
        peaks = {"send, put": [], "send, form": [], "upload alone, put": []}
        absolute = {"send, put": [], "send, form": []}
        packed = None
        for round_ in range(options.rounds):
            start_time = time.monotonic()
            status, answer = request(agent_port, "/slice/download", {"path": job})
            results["pack (download)"].append(time.monotonic() - start_time)
            assert status == 200, answer
            if packed:
                os.remove(answer["file"])
            else:
                packed = answer["file"]
            for dialect in ("put", "form"):
                with open("/proc/%d/clear_refs" % agent.pid, "w") as refs:
                    refs.write("5")  # peak resident memory starts again from now
                before = memory(agent.pid, "VmRSS")
                start_time = time.monotonic()
                status, answer = request(agent_port, "/slice/send",
                                         {"printer": "127.0.0.1:%d" % hosts[dialect][2],
                                          "profile": "1", "name": "r%d" % round_, "path": job})
                results["send, " + dialect].append(time.monotonic() - start_time)
                assert status == 200, answer
                peaks["send, " + dialect].append(memory(agent.pid, "VmHWM") - before)
                absolute["send, " + dialect].append(memory(agent.pid, "VmHWM"))
            # The upload alone, packing left out, in a process of its own.
            took, peak = subprocess.run([options.upload, packed, str(put_port), KEY, "1",
                                         "alone%d-" % round_], check=True, capture_output=True,
                                        text=True).stdout.split()
            results["upload alone, put"].append(float(took))
            peaks["upload alone, put"].append(float(peak))
            start_time = time.monotonic()
            subprocess.run(["curl", "-sS", "-o", "/dev/null", "-H", "X-Api-Key: " + KEY, "-T", packed,
                            "http://127.0.0.1:%d/api/v1/files/local/curl%d.sl1" % (put_port, round_)],
                           check=True)
            results["curl -T"].append(time.monotonic() - start_time)
            for stored in ("r%d.sl1" % round_, "alone%d-0.sl1" % round_, "curl%d.sl1" % round_):
                assert os.path.getsize(os.path.join(hosts["put"][0], stored)) == os.path.getsize(packed)
            # Each round writes into empty folders, so that no round pays for the ones before.
            for folder, _, _ in hosts.values():
                for name in os.listdir(folder):
                    os.remove(os.path.join(folder, name))

        size = os.path.getsize(packed) / 1e6
        print("job file: %.1f MB, %d rounds, agent resident after them: %.1f MiB"
              % (size, options.rounds, memory(agent.pid, "VmRSS")))
        for name, times in results.items():
            median = statistics.median(times)
            print("%-17s median %6.3f s  %7.1f MB/s" % (name, median, size / median))
        for name, values in peaks.items():
            print("%-17s median peak resident memory added: %.1f MiB"
                  % (name, statistics.median(values)))
        for name, values in absolute.items():
            print("%-17s median peak resident memory of the agent: %.1f MiB"
                  % (name, statistics.median(values)))
        print("upload alone, put: %.2fx the time of curl -T"
              % (statistics.median(results["upload alone, put"])
                 / statistics.median(results["curl -T"])))
    finally:
        request(agent_port, "/terminate")
        agent.wait()
        for _, process, _ in hosts.values():
            process.terminate()
            process.wait()
        subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    main()
