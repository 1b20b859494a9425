#!/usr/bin/env python3
"""Checks the include graph between the program's folders against the edges
docs/ARCHITECTURE.md names. Fails on an edge the document does not list, on
any include of app/ from another folder, on the program's code reaching into
the platform layer's or the decoder library's internals, and on a named edge
that no longer exists (so the document stays true). Within platform/qt/ it
does the same for the areas against docs/platform.md, and checks that every
file is in an area, that only the dialogs (and the tests' library) use the
controls, and that nothing of the product includes the tests' headers.

Usage: check_layers.py [ROOT]   (prints the graph; exit status 1 on a fault)
"""
import re
import sys
from pathlib import Path

ROOT = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent)
SYSTEM = ["common", "playlist", "playlist_files", "playback", "equalizer", "settings", "app"]
LIBRARIES = ["platform", "vbmp3"]
# What the program's own code may include from the two libraries below it.
PUBLIC = {
    "platform": re.compile(r"^platform/(win32|win_[a-z]+|paths|textfile)\.h$"),
    "vbmp3": re.compile(r"^vbmp3/vbmp3\.h$"),
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
EDGE = re.compile(r"^\|\s*`([a-z_0-9]+)`\s*\|\s*`([a-z_0-9]+)`\s*\|", re.M)


def folder_edges():
    edges, faults = {}, []
    for folder in SYSTEM + LIBRARIES:
        for source in sorted((ROOT / folder).rglob("*")):
            if source.suffix not in (".h", ".cpp"):
                continue
            name = source.relative_to(ROOT).as_posix()
            for included in INCLUDE.findall(source.read_text(encoding="latin-1")):
                target = included.split("/", 1)[0]
                if "/" not in included or target == folder or not (ROOT / target).is_dir():
                    continue
                if folder in SYSTEM and target in PUBLIC and not PUBLIC[target].match(included):
                    faults.append(f"{name}: includes {included}, an internal header")
                edges.setdefault((folder, target), []).append(name)
    return edges, faults


def named_edges():
    text = (ROOT / "docs" / "ARCHITECTURE.md").read_text(encoding="utf-8")
    section = text.split("## Layers", 1)[-1].split("\n## ", 1)[0]
    return set(EDGE.findall(section))


def cycles(edges):
    graph = {}
    for source, target in edges:
        graph.setdefault(source, set()).add(target)
    found = set()

    def walk(path):
        for target in sorted(graph.get(path[-1], ())):
            if target == path[0]:
                start = path.index(min(path))
                found.add(tuple(path[start:] + path[:start]))
            elif target not in path and target > path[0]:
                walk(path + [target])

    for node in sorted(graph):
        walk([node])
    return sorted(found)


QT = ROOT / "platform" / "qt"
TESTING_HEADER = re.compile(r"^platform/(testing|testing_dialogs|testing_drop)\.h$")


def qt_area_edges():
    edges, faults = {}, []
    for source in sorted(QT.rglob("*")):
        if source.suffix not in (".h", ".cpp"):
            continue
        name = source.relative_to(ROOT).as_posix()
        parts = source.relative_to(QT).parts
        if len(parts) != 2:
            faults.append(f"{name}: not in an area of platform/qt/")
            continue
        for included in INCLUDE.findall(source.read_text(encoding="latin-1")):
            if included.startswith("platform/qt/"):
                target = included.split("/")[2]
                if target != parts[0]:
                    edges.setdefault((parts[0], target), []).append(name)
    return edges, faults


def product_faults():
    faults = []
    product = [path for folder in SYSTEM + LIBRARIES + ["codepage"] for path in (ROOT / folder).rglob("*")]
    for source in sorted(product):
        name = source.relative_to(ROOT).as_posix()
        if source.suffix not in (".h", ".cpp") or name.startswith("platform/qt/testing/") or TESTING_HEADER.match(name):
            continue
        for included in INCLUDE.findall(source.read_text(encoding="latin-1")):
            if included.startswith("platform/qt/controls/") and not name.startswith("platform/qt/controls/"):
                faults.append(f"{name}: includes {included}; only the dialogs use the controls")
            if TESTING_HEADER.match(included):
                faults.append(f"{name}: includes {included}, which only the tests may")
    return faults


def named_area_edges():
    text = (ROOT / "docs" / "platform.md").read_text(encoding="utf-8")
    section = text.split("## The areas of `platform/qt/`", 1)[-1].split("\n## ", 1)[0]
    return set(EDGE.findall(section))


def area_faults():
    edges, faults = qt_area_edges()
    named = named_area_edges()
    for (source, target), files in sorted(edges.items()):
        if (source, target) not in named:
            faults.append(f"area edge {source} -> {target} ({files[0]}) is not named in docs/platform.md")
    for source, target in sorted(named - set(edges)):
        faults.append(f"docs/platform.md names {source} -> {target}, which no include makes")
    for circle in cycles(edges):
        faults.append("circle between areas: " + " -> ".join(circle + (circle[0],)))
    print(f"{len(edges)} edges between the areas of platform/qt/")
    return faults + product_faults()


def main():
    edges, faults = folder_edges()
    named = named_edges()
    for (source, target), files in sorted(edges.items()):
        if target == "app":
            faults.append(f"{files[0]}: includes app/, which nothing below the top may include")
        elif (source, target) not in named:
            faults.append(f"edge {source} -> {target} ({files[0]}) is not named in docs/ARCHITECTURE.md")
    for source, target in sorted(named - set(edges)):
        faults.append(f"docs/ARCHITECTURE.md names {source} -> {target}, which no include makes")
    print(f"{len(edges)} edges between folders")
    for circle in cycles(edges):
        print("circle: " + " -> ".join(circle + (circle[0],)))
    faults += area_faults()
    for fault in faults:
        print("FAULT: " + fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
