#!/usr/bin/env python3
"""Preview server benchmark: `tessaline-host serve` driven over plain HTTP.

1. The final 16-sample pass at 900x760 on the demo scene, from the view
   request to the pass's end, against `render` of the saved scene (its render
   phase) with the same thread count: the passes add to one sample set, so the
   ratio should stay near 1.
2. How long an edit's request takes to be answered while a pass renders.
3. How long a pick takes to be answered while a 256-sample pass renders.
4. The server's resident memory after a soak of edits, view changes, title-bar
   events and linked-shader switches, against after its first 1,000 edits.

    python3 bench/preview_bench.py [BUILD_DIR]     (THREADS=2 ROUNDS=3 EDITS=10000)
"""
import http.client
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build")
host = os.path.join(build, "tessaline-host")
threads = os.environ.get("THREADS", "2")
rounds = int(os.environ.get("ROUNDS", "3"))
soak_edits = int(os.environ.get("EDITS", "10000"))


class Server:
    def __init__(self):
        self.process = subprocess.Popen([host, "serve", "--port", "0", "--threads", threads, "--stop-after", "1800"],
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        match = re.search(r"http://([0-9.]+):(\d+)/\?token=([0-9a-f]+)", line)
        if not match:
            sys.exit("serve printed no address: " + line)
        self.address, self.port, self.token = match.group(1), int(match.group(2)), match.group(3)
        self.connection = http.client.HTTPConnection(self.address, self.port, timeout=60)

    def request(self, method, path, body=None):
        headers = {"X-Tessaline-Token": self.token}
        data = None
        if body is not None:
            data = json.dumps(body)
            headers["Content-Type"] = "application/json"
        try:
            self.connection.request(method, path, data, headers)
            answer = self.connection.getresponse()
        except (ConnectionError, http.client.HTTPException):
            # The server lets an idle connection go after a second.
            self.connection.close()
            self.connection = http.client.HTTPConnection(self.address, self.port, timeout=60)
            self.connection.request(method, path, data, headers)
            answer = self.connection.getresponse()
        text = answer.read()
        if answer.status >= 400:
            sys.exit(f"{method} {path}: {answer.status} {text[:200]!r}")
        return text

    def json(self, method, path, body=None):
        return json.loads(self.request(method, path, body))

    def final_pass(self, generation):
        while True:
            status = self.json("GET", "/api/status")
            latest = status["latest"]
            if latest and latest["generation"] >= generation and latest["final"]:
                return latest
            time.sleep(0.005)

    def rss_kib(self):
        with open(f"/proc/{self.process.pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def stop(self):
        self.process.terminate()
        self.process.wait()


def edit(server, i):
    return server.json("POST", "/api/param", {"object": 2, "channel": "normal", "symbol": "SOFTEDGE_RADIUS",
                                              "value": 0.2 + 0.0001 * (i % 1000)})


def final_pass_against_render(server):
    serve_ms, render_ms = [], []
    with tempfile.TemporaryDirectory() as work:
        for _ in range(rounds):
            # Another size first: a view at the size already rendered starts nothing.
            server.final_pass(server.json("POST", "/api/view", {"width": 640, "height": 480})["generation"])
            generation = server.json("POST", "/api/view", {"width": 900, "height": 760})["generation"]
            serve_ms.append(server.final_pass(generation)["ms"])
            scene = os.path.join(work, "scene.json")
            with open(scene, "wb") as f:
                f.write(server.request("GET", "/api/scene.json"))
            out = subprocess.run([host, "render", scene, "-o", os.path.join(work, "out.png"), "--stats", "--threads",
                                  threads], capture_output=True, text=True, check=True).stdout
            render_ms.append(float(re.search(r"^render\s+([0-9.]+)", out, re.M).group(1)))
    best_serve, best_render = min(serve_ms), min(render_ms)
    print(f"final pass 900x760 x16: serve {best_serve:.0f} ms (view request to final pass, all passes), "
          f"render {best_render:.0f} ms, ratio {best_serve / best_render:.2f}  (best of {rounds})")


def edit_latency(server):
    server.json("POST", "/api/view", {"width": 900, "height": 760})
    times = []
    for i in range(60):
        time.sleep(0.05)  # a pass of the last edit's generation is running now
        start = time.perf_counter()
        edit(server, i)
        times.append((time.perf_counter() - start) * 1000)
    print(f"edit answered while a pass renders: median {statistics.median(times):.2f} ms, "
          f"90th percentile {sorted(times)[int(len(times) * 0.9)]:.2f} ms ({len(times)} edits)")


def pick_latency(server):
    server.json("POST", "/api/view", {"width": 900, "height": 760})
    server.json("POST", "/api/render", {"samples": 256})
    times, running = [], 0
    for i in range(100):
        time.sleep(0.02)
        start = time.perf_counter()
        server.json("GET", f"/api/pick?x={(i * 37) % 900}&y={(i * 53) % 760}")
        times.append((time.perf_counter() - start) * 1000)
        running += server.json("GET", "/api/status")["running"]
    server.json("POST", "/api/render", {"samples": 16})
    print(f"pick answered while a 256-sample pass renders: median {statistics.median(times):.2f} ms, "
          f"90th percentile {sorted(times)[int(len(times) * 0.9)]:.2f} ms ({len(times)} picks, "
          f"{running} with the render running)")


def soak(server):
    server.json("POST", "/api/view", {"width": 320, "height": 240})
    link = {"object": 4, "channel": "color", "symbol": "DRAWEDGE_DISTORTION_SHADER"}
    start = time.perf_counter()
    first = 0
    for i in range(soak_edits):
        edit(server, i)
        if i % 10 == 0:
            server.json("POST", "/api/view", {"width": 320 + i % 13, "height": 240})
            server.json("POST", "/api/titlebar", {"object": 2, "channel": "normal", "event": "move" if i % 20 else "leave",
                                                  "x": 20 + i % 50, "y": 5})
        if i % 50 == 0:
            server.json("POST", "/api/param", {**link, "value": {"shader": "SoftEdge" if i % 100 else "noise"}})
        if i == 999:
            first = server.rss_kib()
    last = server.rss_kib()
    status = server.json("GET", "/api/status")
    print(f"RSS after 1000 edits {first / 1024:.1f} MiB, after {soak_edits} edits, {soak_edits // 10} view changes, "
          f"{soak_edits // 10} title-bar events, {soak_edits // 50} link switches {last / 1024:.1f} MiB: "
          f"ratio {last / first:.3f}; nodes {status['nodes']}, adjacency builds {status['adjacencyBuilds']} "
          f"({time.perf_counter() - start:.0f} s)")


def main():
    print(f"machine: {os.cpu_count()} cores, {threads} render threads; "
          f"{open('/proc/cpuinfo').read().split('model name')[1].split(':')[1].splitlines()[0].strip()}")
    server = Server()
    try:
        final_pass_against_render(server)
        edit_latency(server)
        pick_latency(server)
        soak(server)
    finally:
        server.stop()


main()
