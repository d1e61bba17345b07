#!/usr/bin/env python3
"""The layers of setup.exe's code point one way:

    common/  <-  imaging/  <-  installer/  <-  app/

A file may include headers of its own layer and of the layers below it,
never of one above. Prints the include graph between the folders and fails
(exit 1) naming each include that points up.

    scripts/check_layers.py            check, and print the graph
"""

import re
import sys
from collections import Counter
from pathlib import Path

LAYERS = ["common", "imaging", "installer", "app"]  # bottom first
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.MULTILINE)


def includes(root: Path):
    """(including folder, included folder, file, line) for every project include."""
    for layer in LAYERS:
        for path in sorted((root / layer).glob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            text = path.read_text(encoding="utf-8", errors="replace")
            for match in INCLUDE.finditer(text):
                line = text.count("\n", 0, match.start()) + 1
                yield layer, match.group(1), path.relative_to(root), line


def main() -> int:
    root = Path(__file__).resolve().parents[1]
    graph = Counter()
    upward = []
    for layer, target, path, line in includes(root):
        if target not in LAYERS:
            continue
        graph[(layer, target)] += 1
        if LAYERS.index(target) > LAYERS.index(layer):
            upward.append(f"{path}:{line}: {layer}/ includes {target}/, a layer above it")
    print("includes between folders (files' include lines):")
    for (layer, target), count in sorted(graph.items(), key=lambda item: (
            -LAYERS.index(item[0][0]), -LAYERS.index(item[0][1]))):
        if layer != target:
            print(f"  {layer:9} -> {target:9} {count}")
    for problem in upward:
        print(problem)
    print("layers: " + ("ok" if not upward else f"{len(upward)} include(s) point up"))
    return 1 if upward else 0


if __name__ == "__main__":
    sys.exit(main())
