#!/usr/bin/env python3
"""Integrity-test speed, side by side with unzip, in one run.

Generates (once, under build/bench-data/) a ZIP holding one large deflated file
and a ZIP of 5,000 small deflated files, from the benchmark corpus when it exists
(build/bench-corpus/big/text.bin, made by ../shared/bench/corpus-gen.sh) or else
from generated text. Times `brindle-cli test` against `unzip -tq` on each and
prints our ratio (below 1 is faster).

usage: bench/test_bench.py [--runs N]
(after ./run.sh has built build/bin, and scripts/install-deps.sh --peers)
"""
import argparse, os, random, subprocess, sys, time, zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "build", "bench-data")
CLI = os.path.join(ROOT, "build", "bin", "brindle-cli")
CORPUS_TEXT = os.path.join(ROOT, "build", "bench-corpus", "big", "text.bin")
SMALL_FILES = 5000


def sample_text(size):
    if os.path.exists(CORPUS_TEXT):
        with open(CORPUS_TEXT, "rb") as f:
            data = f.read(size)
        if len(data) == size:
            return data
    rng = random.Random(1)
    words = [bytes(rng.choice(b"etaoinshrdlu") for _ in range(rng.randint(2, 9)))
             for _ in range(3000)]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words) + (b"\n" if rng.random() < 0.1 else b" ")
    return bytes(out[:size])


def make_inputs():
    os.makedirs(DATA, exist_ok=True)
    large = os.path.join(DATA, "one-large.zip")
    small = os.path.join(DATA, "many-small.zip")
    if not os.path.exists(large):
        with zipfile.ZipFile(large, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
            z.writestr("large.txt", sample_text(64 << 20))
    if not os.path.exists(small):
        text = sample_text(16 << 20)
        with zipfile.ZipFile(small, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
            for i in range(SMALL_FILES):
                start = (i * 2003) % (len(text) - 4096)
                z.writestr("d%02d/f%05d.txt" % (i % 50, i), text[start:start + 512 + i % 3000])
    return large, small


def best_time(cmd, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        proc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
        if proc.returncode != 0:
            sys.exit("failed: %s" % " ".join(cmd))
    return min(times)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    runs = ap.parse_args().runs
    if not os.access(CLI, os.X_OK):
        sys.exit("build first: ./run.sh (needs build/bin/brindle-cli)")
    for label, path in zip(("one 64 MiB file", "5000 small files"), make_inputs()):
        ours = best_time([CLI, "test", path], runs)
        theirs = best_time(["unzip", "-tq", path], runs)
        print("%-17s brindle-cli test %7.3f s   unzip -tq %7.3f s   ratio %.2f" %
              (label, ours, theirs, ours / theirs))


if __name__ == "__main__":
    main()
