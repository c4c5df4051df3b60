#!/usr/bin/env bash
# Checks that the folders of src are floors: a file includes the headers of its own floor and
# of the floors below only, and each outside library's header is included only in the folder
# that wraps it. Names every include that breaks the plan and fails.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
git ls-files 'src/*.cpp' 'src/*.h' | python3 -c '
import glob, re, sys

# From the ground up; a floor may use every floor before it.
# A folder holds core files (the core library) and window files (the GUI library, listed
# for gestione_gui in its sources.cmake): a window file may use every core file, whatever its
# floor, since the GUI library stands on the whole core library.
floors = ["base", "files", "text", "data", "secrets", "sheets", "ui", "backup", "oldarchive",
          "pricelists", "masterdata", "password", "orders", "mail", "sync", "search", "stats",
          "app", "tools"]
# An outside library and the folder whose files alone include it.
owners = {
    # The engine: its file and statements, the text functions it calls, and the online copy.
    "sqlite3.h": ("data", "text", "backup"), "sqlcipher/sqlite3.h": ("data", "text", "backup"),
    "mdbtools.h": ("tools/jetread",),
    "libpq-fe.h": ("sync",), "curl/curl.h": ("mail",), "xlsxwriter.h": ("sheets",),
    "freexl.h": ("pricelists", "tools/leggixls"), "orcus/": ("pricelists",),
    "qt6keychain/": ("secrets",),
}
rank = {f: i for i, f in enumerate(floors)}
gui = set()
for cm in glob.glob("src/**/sources.cmake", recursive=True):
    for block in re.findall(r"target_sources\(gestione_gui PRIVATE\n(.*?)\)", open(cm).read(), re.S):
        gui.update("src/" + p.strip()[:-4] for p in block.split() if p.endswith(".cpp"))
def is_gui(path):
    return path.rsplit(".", 1)[0] in gui
include = re.compile(r"^\s*#\s*include\s*([<\"])([^>\"]+)[>\"]")
bad = []
for path in sys.stdin.read().split():
    parts = path.split("/")
    floor = parts[1]
    if floor not in rank:
        bad.append(f"{path}: the folder {floor} is no floor of scripts/floors.sh")
        continue
    for n, line in enumerate(open(path, encoding="utf-8"), 1):
        m = include.match(line)
        if not m:
            continue
        name = m.group(2)
        for lib, owner in owners.items():
            if name == lib or (lib.endswith("/") and name.startswith(lib)):
                if not any(path.startswith("src/" + o + "/") for o in owner):
                    where = " and ".join("src/" + o for o in owner)
                    bad.append(f"{path}:{n}: {name} belongs to {where} only")
        if m.group(1) == "\"" and "/" in name:
            target = name.split("/")[0]
            if is_gui(path) and not is_gui("src/" + name):
                continue
            if target in rank and rank[target] > rank[floor]:
                bad.append(f"{path}:{n}: {name} is on a floor above {floor}")
if bad:
    print("includes that break the floors:")
    print("\n".join("  " + b for b in bad))
    sys.exit(1)
print(f"floors: {len(floors)} floors, every include runs downward")
'
