#!/usr/bin/env python3
"""Holds every #include of src/ and tools/ against the include rules of docs/ARCHITECTURE.md.

The rules are the fenced block under the heading "### Include rules": one line a folder,
"FOLDER: FOLDER FOLDER ...", naming the folders whose headers it may include (its own always). A file
belongs to the longest folder of the rules that holds it. An include that resolves into another folder not
named, a Qt header outside the folders after "qt:", a folder the rules do not know, or an include that
resolves nowhere is reported as FILE:LINE, and the exit status is 1.
usage: tools/check-layers.py [REPO]
"""
import os
import re
import subprocess
import sys

INCLUDE = re.compile(r'\s*#\s*include\s+"([^"]+)"')
QT_INCLUDE = re.compile(r"\s*#\s*include\s+<Q")


def read_rules(doc):
    text = open(doc, encoding="utf-8").read()
    m = re.search(r"^### Include rules\n.*?^```\n(.*?)^```", text, re.S | re.M)
    if not m:
        sys.exit(f"{doc}: no fenced block under '### Include rules'")
    rules = {}
    for line in m.group(1).splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        folder, _, allowed = line.partition(":")
        rules[folder.strip()] = set(allowed.split())
    return rules


def folder_of(path, rules):
    best = None
    for folder in rules:
        if (path == folder or path.startswith(folder + "/")) and (best is None or len(folder) > len(best)):
            best = folder
    return best


def resolve(repo, source, name):
    """The repository path an include names: beside the file, then under src/, tools/ or the build's
    generated headers (res/version.h)."""
    for base in (os.path.dirname(source), "src", "tools"):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.exists(os.path.join(repo, candidate)):
            return candidate
    if name == "res/version.h":
        return "src/res/version.h.in"
    return None


def main():
    repo = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    rules = read_rules(os.path.join(repo, "docs", "ARCHITECTURE.md"))
    qt = rules.pop("qt", set())
    files = subprocess.check_output(["git", "-C", repo, "ls-files", "src", "tools"], text=True).split()
    faults = []
    for source in files:
        if not source.endswith((".cpp", ".h")):
            continue
        own = folder_of(source, rules)
        if own is None:
            faults.append(f"{source}: in no folder of the include rules")
            continue
        with open(os.path.join(repo, source), encoding="utf-8", errors="replace") as f:
            for n, line in enumerate(f, 1):
                if QT_INCLUDE.match(line) and own not in qt:
                    faults.append(f"{source}:{n}: {own} may not include Qt")
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = resolve(repo, source, m.group(1))
                if target is None:
                    faults.append(f"{source}:{n}: \"{m.group(1)}\" is no file of the repository")
                    continue
                theirs = folder_of(target, rules)
                if theirs != own and theirs not in rules[own]:
                    faults.append(f"{source}:{n}: {own} may not include {theirs} (\"{m.group(1)}\")")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the rules of docs/ARCHITECTURE.md", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
