#!/usr/bin/env python3
"""Checks that movies made with --timing gif play like their GIFs, with readers that share no
code with the converter: for each GIF, converts it (--timing gif --loop gif, lossless pictures
unless --pictures jpeg), reads the movie's rate, length and stop action with swfinspect.py,
reckons from the GIF's own delays (browser rule: 0 or 1 hundredth plays 100 ms) which GIF frame
a browser shows at each movie frame's time s / R, passes included, and draws every movie frame
with swfrender.py against that frame's picture (lossless: exact; JPEG: PSNR >= 30 dB).
Also: the movie lasts the GIF's time (times its passes) within one movie frame, a GIF that
repeats N times plays N + 1 passes with a stop in the last frame, no loop extension means one
pass and a stop, 0 means no stop.

Usage: bench/timing/gif_timing_check.py BUILD_DIR OUT_DIR [--pictures jpeg] GIF...
Needs /usr/bin/python3 with numpy and PIL (swfrender.py). Prints one line per GIF and a summary
"N passed, N failed".
"""
import json, os, struct, subprocess, sys
from fractions import Fraction

HERE = os.path.dirname(os.path.abspath(__file__))
CHUNK = 2000
TOOLS = os.path.normpath(os.path.join(HERE, "..", "..", "..", "shared", "tools", "swfcheck"))


def gif_timing(data):
    """Each image's delay in hundredths (0 without a control block) and the loop count."""
    p = 13 + (3 << ((data[10] & 7) + 1) if data[10] & 0x80 else 0)
    delays, pending, loops = [], 0, None

    def skip(p):
        while p < len(data) and data[p]:
            p += data[p] + 1
        return p + 1
    while p < len(data) and data[p] != 0x3B:
        if data[p] == 0x21 and p + 1 < len(data):
            label = data[p + 1]
            if label == 0xF9 and p + 6 <= len(data):
                pending = struct.unpack_from("<H", data, p + 4)[0]
            if label == 0xFF and loops is None and data[p + 3:p + 14] in (b"NETSCAPE2.0", b"ANIMEXTS1.0") \
                    and p + 18 <= len(data) and data[p + 14] >= 3 and data[p + 15] == 1:
                loops = struct.unpack_from("<H", data, p + 16)[0]
            p = skip(p + 2)
        elif data[p] == 0x2C and p + 10 <= len(data):
            f = data[p + 9]
            p += 10 + (3 << ((f & 7) + 1) if f & 0x80 else 0) + 1
            p = skip(p)
            delays.append(pending)
            pending = 0
        else:
            break
    return delays, loops


def main():
    args = sys.argv[1:]
    if len(args) < 3:
        sys.exit(__doc__)
    build, out = args[0], args[1]
    gifs, pictures = [], "lossless"
    rest = args[2:]
    while rest:
        if rest[0] == "--pictures":
            pictures, rest = rest[1], rest[2:]
        else:
            gifs.append(rest[0])
            rest = rest[1:]
    conv = os.path.join(build, "cli", "brevanto-convert")
    refs = os.path.join(build, "bench", "lossless_slot_refs")
    passed = failed = skipped = 0
    for gif in gifs:
        name = os.path.splitext(os.path.basename(gif))[0]
        d = os.path.join(out, name)
        os.makedirs(d, exist_ok=True)
        run = subprocess.run([conv, "--timing", "gif", "--loop", "gif", "--pictures", pictures, "-o", d, gif],
                             capture_output=True, text=True)
        if run.returncode != 0:
            skipped += 1
            print("SKIP %s: %s" % (name, run.stderr.strip().splitlines()[-1] if run.stderr.strip() else "?"))
            continue
        movie = os.path.join(d, name + ".swf")
        frames = int(subprocess.run([refs, gif, d, "1", "frames"], capture_output=True, text=True).stdout)
        info = json.loads(subprocess.run([sys.executable, os.path.join(TOOLS, "swfinspect.py"), "--json", movie],
                                         capture_output=True, text=True).stdout)
        rate, count = info["frame_rate_raw"] / 256.0, info["frame_count"]
        delays, loops = gif_timing(open(gif, "rb").read())
        times = [(x if x >= 2 else 10) for x in delays[:frames]]  # hundredths, as browsers play them
        total = sum(times)
        per_pass = round(total / 100.0 * rate)  # movie frames of one pass at the stored rate
        passes = loops + 1 if loops and (loops + 1) * per_pass <= 65535 else 1
        problems = []
        stops = bool(info["frames"] and info["frames"][-1]["actions"])
        want_stop = loops is None or (loops > 0 and passes > 1)
        if stops != want_stop:
            problems.append("stop action %s, expected %s (loop count %s)" % (stops, want_stop, loops))
        if abs(count / rate - passes * total / 100.0) > 1.0 / rate + 1e-9:
            problems.append("length %.3f s, GIF %.3f s x %d" % (count / rate, total / 100.0, passes))
        starts, t = [], 0
        for h in times:
            starts.append(t)
            t += h
        mapping = []
        for s in range(count):
            # Hundredths into the pass, exactly: s / (raw / 256) seconds.
            at = Fraction(s * 25600, info["frame_rate_raw"]) % total if total else 0
            i = max(k for k in range(len(starts)) if starts[k] <= at)
            mapping.append("%d:%d" % (i, s))
        comps = []
        for first in range(0, count, CHUNK):  # a long movie's map would not fit one command line
            last = min(count, first + CHUNK) - 1
            render = subprocess.run(["/usr/bin/python3", os.path.join(TOOLS, "swfrender.py"), movie,
                                     os.path.join(d, "render"), "--json", "--frames", "%d-%d" % (first, last),
                                     "--against", os.path.join(d, "frame%05d.ppm"),
                                     "--map", ",".join(mapping[first:last + 1])], capture_output=True, text=True)
            try:
                comps += json.loads(render.stdout).get("compare", [])
            except ValueError:
                problems.append("no comparison (%s)" % render.stderr.strip()[-200:])
                break
            for png in os.listdir(os.path.join(d, "render")):
                os.remove(os.path.join(d, "render", png))
        if not comps:
            problems.append("no comparison")
        for c in comps:
            psnr = c.get("psnr")  # None: identical
            bad = "error" in c or (c.get("max_abs", 0) != 0 if pictures == "lossless" else
                                   psnr is not None and psnr < 30)
            if bad:
                problems.append("movie frame %s differs from GIF frame %s: %s" % (c.get("frame"), c.get("slot"), c))
                break
        if problems:
            failed += 1
            print("FAIL %s: %s" % (name, "; ".join(problems)))
        else:
            passed += 1
            print("ok %s: %d frames at %.2f fps, %d pass(es), %d frames compared" % (name, count, rate, passes,
                                                                                  len(comps)))
    print("%d passed, %d failed, %d skipped" % (passed, failed, skipped))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
