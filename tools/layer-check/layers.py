#!/usr/bin/env python3
"""Checks the source tree's structure: a layer includes only from the layers below it, operating
system conditionals stay in src/platform and src/vst, and no source file grows past 700 lines.
Prints each violation and exits 1 when there is one."""
import os
import re
import sys

# Each layer and the layers it may include from.
ALLOWED = {
    "vst": set(),
    "platform": set(),
    "runtime": {"platform"},
    "toolkit": {"runtime", "platform"},
    "plugin": {"vst", "platform"},
    "lv2": {"plugin", "vst", "platform"},
    "editor": {"plugin", "toolkit", "runtime", "platform", "vst"},
    "entries": {"editor", "lv2", "plugin", "toolkit", "runtime", "platform", "vst"},
    "host": {"vst", "platform"},
}
SYSTEM_LAYERS = {"platform", "vst"}
MAX_LINES = 700
INCLUDE = re.compile(r'\s*#\s*include\s*"([A-Za-z_]+)/')
OS_CONDITIONAL = re.compile(r"\s*#\s*(if|ifdef|ifndef|elif).*\b(_WIN32|_WIN64|__linux__|__APPLE__)\b")


def check(root):
    problems = []
    src = os.path.join(root, "src")
    for layer in sorted(os.listdir(src)):
        folder = os.path.join(src, layer)
        if not os.path.isdir(folder):
            continue
        if layer not in ALLOWED:
            problems.append(f"src/{layer}: a folder that is no layer of the map")
            continue
        for path, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                file = os.path.join(path, name)
                shown = os.path.relpath(file, root)
                with open(file, encoding="utf-8", errors="replace") as f:
                    lines = f.readlines()
                if len(lines) > MAX_LINES:
                    problems.append(f"{shown}: {len(lines)} lines (at most {MAX_LINES})")
                for number, line in enumerate(lines, 1):
                    m = INCLUDE.match(line)
                    if m and m.group(1) in ALLOWED and m.group(1) != layer \
                            and m.group(1) not in ALLOWED[layer]:
                        problems.append(f"{shown}:{number}: {layer} includes {m.group(1)}")
                    if layer not in SYSTEM_LAYERS and OS_CONDITIONAL.match(line):
                        problems.append(f"{shown}:{number}: system conditional outside "
                                        "src/platform and src/vst")
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    problems = check(os.path.abspath(root))
    for p in problems:
        print(p)
    print(f"layer-check: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
