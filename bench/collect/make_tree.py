#!/usr/bin/env python3
"""A tree for the collection benchmarks: TOPS top folders of SUBS folders of FILES files each, with mixed
extensions (some in the sort set, some in other cases, some not images), plus a hidden file in every
folder and a hidden folder of 20 files in every top folder.
usage: make_tree.py ROOT [TOPS SUBS FILES]   (default 40 100 49: about 200,000 files in 4,000 folders;
100 200 49 makes 1,000,000 files, hidden ones included, in 20,000 folders)"""
import os
import sys

root = sys.argv[1]
tops, subs, files = (int(a) for a in sys.argv[2:5]) if len(sys.argv) >= 5 else (40, 100, 49)
extensions = ["jpg", "JPG", "png", "tif", "jpeg", "gif", "pdf", "txt", "psd", "Jpg", "PNG", "mov", "xmp", "TIFF"]
count = 0
for top in range(tops):
    for sub in range(subs):
        folder = os.path.join(root, f"set{top:02d}", f"roll{sub:03d}")
        os.makedirs(folder, exist_ok=True)
        for i in range(files):
            name = f"IMG_{top:02d}{sub:03d}{i:02d}.{extensions[(i + sub) % len(extensions)]}"
            os.close(os.open(os.path.join(folder, name), os.O_WRONLY | os.O_CREAT, 0o644))
            count += 1
        os.close(os.open(os.path.join(folder, ".DS_Store"), os.O_WRONLY | os.O_CREAT, 0o644))
        count += 1
    hidden = os.path.join(root, f"set{top:02d}", ".thumbnails")
    os.makedirs(hidden, exist_ok=True)
    for i in range(20):
        os.close(os.open(os.path.join(hidden, f"t{i}.jpg"), os.O_WRONLY | os.O_CREAT, 0o644))
print(f"{count} files in {tops * subs + 2 * tops} folders under {root}")
