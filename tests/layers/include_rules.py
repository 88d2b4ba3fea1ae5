#!/usr/bin/env python3
"""Checks the include rules of the layering over the sources.

Each folder of src/ is a layer and may include only its own headers and those of the layers
below it; each C library's header is included by its one module only. Prints every include
that crosses a forbidden edge, naming the file and the include, and exits 1 when there is one.

usage: include_rules.py SRC_DIR
"""
import pathlib
import re
import sys

# What each layer may include besides itself.
BELOW = {
    "base": set(),
    "scan": {"base"},
    "report": {"scan", "base"},
    "app": {"scan", "base"},
    "engine": {"base", "scan", "engine/sqlite", "engine/pg", "engine/dbf", "engine/csv"},
    "engine/sqlite": {"engine", "base", "scan"},
    "engine/pg": {"engine", "base", "scan"},
    "engine/dbf": {"engine", "base", "scan"},
    "engine/csv": {"engine", "base", "scan"},
    "register": {"engine", "scan", "base"},
    "run": {"app", "report", "register", "scan", "base"},
    "commands": {"run", "app", "report", "register", "engine", "scan", "base"},
}
EVERYTHING_BUT_FRONT_ENDS = set(BELOW)
BELOW["cli"] = EVERYTHING_BUT_FRONT_ENDS
BELOW["gui"] = EVERYTHING_BUT_FRONT_ENDS

# System headers that only one layer may include.
OWNED_HEADERS = [
    (re.compile(r"^sqlite3\.h$"), "engine/sqlite"),
    (re.compile(r"^libpq-fe\.h$"), "engine/pg"),
    (re.compile(r"^shapefil\.h$"), "engine/dbf"),
    (re.compile(r"^SimpleIni\.h$"), "app"),
    (re.compile(r"^Q[A-Za-z]+$|^Qt[A-Za-z]+/"), "gui"),
]

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(path: pathlib.PurePosixPath) -> str:
    parts = path.parts[:-1]
    if len(parts) >= 2 and parts[0] == "engine":
        return "engine/" + parts[1]
    return parts[0] if parts else ""


def main() -> int:
    src = pathlib.Path(sys.argv[1])
    faults = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in (".h", ".cpp"):
            continue
        rel = pathlib.PurePosixPath(file.relative_to(src).as_posix())
        layer = layer_of(rel)
        if layer not in BELOW:
            faults.append(f"{rel}: the folder {layer or '.'} is no layer of the build")
            continue
        for number, line in enumerate(file.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            kind, name = match.groups()
            where = f"{rel}:{number}: #include {kind}{name}{'>' if kind == '<' else kind}"
            if kind == '"':
                target = layer_of(pathlib.PurePosixPath(name))
                if "/" not in name:
                    faults.append(f"{where}: name the folder of the header")
                elif target != layer and target not in BELOW[layer]:
                    faults.append(f"{where}: {layer} may not use {target}")
            else:
                for pattern, owner in OWNED_HEADERS:
                    if pattern.search(name) and layer != owner:
                        faults.append(f"{where}: only {owner} includes this header")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
