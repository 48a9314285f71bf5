#!/usr/bin/env python3
"""Checks that the folders of src/ include each other only as src/layers.txt allows, and that the
allowed graph has no cycle. Prints every offending include as FILE:LINE and exits 1; exits 0 when all
is in order."""
import pathlib
import re
import sys

def read_layers(path):
    layers = {}
    for number, line in enumerate(path.read_text().splitlines(), 1):
        line = line.split('#', 1)[0].strip()
        if not line:
            continue
        name, _, deps = line.partition(':')
        name = name.strip()
        if not name or name in layers:
            sys.exit(f"{path}:{number}: a folder named twice or not at all")
        layers[name] = deps.split()
    return layers

def find_cycle(layers):
    state = {}
    def visit(node, trail):
        if state.get(node) == 'done':
            return None
        if state.get(node) == 'open':
            return trail[trail.index(node):] + [node]
        state[node] = 'open'
        for dep in layers.get(node, []):
            cycle = visit(dep, trail + [node])
            if cycle:
                return cycle
        state[node] = 'done'
        return None
    for node in layers:
        cycle = visit(node, [])
        if cycle:
            return cycle
    return None

def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / 'src')
    layers = read_layers(src / 'layers.txt')
    problems = []
    folders = sorted(p.name for p in src.iterdir() if p.is_dir())
    for folder in folders:
        if folder not in layers:
            problems.append(f"{src / folder}: a folder that layers.txt does not place")
    for name, deps in layers.items():
        for dep in deps:
            if dep not in layers:
                problems.append(f"layers.txt: {name} depends on {dep}, which it does not place")
    cycle = find_cycle(layers)
    if cycle:
        problems.append("layers.txt: a cycle: " + " -> ".join(cycle))
    include = re.compile(r'^\s*#\s*include\s*"([^"/]+)/')
    for folder in folders:
        allowed = set(layers.get(folder, [])) | {folder}
        for file in sorted((src / folder).rglob('*')):
            if file.suffix not in ('.h', '.cpp', '.hpp', '.cc'):
                continue
            for number, line in enumerate(file.read_text(errors='replace').splitlines(), 1):
                m = include.match(line)
                if m and m.group(1) in layers and m.group(1) not in allowed:
                    problems.append(f"{file}:{number}: {folder} may not include {m.group(1)} ({line.strip()})")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the folder graph of {src / 'layers.txt'}")
        return 1
    print(f"the {len(folders)} folders of {src} follow {src / 'layers.txt'}")
    return 0

if __name__ == '__main__':
    sys.exit(main())
