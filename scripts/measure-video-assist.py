#!/usr/bin/env python3
"""End-to-end latency of video assist on 127.0.0.1, for the tool and for
ffmpeg's own pass-through transcode at the same encoder settings.

A camera feed (1080p24 H.264 MPEG-TS with a frame counter burnt in as twelve
boxes) is sent by ffmpeg to two places at once: straight to a monitor, and
through the path measured (the tool, or ffmpeg transcoding) to a second
monitor. Each monitor decodes as frames arrive and notes when each counter
came; a counter's time through the path less its time on the direct monitor
is what the path adds between the sender and a receiver's decode.

  scripts/measure-video-assist.py build/tools/vthud_preview [FRAMES]
"""
import math
import os
import socket
import subprocess
import sys
import threading
import time

BOXES = "drawbox=x=80:y=480:w=1720:h=120:color=black:t=fill" + "".join(
    ",drawbox=x=%d:y=500:w=120:h=80:color=white:t=fill:enable='gt(bitand(n\\,%d)\\,0)'" % (100 + 140 * k, 1 << k)
    for k in range(12))


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def monitor(port, seen):
    """Decodes udp://127.0.0.1:port as it comes; seen[counter] = when it was decoded (first time)."""
    p = subprocess.Popen(
        ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-fflags", "nobuffer", "-flags", "low_delay",
         "-i", "udp://127.0.0.1:%d?timeout=15000000" % port, "-vf",
         "crop=1680:80:100:500,scale=12:1:flags=area,format=gray", "-flush_packets", "1", "-f", "rawvideo", "pipe:1"],
        stdout=subprocess.PIPE)

    def read():
        while True:
            frame = p.stdout.read(12)
            if len(frame) < 12:
                return
            now = time.monotonic()
            value = sum(1 << k for k in range(12) if frame[k] > 110)
            seen.setdefault(value, now)

    t = threading.Thread(target=read)
    t.start()
    return p, t


def quantile(values, fraction):
    values = sorted(values)
    rank = max(1, math.ceil(fraction * len(values)))
    return values[min(len(values), rank) - 1]


def measure(name, path_command, path_in, path_out, feed, frames):
    direct, through = {}, {}
    direct_port = free_port()
    monitors = [monitor(direct_port, direct), monitor(path_out, through)]
    path = subprocess.Popen(path_command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    time.sleep(3)  # the path listens and has made its output before the camera sends
    subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-re", "-i", feed, "-frames:v",
                    str(frames), "-c", "copy", "-map", "0", "-f", "tee",
                    "[f=mpegts]udp://127.0.0.1:%d?pkt_size=1316|[f=mpegts]udp://127.0.0.1:%d?pkt_size=1316" %
                    (path_in, direct_port)], check=True, timeout=120)
    time.sleep(1)
    path.send_signal(2)
    try:
        out, err = path.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        path.kill()
        out, err = path.communicate()
    for p, t in monitors:
        p.wait(timeout=30)
        t.join()
    added = [(through[c] - direct[c]) * 1000 for c in through if c in direct]
    if not added:
        sys.exit("%s: nothing came through (%d direct)\n%s" % (name, len(direct), err))
    print("%s: %d of %d counters through; added end to end: median %.1f ms, 95th percentile %.1f ms, "
          "99th percentile %.1f ms" % (name, len(added), frames, quantile(added, 0.5), quantile(added, 0.95),
                                       quantile(added, 0.99)))
    if name == "tool":
        sys.stdout.write(out)


def main():
    tool = sys.argv[1]
    frames = int(sys.argv[2]) if len(sys.argv) > 2 else 480
    feed = "/tmp/vthud-measure-feed.ts"
    if not os.path.exists(feed):
        subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
                        "testsrc2=size=1920x1080:rate=24", "-frames:v", str(frames), "-vf", BOXES, "-c:v", "libx264",
                        "-preset", "ultrafast", "-tune", "zerolatency", "-g", "24", "-pix_fmt", "yuv420p", "-f",
                        "mpegts", "-y", feed], check=True)
    path_in, path_out = free_port(), free_port()
    measure("tool", [tool, "--background", "udp://127.0.0.1:%d" % path_in, "--out",
                     "udp://127.0.0.1:%d?pkt_size=1316" % path_out], path_in, path_out, feed, frames)
    path_in, path_out = free_port(), free_port()
    # ffmpeg decoding and encoding as the tool does: low delay in, x264 ultrafast zero-latency out, a keyframe
    # every half second.
    measure("ffmpeg", ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-fflags", "nobuffer", "-flags",
                       "low_delay", "-i", "udp://127.0.0.1:%d?timeout=10000000" % path_in, "-c:v", "libx264", "-preset", "ultrafast",
                       "-tune", "zerolatency", "-g", "12", "-pix_fmt", "yuv420p", "-flush_packets", "1", "-f",
                       "mpegts", "udp://127.0.0.1:%d?pkt_size=1316" % path_out], path_in, path_out, feed, frames)


if __name__ == "__main__":
    main()
