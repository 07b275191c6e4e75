#!/usr/bin/env python3
"""Helpers of installer_test.sh that read files Wine and the build leave:

  regdiff BEFORE AFTER     every key and value of a Wine registry file
                           (system.reg, user.reg) that was added, changed or
                           removed; exits 1 when there is any
  programs SYSTEM_REG      the installed-programs entries named Marrowbox, one
                           line each: key|DisplayVersion|Publisher|Size|
                           EstimatedSize|UninstallString
  dll FILE                 "<x64|x86> <file version>" of a DLL
  setversion IN OUT A.B.C.D  a copy of a DLL whose version resource says
                           A.B.C.D: the stand-in for an earlier release

regdiff leaves out the hardware and session state under System\\ and the keys
Wine rewrites whenever a program starts (they change without any install), and
the empty keys Windows Installer keeps for its own bookkeeping."""
import struct
import sys

WINE_REFRESHES = (
    "system\\",
    "software\\wine\\",
    "software\\microsoft\\windows nt\\currentversion\\networkcards",
    # A fresh identity per prefix start, whatever was installed.
    "software\\microsoft\\cryptography",
)
INSTALLER_BOOKKEEPING = (
    "software\\classes\\installer\\",
    "software\\microsoft\\windows\\currentversion\\installer\\",
)
UNINSTALL = "software\\microsoft\\windows\\currentversion\\uninstall\\"


def parse_registry(path):
    """{key: {value name: data}}.  Wine writes a key only when it has values
    or no subkeys, so every ancestor of a written key exists too."""
    keys = {}
    values = None
    pending = ""
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for raw in f:
            line = pending + raw.rstrip("\n").lstrip() if pending else raw.rstrip("\n")
            pending = ""
            if line.startswith("["):
                name = line[1:line.rindex("]")].replace("\\\\", "\\")
                values = keys.setdefault(name, {})
                parts = name.split("\\")
                for n in range(1, len(parts)):
                    keys.setdefault("\\".join(parts[:n]), {})
            elif values is not None and line.endswith("\\"):
                pending = line[:-1]
            elif values is not None and line.startswith(("@", '"')):
                name, data = split_value(line)
                values[name] = data
    return keys


def split_value(line):
    """'"name"=data' or '@=data' into (name, data); names may hold \\" and =."""
    if line.startswith("@="):
        return "@", line[2:]
    i = 1
    while line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    return line[1:i], line[i + 2:]


def regdiff(before_path, after_path):
    before, after = parse_registry(before_path), parse_registry(after_path)
    differences = []
    for key in sorted(set(before) | set(after)):
        lower = key.lower()
        if any(lower.startswith(p) or lower == p.rstrip("\\") for p in WINE_REFRESHES):
            continue
        if key not in after:
            differences.append(f"removed key [{key}] {before[key]}")
        elif key not in before:
            bookkeeping = any(lower.startswith(p) or lower == p.rstrip("\\") for p in INSTALLER_BOOKKEEPING)
            if after[key] or not bookkeeping:
                differences.append(f"added key [{key}] {after[key]}")
        else:
            for name in sorted(set(before[key]) | set(after[key])):
                old, new = before[key].get(name), after[key].get(name)
                if old != new:
                    differences.append(f"[{key}] {name}: {old} -> {new}")
    for line in differences:
        print(line)
    return 1 if differences else 0


def unquote(data):
    """A REG_SZ or REG_EXPAND_SZ (str(2):"...") value as text."""
    if data is None:
        return ""
    if data.startswith("str(2):"):
        data = data[7:]
    if data.startswith("dword:"):
        return str(int(data[6:], 16))
    return data.strip('"').replace("\\\\", "\\")


def programs(system_reg):
    for key, values in sorted(parse_registry(system_reg).items()):
        if key.lower().startswith(UNINSTALL) and unquote(values.get("DisplayName")) == "Marrowbox":
            fields = ["DisplayVersion", "Publisher", "Size", "EstimatedSize", "UninstallString"]
            print("|".join([key[len(UNINSTALL):]] + [unquote(values.get(f)) for f in fields]))
    return 0


def fixed_version_offset(data, path):
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        sys.exit(f"{path}: no version resource")
    return at + 8


def dll(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine = {0x8664: "x64", 0x14C: "x86"}.get(struct.unpack_from("<H", data, pe + 4)[0], "other")
    high, low = struct.unpack_from("<II", data, fixed_version_offset(data, path))
    print(machine, f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}")
    return 0


def setversion(source, target, version):
    a, b, c, d = (int(p) for p in version.split("."))
    data = bytearray(open(source, "rb").read())
    # File version, then product version.
    struct.pack_into("<IIII", data, fixed_version_offset(data, source), a << 16 | b, c << 16 | d, a << 16 | b,
                     c << 16 | d)
    open(target, "wb").write(data)
    return 0


if __name__ == "__main__":
    commands = {"regdiff": regdiff, "programs": programs, "dll": dll, "setversion": setversion}
    sys.exit(commands[sys.argv[1]](*sys.argv[2:]))
