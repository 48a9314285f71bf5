#!/usr/bin/env python3
"""A tree of about 200,000 files in 4,000 folders for the collection benchmark: 40 top folders of 100
folders of 50 files each, with mixed extensions (some in the sort set, some in other cases, some not
images), a hidden file in every folder and a hidden folder in every top folder."""
import os
import sys

root = sys.argv[1]
extensions = ["jpg", "JPG", "png", "tif", "jpeg", "gif", "pdf", "txt", "psd", "Jpg", "PNG", "mov", "xmp", "TIFF"]
count = 0
for top in range(40):
    for sub in range(100):
        folder = os.path.join(root, f"set{top:02d}", f"roll{sub:03d}")
        os.makedirs(folder, exist_ok=True)
        for i in range(49):
            name = f"IMG_{top:02d}{sub:03d}{i:02d}.{extensions[(i + sub) % len(extensions)]}"
            open(os.path.join(folder, name), "wb").close()
            count += 1
        open(os.path.join(folder, ".DS_Store"), "wb").close()
        count += 1
    hidden = os.path.join(root, f"set{top:02d}", ".thumbnails")
    os.makedirs(hidden, exist_ok=True)
    for i in range(20):
        open(os.path.join(hidden, f"t{i}.jpg"), "wb").close()
print(f"{count} files in {40 * 100 + 40 + 40} folders under {root}")
