#!/usr/bin/env bash
# Checks that the folders of src are floors: a file includes the headers of its own floor and
# of the floors below only, and each outside library's header is included only in the folder
# that wraps it. Names every include that breaks the plan and fails.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
git ls-files 'src/*.cpp' 'src/*.h' | python3 -c '
import re, sys

# From the ground up; a floor may use every floor before it.
floors = ["data", "secrets", "sheets", "ui", "mail", "pricelists", "masterdata", "orders",
          "sync", "search", "stats", "app"]
# An outside library and the folder whose files alone include it.
owners = {
    "sqlite3.h": "data", "sqlcipher/sqlite3.h": "data", "mdbtools.h": "data/jet",
    "libpq-fe.h": "sync", "curl/curl.h": "mail", "xlsxwriter.h": "sheets",
    "freexl.h": "pricelists", "orcus/": "pricelists", "qt6keychain/": "secrets",
}
rank = {f: i for i, f in enumerate(floors)}
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
                if not (path + "/").startswith("src/" + owner + "/"):
                    bad.append(f"{path}:{n}: {name} belongs to src/{owner} only")
        if m.group(1) == "\"" and "/" in name:
            target = name.split("/")[0]
            if target in rank and rank[target] > rank[floor]:
                bad.append(f"{path}:{n}: {name} is on a floor above {floor}")
if bad:
    print("includes that break the floors:")
    print("\n".join("  " + b for b in bad))
    sys.exit(1)
print(f"floors: {len(floors)} floors, every include runs downward")
'
