#!/usr/bin/env python3
"""Listing speed, side by side with the peer tools, in one run.

Generates (once, under build/bench-data/) a ZIP of 200,000 entries and a deep TAR
of 100,000 entries, then times `brindle-cli list` against `unzip -Z1` (ZIP) and
`bsdtar -tf` (both) on the same files. Prints the best wall time of several runs,
the peak memory of each process, and our ratio to each peer (below 1 is faster).

usage: bench/list_bench.py [--runs N]
(after ./run.sh has built build/bin, and scripts/install-deps.sh --peers)
"""
import argparse, os, subprocess, sys, tarfile, time, zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "build", "bench-data")
CLI = os.path.join(ROOT, "build", "bin", "brindle-cli")
ZIP_ENTRIES = 200_000
TAR_ENTRIES = 100_000


def make_zip(path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
        for i in range(ZIP_ENTRIES):
            z.writestr("dir%03d/sub%02d/file%06d.txt" % (i % 500, i % 37, i), b"x" * (i % 7))


def make_tar(path):
    # Deep paths, many of them longer than the 100-byte name field.
    with tarfile.open(path, "w", format=tarfile.GNU_FORMAT) as t:
        for i in range(TAR_ENTRIES):
            depth = "/".join("level%02d" % d for d in range(i % 12))
            info = tarfile.TarInfo("root/%s/file%06d.dat" % (depth, i))
            info.size = 0
            info.mtime = 1700000000
            t.addfile(info)


def run(cmd):
    """Wall time and peak resident memory (KiB) of one run; /usr/bin/time reports
    the program's own peak, not this interpreter's."""
    start = time.perf_counter()
    proc = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit("failed: %s" % " ".join(cmd))
    return elapsed, int(proc.stderr.strip().splitlines()[-1])


def measure(cmd, runs):
    results = [run(cmd) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5)
    runs = ap.parse_args().runs
    if not os.access(CLI, os.X_OK):
        sys.exit("build first: ./run.sh (needs build/bin/brindle-cli)")
    os.makedirs(DATA, exist_ok=True)
    zip_path = os.path.join(DATA, "entries200k.zip")
    tar_path = os.path.join(DATA, "deep100k.tar")
    if not os.path.exists(zip_path):
        make_zip(zip_path)
    if not os.path.exists(tar_path):
        make_tar(tar_path)

    cases = [
        ("zip 200k entries", zip_path, [["unzip", "-Z1"], ["bsdtar", "-tf"]]),
        ("tar 100k deep", tar_path, [["bsdtar", "-tf"]]),
    ]
    for label, path, peers in cases:
        ours = measure([CLI, "list", path], runs)
        print("%-18s brindle-cli list   %7.3f s  %8d KiB" % (label, ours[0], ours[1]))
        for peer in peers:
            theirs = measure(peer + [path], runs)
            print("%-18s %-18s %7.3f s  %8d KiB   ratio %.2f" %
                  (label, " ".join(peer), theirs[0], theirs[1], ours[0] / theirs[0]))


if __name__ == "__main__":
    main()
