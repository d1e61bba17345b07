#!/usr/bin/env python3
"""One-line count of the tests a ctest run ran, from its LastTest.log:
GoogleTest cases under Wine (unit), Python end-to-end cases (e2e) and the host
sanitizer build's unit tests (host), and the wall time; then any crash of
Wine's own processes that an end-to-end run reported.

    test_summary.py LastTest.log WALL_SECONDS TEST_SECONDS
"""
import re
import sys


def main() -> int:
    log = open(sys.argv[1], encoding="utf-8", errors="replace").read()
    seconds, test_seconds = int(sys.argv[2]), int(sys.argv[3])
    unit = e2e = host = 0
    # Each test's output sits between its "Command:" header and the "Test Passed/Failed" footer.
    for block in re.split(r"\n\d+/\d+ Testing: ", log)[1:]:
        name = block.split("\n", 1)[0].strip()
        ran = [int(n) for n in re.findall(r"^\[==========\] (\d+) tests? from \d+ test (?:suites?|cases?) ran", block, re.M)]
        py = [int(n) for n in re.findall(r"^Ran (\d+) tests? in ", block, re.M)]
        if name == "host_sanitizers":
            host += sum(ran)
        elif py:
            e2e += sum(py)
        else:
            unit += sum(ran)
    minutes, secs = divmod(seconds, 60)
    print(f"tests: {unit} unit, {e2e} end-to-end, {host} host; wall time {minutes} min {secs:02d} s "
          f"(set-up and build included; the tests {test_seconds} s)")
    # Crashes of Wine's own processes (desktop, services) that end-to-end runs saw:
    # Wine's, not the program's, so they fail no test, but they are listed.
    wine_crashes = re.findall(r"^wine-system: .*$", log, re.M)
    if wine_crashes:
        print(f"{len(wine_crashes)} crash line(s) of Wine's own processes:")
        for line in wine_crashes:
            print(f"  {line}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
