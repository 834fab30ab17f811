#!/usr/bin/env python3
"""make_tree.py FOLDER [FILES]: writes a tree shaped like walk_vs_du.sh's (top folders of 10 files and 10
middle folders, each of 10 files and 10 leaf folders of 100 files; 10,110 files a top folder, as many
top folders as FILES asks, 100,000 by default), with contents closer to a real disk: about 60 %
text-like files that compress, 40 % random ones that do not, sizes from a byte to 4 MiB with most
files small and most bytes in the few large ones; about 16 KiB a file on average. Every file gets
an access and modification time ten days back, so the engine takes it for seldom used.
The same FILES always gives the same tree."""
import itertools
import os
import random
import sys
import time

CORPUS_BYTES = 16 << 20
TEXT_SHARE = 0.6
# (share of the files, smallest, largest); sizes are log-uniform within a class.
SIZE_CLASSES = [
    (0.500, 1, 4096),
    (0.444, 4096, 32768),
    (0.050, 32768, 262144),
    (0.005, 262144, 1 << 20),
    (0.001, 1 << 20, 4 << 20),
]
TEXT_EXTS = [".txt", ".c", ".h", ".html", ".log", ".json", ".md", ".csv"]
RANDOM_EXTS = [".jpg", ".png", ".zip", ".gz", ".mp3", ".mp4"]


def text_corpus(rng):
    # Words of a made-up language in a Zipf-like mix, in lines of varying length: zlib at level 1
    # takes such text to about two fifths, much as it does source code and documents.
    letters = "etaoinshrdlcumwfgypbvkjxqz"
    weights = [26 - i for i in range(26)]
    words = ["".join(rng.choices(letters, weights, k=rng.randint(1, 10))) for _ in range(4000)]
    cumulative = list(itertools.accumulate(1.0 / (i + 1) for i in range(len(words))))
    parts = []
    size = 0
    while size < CORPUS_BYTES:
        line = " ".join(rng.choices(words, cum_weights=cumulative, k=rng.randint(3, 16)))
        line += rng.choice([".\n", ",\n", ";\n", " {\n", "\n", "\n\n"])
        parts.append(line)
        size += len(line)
    return "".join(parts).encode()[:CORPUS_BYTES]


def pick_size(rng):
    roll = rng.random()
    for share, low, high in SIZE_CLASSES:
        if roll < share:
            break
        roll -= share
    return int(round(low * (high / low) ** rng.random()))


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    root = sys.argv[1]
    wanted = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    tops = max(1, round(wanted / 10110))
    rng = random.Random(wanted)
    text = text_corpus(rng)
    noise = rng.randbytes(CORPUS_BYTES)
    stamp = time.time() - 10 * 86400
    counts = {"files": 0, "bytes": 0, "text_bytes": 0}

    def fill(folder, count):
        for i in range(count):
            size = pick_size(rng)
            is_text = rng.random() < TEXT_SHARE
            source = text if is_text else noise
            start = rng.randrange(0, CORPUS_BYTES - size)
            ext = rng.choice(TEXT_EXTS if is_text else RANDOM_EXTS)
            path = os.path.join(folder, f"file{i:03d}{ext}")
            with open(path, "wb") as out:
                out.write(source[start:start + size])
            os.utime(path, (stamp, stamp))
            counts["files"] += 1
            counts["bytes"] += size
            if is_text:
                counts["text_bytes"] += size

    for a in range(tops):
        top = os.path.join(root, f"a{a:02d}")
        os.makedirs(top, exist_ok=True)
        fill(top, 10)
        for b in range(10):
            mid = os.path.join(top, f"b{b:02d}")
            os.mkdir(mid)
            fill(mid, 10)
            for c in range(10):
                leaf = os.path.join(mid, f"c{c:02d}")
                os.mkdir(leaf)
                fill(leaf, 100)
    print(f"{counts['files']} files, {counts['bytes'] / 2**20:.0f} MiB "
          f"({counts['text_bytes'] / 2**20:.0f} MiB text-like)", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
