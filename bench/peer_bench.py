#!/usr/bin/env python3
"""Integrity-test speed of the other formats, side by side with their own tools,
in one run: brindle-cli test against gzip -t (gzip), uncompress (compress),
lhasa t (lh5, lh6), arj t (ARJ -m1) and nomarch -t (ARC).

The payload is build/bench-corpus/big/text.bin (../shared/bench/corpus-gen.sh) or
generated text. Archives are made once under build/bench-data/ with the peers.
Prints our ratio to each peer (below 1 is faster).

usage: bench/peer_bench.py [--runs N]
(after ./run.sh has built build/bin, and scripts/install-deps.sh --peers)
"""
import argparse, os, shutil, subprocess, sys, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "build", "bench-data")
CLI = os.path.join(ROOT, "build", "bin", "brindle-cli")
CORPUS_TEXT = os.path.join(ROOT, "build", "bench-corpus", "big", "text.bin")
PAYLOAD_SIZE = 12 << 20


def payload():
    path = os.path.join(DATA, "payload.txt")
    if not os.path.exists(path):
        data = b""
        if os.path.exists(CORPUS_TEXT):
            data = open(CORPUS_TEXT, "rb").read(PAYLOAD_SIZE)
        while len(data) < PAYLOAD_SIZE:
            data += b"the quick brown fox jumps over the lazy dog %d\n" % len(data)
        open(path, "wb").write(data[:PAYLOAD_SIZE])
    return path


def sh(cmd, cwd):
    subprocess.run(cmd, shell=True, cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)


def make(name, recipe):
    path = os.path.join(DATA, name)
    if not os.path.exists(path):
        sh(recipe.format(out=name, src="payload.txt"), DATA)
    return path


def best_time(cmd, runs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        proc = subprocess.run(cmd, shell=True, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        if proc.returncode != 0:
            sys.exit("failed: %s" % cmd)
        best = elapsed if best is None else min(best, elapsed)
    return best


CASES = [
    # label, archive name, how to make it, the peer's test command
    ("gzip -6", "payload.gz", "gzip -6 -c {src} > {out}", "gzip -t {a}"),
    ("compress", "payload.Z", "compress -c {src} > {out}", "uncompress -c {a} > /dev/null"),
    ("lh5", "payload5.lzh", "jlha ao5q {out} {src}", "lhasa t {a}"),
    ("lh6", "payload6.lzh", "jlha ao6q {out} {src}", "lhasa t {a}"),
    ("arj -m1", "payload.arj", "arj a -m1 -y {out} {src}", "arj t -y {a}"),
    ("arc", "payload.arc", "arc aq {out} {src}", "nomarch -t {a}"),
]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=3)
    runs = ap.parse_args().runs
    if not os.access(CLI, os.X_OK):
        sys.exit("build first: ./run.sh (needs build/bin/brindle-cli)")
    os.makedirs(DATA, exist_ok=True)
    payload()
    for label, name, recipe, peer in CASES:
        tool = peer.split()[0]
        if not shutil.which(tool):
            print("%-9s skipped: %s is not installed" % (label, tool))
            continue
        archive = make(name, recipe)
        ours = best_time("%s test %s" % (CLI, archive), runs)
        theirs = best_time(peer.format(a=archive), runs)
        print("%-9s brindle-cli test %7.3f s   %-28s %7.3f s   ratio %.2f" %
              (label, ours, peer.format(a=name), theirs, ours / theirs))


if __name__ == "__main__":
    main()
