#!/usr/bin/env python3
"""Opens the operators' package made by tools/release.sh and checks what an operator relies on.

    tests/release_test.py build/release/Daltrix-<version>.zip
"""
import base64, hashlib, pathlib, re, struct, sys, zipfile

TOP = pathlib.Path(__file__).resolve().parent.parent
MACHINES = {"Daltrix-x86.exe": 0x014C, "Daltrix-x64.exe": 0x8664}


def entries(z, version):
    names = sorted(z.namelist())
    expected = sorted([*MACHINES, "handbok.html", "SHA256SUMS"])
    return names == expected and pathlib.Path(z.filename).name == f"Daltrix-{version}.zip", f"{z.filename}: {names}"


def sums(z, version):
    lines = [re.fullmatch(r"([0-9a-f]{64})  (\S+)", l) for l in z.read("SHA256SUMS").decode("ascii").splitlines()]
    listed = {m.group(2): m.group(1) for m in lines if m}
    actual = {n: hashlib.sha256(z.read(n)).hexdigest() for n in z.namelist() if n != "SHA256SUMS"}
    wrong = sorted(n for n in listed.keys() | actual.keys() if listed.get(n) != actual.get(n))
    return all(lines) and len(listed) == len(lines) and not wrong, f"no sum or a wrong one for {wrong}, or a bad line"


def machines(z, version):
    found = {}
    for name in MACHINES:
        exe = z.read(name)
        (pe,) = struct.unpack_from("<I", exe, 0x3C)
        found[name] = exe[:2] == b"MZ" and exe[pe:pe + 4] == b"PE\0\0" and struct.unpack_from("<H", exe, pe + 4)[0]
    return found == MACHINES, {n: hex(m) for n, m in found.items()}


def handbook(z, version):
    page = z.read("handbok.html").decode("utf-8")
    pictures = re.findall(r"!\[[^\]]*\]\(([^)\s]+)", (TOP / "docs/handbok.md").read_text(encoding="utf-8"))
    wanted = sorted(base64.b64encode((TOP / "docs" / p).read_bytes()).decode() for p in pictures)
    embedded = sorted(re.findall(r'<img [^>]*src="data:image/png;base64,([^"]*)"', page))
    external = re.findall(r'\b(?:src|srcset|data)="(?!data:)[^"]*"|<link\b[^>]*>|url\((?![\'"]?data:)[^)]*\)', page)
    missing = set(re.findall(r'href="#([^"]*)"', page)) - set(re.findall(r' id="([^"]*)"', page))
    charset = re.search(r'<head>\s*<meta charset="utf-8">', page, re.I)
    return (pictures and embedded == wanted and not external and charset and not missing,
            f"{len(embedded)} pictures embedded of {len(pictures)}, external {external}, "
            f"charset declared: {bool(charset)}, links without a section {missing}")


def main():
    version = re.search(r"project\(Daltrix VERSION ([0-9.]+)", (TOP / "CMakeLists.txt").read_text()).group(1)
    checks = [entries, sums, machines, handbook]
    failed = 0
    with zipfile.ZipFile(sys.argv[1]) as z:
        for check in checks:
            try:
                ok, detail = check(z, version)
            except Exception as e:  # a missing entry or a cut file fails its check, not the run
                ok, detail = False, repr(e)
            failed += not ok
            print(f"{'ok  ' if ok else 'FAIL'} {check.__name__}" + ("" if ok else f": {detail}"))
    total = len(checks)
    print(f"{100 * (total - failed) // total}% tests passed, {failed} tests failed out of {total} (release package)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
