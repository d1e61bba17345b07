#!/usr/bin/env python3
"""Fetches a Debian source package whole (upstream tarball plus Debian's patches)
and unpacks it with dpkg-source, so that the libraries setup.exe links carry
Debian's security fixes.

    fetch_debian_source.py PACKAGE DEST

Tries the newest release that apt lists first. A mirror often lists a newer
release in its index before its files are there (apt answers `404 Not Found`);
then the next older release is used, and one line says so:
`setup: PACKAGE NEWEST is not on the mirror; using OLDER` (apt's own 404 lines
are not shown). Any other failure (no connection, a checksum that does not
match, dpkg-source failing) is printed in full as a warning before an older
release is tried. Every downloaded file is checked against the SHA-256 sum that
apt's (signed) source index gives. Prints one line naming the version and patch
level it unpacked; DEST/.debian-source records the same. Exit status 1, with a
clear message, when no release can be had.
"""

import functools
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path


def log(text: str):
    print(f"setup: {text}", file=sys.stderr, flush=True)


def releases(package: str):
    """[(version, {file name: sha256})] from apt's source index, newest first."""
    out = subprocess.run(["apt-cache", "showsrc", package], capture_output=True, text=True)
    found = {}
    for stanza in out.stdout.split("\n\n"):
        fields, key = {}, None
        for line in stanza.splitlines():
            if line.startswith((" ", "\t")) and key:
                fields[key].append(line.strip())
            elif ":" in line:
                key, value = line.split(":", 1)
                fields[key] = [value.strip()] if value.strip() else []
        if fields.get("Package", [""])[0] != package or "Version" not in fields:
            continue
        sums = {}
        for entry in fields.get("Checksums-Sha256", []):
            parts = entry.split()
            if len(parts) == 3:
                sums[parts[2]] = parts[0]
        if sums:
            found[fields["Version"][0]] = sums

    def compare(a, b):
        if a == b:
            return 0
        newer = subprocess.run(["dpkg", "--compare-versions", a, "gt", b]).returncode == 0
        return -1 if newer else 1
    return [(v, found[v]) for v in sorted(found, key=functools.cmp_to_key(compare))]


def sha256(path: Path) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


# Why a release was not unpacked: its files are not on the mirror (apt's
# 404 Not Found, and nothing else went wrong), or anything else.
NOT_ON_MIRROR = "not on the mirror"


def only_not_found(stderr: str) -> bool:
    """Whether apt's errors say nothing but that files are missing on the
    mirror: every `E: Failed to fetch URL` line ends in 404 Not Found, and the
    only other error is apt's closing `E: Failed to fetch some archives.`."""
    errors = [line[2:].strip() for line in stderr.splitlines() if line.startswith("E:")]
    fetches = [e for e in errors if e.startswith("Failed to fetch ") and e != "Failed to fetch some archives."]
    others = [e for e in errors if e not in fetches and e != "Failed to fetch some archives."]
    return bool(fetches) and not others and all(" 404 " in f and "Not Found" in f for f in fetches)


def try_release(package: str, version: str, sums: dict, dest: Path) -> str:
    """Downloads, checks and unpacks one release into dest; returns '',
    NOT_ON_MIRROR, or why else it failed."""
    work = Path(tempfile.mkdtemp(prefix=f"src-{package}-", dir=dest.parent))
    try:
        os.chmod(work, 0o777)  # apt's download user may write here
        result = subprocess.run(["apt-get", "source", "--download-only", "-q", f"{package}={version}"],
                                cwd=work, capture_output=True, text=True)
        missing = [name for name in sums if not (work / name).is_file()]
        if result.returncode != 0 or missing:
            if missing and only_not_found(result.stderr):
                return NOT_ON_MIRROR
            errors = [line for line in result.stderr.splitlines() if line.startswith("E:")]
            return f"could not fetch {', '.join(missing) or 'its files'}" + \
                   (f" ({errors[0][3:].strip()})" if errors else "")
        for name, expected in sums.items():
            actual = sha256(work / name)
            if actual != expected:
                return f"{name} has SHA-256 {actual}, apt's index says {expected}"
        dsc = next(name for name in sums if name.endswith(".dsc"))
        unpacked = work / "unpacked"
        result = subprocess.run(["dpkg-source", "-x", dsc, str(unpacked)], cwd=work,
                                capture_output=True, text=True)
        if result.returncode != 0:
            return f"dpkg-source -x failed: {result.stderr.strip()[-400:]}"
        series = unpacked / "debian" / "patches" / "series"
        patches = 0
        if series.is_file():
            patches = sum(1 for line in series.read_text().splitlines()
                          if line.strip() and not line.lstrip().startswith("#"))
        note = f"{package} {version}: upstream tarball with {patches} Debian patches applied"
        (unpacked / ".debian-source").write_text(note + "\n")
        if dest.exists():
            shutil.rmtree(dest)
        unpacked.rename(dest)
        return ""
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    package, dest = sys.argv[1], Path(sys.argv[2]).resolve()
    dest.parent.mkdir(parents=True, exist_ok=True)
    listed = releases(package)
    if not listed:
        log(f"error: apt lists no source release of {package} (is a deb-src entry enabled?)")
        return 1
    absent, failed = [], []  # versions not on the mirror; versions that failed otherwise
    for version, sums in listed:
        if failed:
            log(f"warning: {package} {failed[-1]} cannot be had; trying the older release {version}")
        why = try_release(package, version, sums, dest)
        if not why:
            if absent:
                also = f" (nor {', '.join(absent[1:])})" if len(absent) > 1 else ""
                log(f"{package} {absent[0]} is not on the mirror{also}; using {version}")
            log((dest / ".debian-source").read_text().strip())
            return 0
        if why == NOT_ON_MIRROR:
            absent.append(version)
        else:
            log(f"{package} {version}: {why}")
            failed.append(version)
    notes = ([f"not on the mirror: {', '.join(absent)}"] if absent else []) + \
            ([f"failed: {', '.join(failed)}"] if failed else [])
    log(f"error: no source release of {package} could be fetched and checked "
        f"({'; '.join(notes)})")
    return 1


if __name__ == "__main__":
    sys.exit(main())
