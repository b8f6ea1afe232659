#!/usr/bin/env python3
"""The timeline page of xob-decode --html in a real browser, and its --trace-event file.

Records the head-unit demo through xob-recorder, writes the page and opens it in headless Chromium
from a file URL with the network off. The page reports what it drew per lane (data-drawn), which
must equal xob-decode --stats mapped to families; it reports script errors (data-errors), which
must be none; the record it shows for #record=N must be xob-decode's text line N; a screenshot must
have marks in it. A second page holds the demo and a damaged copy of it, side by side: the damaged
bytes count in the "unknown" lane and show red. Exit 77 (skipped) without Chromium, except in CI.
"""
import argparse
import collections
import html
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

# The family of each function identifier, as the page and the trace file must draw it.
LANES = {
    "navigation": [0x418, 0x420, 0x426, 0x428, 0x756, 0x759, 0x760],
    "sensors": [0x757], "traffic": [0x758],
    "system": [0x408, 0x409, 0x413, 0x421, 0x703, 0x70A, 0x72A, 0x750, 0x752, 0x753, 0x754],
    "media": [0x41B], "telephone": [0x410, 0x414], "Bluetooth": [0x411, 0x412],
    "WLAN": [0x740, 0x741], "PSD": [0x429],
}
CONTROL = {"InitFiles", "SetActivFlag", "StopFlush", "FlushFilesReady"}
LABEL_WIDTH = 170  # the page's label column; marks are drawn right of it


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def run(*command, env=None, cwd=None):
    return subprocess.run(command, check=False, capture_output=True, text=True, env=env, cwd=cwd, timeout=120)


def record_demo(args, recording):
    """The demo's records, as xob-recorder received them through a FIFO."""
    device = os.path.join(args.work, "device")
    if os.path.exists(recording):
        os.unlink(recording)  # xob-recorder appends
    recorder = subprocess.Popen([args.recorder, "--quiet", "--output", recording, device],
                                stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(device):
                break
            time.sleep(0.05)
        demo = run(args.demo, env=dict(os.environ, XOBTEST_DEVICE=device))
        if demo.returncode != 0:
            fail("the demo exited with %d: %s" % (demo.returncode, demo.stderr))
        time.sleep(0.3)  # the recorder reads what the last writes left in the FIFO
    finally:
        recorder.send_signal(signal.SIGINT)
        recorder.wait(timeout=10)


def lane_of(name, ids):
    if name in CONTROL:
        return "control commands"
    for lane, lane_ids in LANES.items():
        if ids.get(name) in lane_ids:
            return lane
    return "unknown"


def catalogue_ids(args):
    """The function identifier of every entry name, from xob-decode --list --json."""
    ids = {}
    for line in run(args.decode, "--list", "--json").stdout.splitlines():
        entry = json.loads(line)
        ids[entry["entry"]] = int(entry["functionId"], 16)
    return ids


def expected_lanes(args, files):
    ids = catalogue_ids(args)
    stats = json.loads(run(args.decode, "--stats", "--json", *files).stdout)
    lanes = collections.Counter()
    for row in stats["total"]["entries"]:
        lanes[lane_of(row["entry"], ids)] += row["count"]
    return lanes, stats


def browser(chromium, work, url, *extra, height=480):
    profile = tempfile.mkdtemp(dir=work)
    try:
        return run(chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update", "--disable-sync",
                   "--user-data-dir=" + profile, "--virtual-time-budget=10000", "--window-size=1100,%d" % height,
                   *extra, url)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def open_page(chromium, work, page, fragment, png, height=480):
    """What the page reports it drew per lane, the record it shows, and its screenshot's pixels
    right of the labels: coloured ones (marks of a lane) and red ones (damage)."""
    if os.path.exists(png):
        os.unlink(png)
    dom = browser(chromium, work, "file://" + page + fragment, "--dump-dom", "--screenshot=" + png,
                  height=height).stdout
    body = re.search(r"<body([^>]*)>", dom)
    if body is None:
        fail("no page body in what the browser dumped:\n" + dom[:2000])
    attributes = {key: html.unescape(value) for key, value in re.findall(r'data-(\w+)="([^"]*)"', body.group(1))}
    if attributes.get("ready") != "1":
        fail("the page did not finish drawing: %s" % attributes)
    if "errors" in attributes:
        fail("script errors on the page: " + attributes["errors"])
    detail = re.search(r'<pre id="detail">(.*?)</pre>', dom, re.S)
    if not os.path.exists(png):
        fail("no screenshot")
    width, channels, rows = png_pixels(png)
    coloured = red = 0
    for line in rows:
        for x in range(LABEL_WIDTH + 5, width):
            r, g, b = line[x * channels:x * channels + 3]
            coloured += max(r, g, b) - min(r, g, b) > 60
            red += r > 200 and g < 100 and b < 100
    page = collections.namedtuple("Page", "drawn detail coloured red")
    return page(json.loads(attributes["drawn"]), html.unescape(detail.group(1)) if detail else "", coloured, red)


def png_pixels(path):
    """(width, height, rows of RGB(A) bytes) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, width, height, channels = 8, b"", 0, 0, 0
    while pos < len(data):
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + size]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
            if depth != 8 or colour not in (2, 6):
                fail("screenshot is not 8-bit RGB(A)")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += chunk
        pos += 12 + size
    raw, stride, rows, prior = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up, corner = prior[i], prior[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                near = min((abs(p - left), 0, left), (abs(p - up), 1, up), (abs(p - corner), 2, corner))[2]
                line[i] = (line[i] + near) & 255
        rows.append(line)
        prior = line
    return width, channels, rows


def check_trace(args, recording, stats, ids, work):
    trace = os.path.join(work, "demo.json")
    if run(args.decode, "--trace-event", trace, recording).returncode != 0:
        fail("--trace-event failed")
    with open(trace) as f:
        events = json.load(f)["traceEvents"]
    tracks = {(e["pid"], e["tid"]): e["args"]["name"] for e in events if e["name"] == "thread_name"}
    instants = [e for e in events if e["ph"] == "i"]
    names = collections.Counter(e["name"] for e in instants)
    want = {row["entry"]: row["count"] for row in stats["total"]["entries"]}
    if names != want:
        fail("trace events by name %s, --stats %s" % (dict(names), want))
    for e in instants:
        if tracks.get((e["pid"], e["tid"])) != lane_of(e["name"], ids):
            fail("event %s on track %s" % (e["name"], tracks.get((e["pid"], e["tid"]))))
        if e["args"]["elapsed"] is not None and e["ts"] != e["args"]["elapsed"] * 10000:
            fail("event at ts %s has elapsed %s" % (e["ts"], e["args"]["elapsed"]))
    print("trace: %d instant events, names and tracks as --stats" % len(instants))


def main():
    parser = argparse.ArgumentParser()
    for option in ("--decode", "--recorder", "--demo", "--work"):
        parser.add_argument(option, required=True)
    parser.add_argument("--screenshot", help="keep the demo page's screenshot here (docs/timeline.png)")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    args.work = os.path.abspath(args.work)

    recording = os.path.join(args.work, "demo.xob")
    record_demo(args, recording)
    lanes, stats = expected_lanes(args, [recording])
    ids = catalogue_ids(args)
    if sum(lanes.values()) < 20:
        fail("the demo's recording holds only %d records" % sum(lanes.values()))
    check_trace(args, recording, stats, ids, args.work)

    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if chromium is None:
        if os.environ.get("CI") == "true":
            fail("chromium is not installed (scripts/bootstrap.sh --ci installs it)")
        print("SKIPPED: chromium is not installed (Debian package chromium); the page was not opened")
        sys.exit(77)

    page = os.path.join(args.work, "demo.html")
    # Named as given: run where the recording is, so that the page's title is "demo.xob".
    if run(args.decode, "--html", page, "demo.xob", cwd=args.work).returncode != 0:
        fail("--html failed")
    # The record shown for #record=N: the first route-guidance start, a record with many fields.
    lines = run(args.decode, "--no-header", recording).stdout.splitlines()
    shown = next(i for i, line in enumerate(lines) if "Nav_StartRGHDU_LogEntry" in line)
    png = args.screenshot or os.path.join(args.work, "demo.png")
    shown_page = open_page(chromium, args.work, page, "#record=%d" % shown, png, 420)
    drawn = shown_page.drawn
    if drawn != {lane: lanes[lane] for lane in drawn} or sum(drawn.values()) != sum(lanes.values()):
        fail("drawn per lane %s, --stats per lane %s" % (drawn, dict(lanes)))
    if shown_page.detail.splitlines()[1:2] != [lines[shown]]:
        fail("the page shows\n%s\nxob-decode prints\n%s" % (shown_page.detail, lines[shown]))
    if shown_page.coloured < 200 or shown_page.red != 0:
        fail("the screenshot has %d coloured and %d red pixels right of the labels" %
             (shown_page.coloured, shown_page.red))
    print("demo page: drawn %s; record %d as xob-decode prints it; %d coloured pixels" %
          (drawn, shown, shown_page.coloured))

    # Two sources side by side, one of them with bytes that are no record at its end.
    damaged = os.path.join(args.work, "damaged.xob")
    with open(recording, "rb") as f, open(damaged, "wb") as out:
        out.write(f.read() + b"\xff\xff\x00")
    both = os.path.join(args.work, "both.html")
    if run(args.decode, "--html", both, recording, damaged).returncode != 1:
        fail("--html of a damaged recording does not exit 1")
    lanes, _ = expected_lanes(args, [recording, damaged])
    both_page = open_page(chromium, args.work, both, "#side", os.path.join(args.work, "both.png"), 900)
    if both_page.drawn != {lane: lanes[lane] for lane in both_page.drawn} or lanes["unknown"] < 1:
        fail("two sources: drawn per lane %s, --stats per lane %s" % (both_page.drawn, dict(lanes)))
    if both_page.red == 0:
        fail("the damaged bytes are not drawn in red")
    print("two sources side by side: drawn %s; %d red pixels" % (both_page.drawn, both_page.red))

if __name__ == "__main__":
    main()
