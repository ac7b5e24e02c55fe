#!/usr/bin/env python3
"""Measures varo-clock-service against the simulator (build/ from scripts/setup.sh):

- GET /status from 50 parallel clients x 20 requests each (keep-alive), while a
  settings read holds the line (the simulator answers after 1.5 s), and again
  while a POST /set-time waits for its second boundary: every answer 200, p99;
- how late a POST /set-time's frame reaches the simulator after the boundary,
  and, taken in turns with it, varo-clock-cli set-time's on a second simulator
  (the same session in its blocking form, as the window runs it);
- the service's CPU with one time frame a second, idle and with a /live client;
- its resident memory over an hour's worth of time frames, sent fast.

Prints a table; --json FILE writes the figures and the samples."""
import argparse
import asyncio
import base64
import ctypes
import json
import os
import pathlib
import re
import signal
import statistics
import subprocess
import sys
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
SERVICE = ROOT / "build/src/varo-clock-service"
SIM = ROOT / "build/tools/varo-clock-sim/varo-clock-sim"
CLI = ROOT / "build/src/varo-clock-cli"
TICKS = os.sysconf("SC_CLK_TCK")


def percentile(samples, share):
    ordered = sorted(samples)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def end_with_parent():
    ctypes.CDLL("libc.so.6").prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


class Child:
    """A program started for the run and ended with it; the lines of `stream`
    are collected as they come."""

    def __init__(self, args, wait_for, stream="stdout"):
        self.process = subprocess.Popen([str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        text=True, preexec_fn=end_with_parent)
        self.lines = []
        self.arrived = threading.Condition()
        for name in ("stdout", "stderr"):
            threading.Thread(target=self.collect, args=(getattr(self.process, name), name == stream),
                             daemon=True).start()
        self.match = self.wait_for(wait_for)
        if not self.match:
            raise SystemExit(f"{args[0]} ended: {self.lines}")

    def collect(self, source, kept):
        for line in source:
            if kept:
                with self.arrived:
                    self.lines.append(line.rstrip("\n"))
                    self.arrived.notify_all()
        with self.arrived:
            self.arrived.notify_all()

    def wait_for(self, pattern, start=0):
        """The first line from `start` on that matches; None once the program ended."""
        checked = start
        with self.arrived:
            while True:
                for line in self.lines[checked:]:
                    match = re.search(pattern, line)
                    if match:
                        return match
                checked = len(self.lines)
                if self.process.poll() is not None:
                    return None
                self.arrived.wait(1)

    def end(self):
        self.process.terminate()
        self.process.wait()


def start(sim_options, port_path=None):
    """The simulator with its options (unless a device is given) and the service on it."""
    sim = None
    if port_path is None:
        sim = Child([SIM, "--persist", *sim_options], r"^DEVICE (\S+)")
        port_path = sim.match.group(1)
    service = Child([SERVICE, "--port", port_path, "--listen", "127.0.0.1:0"],
                    r"listening on http://127\.0\.0\.1:(\d+)/", stream="stderr")
    return sim, service, int(service.match.group(1))


async def request(reader, writer, method, path, body=b""):
    writer.write(f"{method} {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: {len(body)}\r\n\r\n".encode() + body)
    head = await reader.readuntil(b"\r\n\r\n")
    status = int(head.split(b" ", 2)[1])
    length = int(re.search(rb"Content-Length: (\d+)", head).group(1))
    return status, await reader.readexactly(length)


async def one_shot(port, method, path, body=b""):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    try:
        return await request(reader, writer, method, path, body)
    finally:
        writer.close()


async def status_burst(port, clients=50, each=20):
    """Latencies in ms of clients x each GET /status, and the statuses."""
    latencies, statuses = [], []

    async def client():
        reader, writer = await asyncio.open_connection("127.0.0.1", port)
        for _ in range(each):
            begun = time.perf_counter()
            status, _ = await request(reader, writer, "GET", "/status")
            latencies.append((time.perf_counter() - begun) * 1e3)
            statuses.append(status)
        writer.close()

    begun = time.time()
    await asyncio.gather(*(client() for _ in range(clients)))
    return latencies, statuses, begun, time.time()


async def while_read_holds(port):
    read = asyncio.ensure_future(one_shot(port, "GET", "/settings/1"))
    while not json.loads((await one_shot(port, "GET", "/status"))[1])["lineHeld"]:
        await asyncio.sleep(0.005)
    latencies, statuses, begun, ended = await status_burst(port)
    held_throughout = not read.done()
    status, _ = await read
    return latencies, statuses, {"readStatus": status, "burstSeconds": ended - begun, "heldThroughout": held_throughout}


async def while_set_time_waits(port, rounds):
    """Each round: a set-time posted 0.8 s before a boundary, and a burst begun
    shortly before the boundary, when the session watches the clock for its
    last moments."""
    samples, statuses, overlaps = [], [], 0
    for n in range(rounds):
        await asyncio.sleep((1.2 - time.time() % 1) % 1)  # 0.2 s into a second
        posted = asyncio.ensure_future(one_shot(port, "POST", "/set-time"))
        await asyncio.sleep(0.95 - n % 3 * 0.01 - time.time() % 1)
        latencies, got, begun, ended = await status_burst(port)
        status, body = await posted
        second = time.mktime(time.strptime(json.loads(body)["second"], "%Y-%m-%dT%H:%M:%S"))
        overlaps += begun < second < ended
        samples += latencies
        statuses += got
        statuses.append(status)
    return samples, statuses, {"rounds": rounds, "burstsAcrossTheBoundary": overlaps}


def boundary_lags(sim, port, count):
    """How late each set-time frame reached its simulator after the second it
    names, in ms: the service's and the command line's, in turns."""
    pattern = r" t=(\d+) RX AA00[0-9A-F]{14} set time (\S+) weekday \d (\S+)$"
    cli_sim = Child([SIM, "--persist"], r"^DEVICE (\S+)")

    def lag(simulator, mark):
        match = simulator.wait_for(pattern, mark)
        named = time.mktime(time.strptime(f"{match.group(2)} {match.group(3)}", "%Y-%m-%d %H:%M:%S"))
        return (int(match.group(1)) / 1e6 - named) * 1e3

    service, cli = [], []
    for _ in range(count):
        mark = len(sim.lines)
        asyncio.run(one_shot(port, "POST", "/set-time"))
        service.append(lag(sim, mark))
        mark = len(cli_sim.lines)
        subprocess.run([CLI, "--port", cli_sim.match.group(1), "set-time"], check=True, capture_output=True)
        cli.append(lag(cli_sim, mark))
    cli_sim.end()
    return service, cli


def cpu_seconds(pid):
    fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def resident_kib(pid):
    return int(re.search(r"VmRSS:\s+(\d+)", pathlib.Path(f"/proc/{pid}/status").read_text()).group(1))


async def live_client(port, seconds):
    """A /live web socket that reads the pushes for `seconds`; their count."""
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    key = base64.b64encode(os.urandom(16)).decode()
    writer.write(f"GET /live HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
                 f"Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: {key}\r\n\r\n".encode())
    await reader.readuntil(b"\r\n\r\n")
    pushes, ends = 0, time.time() + seconds
    while time.time() < ends:
        try:
            head = await asyncio.wait_for(reader.readexactly(2), ends - time.time())
        except asyncio.TimeoutError:
            break
        length = head[1] & 0x7F
        if length == 126:
            length = int.from_bytes(await reader.readexactly(2), "big")
        await reader.readexactly(length)
        pushes += 1
    writer.close()
    return pushes


def idle_cpu(pid, port, seconds, with_live):
    before = cpu_seconds(pid)
    begun = time.time()
    pushes = asyncio.run(live_client(port, seconds)) if with_live else time.sleep(seconds)
    return (cpu_seconds(pid) - before) / (time.time() - begun) * 100, pushes


def fast_time_frames(frames, per_second):
    """The service on a pseudo-terminal that carries `frames` time frames at
    `per_second`; its resident memory after the first tenth and at the end."""
    import pty
    import tty
    master, slave = pty.openpty()
    tty.setraw(master)
    tty.setraw(slave)
    _, service, _ = start([], os.ttyname(slave))
    resident = []
    moment = time.time()
    for n in range(frames):
        t = time.localtime(moment + n)
        bcd = lambda v: bytes([v // 10 * 16 + v % 10])
        os.write(master, b"\xAA\x00" + bcd(t.tm_year % 100) + bcd(t.tm_mon) + bcd(t.tm_mday) +
                 bcd((t.tm_wday + 1) % 7) + bcd(t.tm_hour) + bcd(t.tm_min) + bcd(t.tm_sec))
        time.sleep(1 / per_second)
        if n in (frames // 10, frames - 1):
            resident.append(resident_kib(service.process.pid))
    service.end()
    os.close(master)
    os.close(slave)
    return resident


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=5, help="set-time rounds with a burst each (5)")
    parser.add_argument("--set-times", type=int, default=20, help="set-times timed at the simulator (20)")
    parser.add_argument("--idle-seconds", type=int, default=60, help="how long CPU is measured (60)")
    parser.add_argument("--frames", type=int, default=3600, help="time frames for the memory figure (3600)")
    parser.add_argument("--json", help="write the figures and samples to this file")
    options = parser.parse_args()
    if not SERVICE.exists() or not SIM.exists():
        sys.exit("bench-service: build first (scripts/setup.sh)")

    figures = {"load": open("/proc/loadavg").read().split()[:3], "cores": os.cpu_count()}
    sim, service, port = start(["--delay", "1500"])
    latencies, statuses, extra = asyncio.run(while_read_holds(port))
    figures["statusWhileReadHolds"] = {"p50": percentile(latencies, 0.5), "p99": percentile(latencies, 0.99),
                                       "max": max(latencies), "answered": len(latencies),
                                       "all200": set(statuses) == {200}, **extra, "samples": latencies}
    service.end(), sim.end()

    sim, service, port = start([])
    latencies, statuses, extra = asyncio.run(while_set_time_waits(port, options.rounds))
    figures["statusWhileSetTimeWaits"] = {"p50": percentile(latencies, 0.5), "p99": percentile(latencies, 0.99),
                                          "max": max(latencies), "answered": len(latencies),
                                          "all200": set(statuses) == {200}, **extra, "samples": latencies}
    lags, cli_lags = boundary_lags(sim, port, options.set_times)
    figures["setTimeAfterBoundaryMs"] = {"median": statistics.median(lags), "p99": percentile(lags, 0.99),
                                         "cliMedian": statistics.median(cli_lags),
                                         "cliP99": percentile(cli_lags, 0.99), "samples": lags,
                                         "cliSamples": cli_lags}
    service.end(), sim.end()

    sim, service, port = start(["--time-frames", "1"])
    time.sleep(2)
    idle, _ = idle_cpu(service.process.pid, port, options.idle_seconds, False)
    live, pushes = idle_cpu(service.process.pid, port, options.idle_seconds, True)
    figures["cpuPercentOfACore"] = {"idle": idle, "withLiveClient": live, "pushes": pushes}
    service.end(), sim.end()

    resident = fast_time_frames(options.frames, 100)
    figures["residentKiB"] = {"afterTenth": resident[0], "atEnd": resident[1], "frames": options.frames}

    print(f"machine: {figures['cores']} cores, load {' '.join(figures['load'])}")
    for name in ("statusWhileReadHolds", "statusWhileSetTimeWaits"):
        f = figures[name]
        print(f"GET /status, 50 x 20, {name}: p50 {f['p50']:.2f} ms, p99 {f['p99']:.2f} ms, "
              f"max {f['max']:.2f} ms, {f['answered']} answered, all 200: {f['all200']}"
              + (f", bursts across the boundary {f['burstsAcrossTheBoundary']}/{f['rounds']}" if "rounds" in f else ""))
    f = figures["setTimeAfterBoundaryMs"]
    print(f"set-time frame after the boundary at the simulator: median {f['median']:.3f} ms, p99 {f['p99']:.3f} ms; "
          f"varo-clock-cli in turns with it: median {f['cliMedian']:.3f} ms, p99 {f['cliP99']:.3f} ms")
    f = figures["cpuPercentOfACore"]
    print(f"CPU with a time frame a second: idle {f['idle']:.2f} %, with a /live client {f['withLiveClient']:.2f} % "
          f"({f['pushes']} pushes)")
    f = figures["residentKiB"]
    print(f"resident memory over {f['frames']} time frames: {f['afterTenth']} KiB after a tenth, {f['atEnd']} KiB "
          f"at the end")
    if options.json:
        pathlib.Path(options.json).write_text(json.dumps(figures, indent=1))


if __name__ == "__main__":
    main()
