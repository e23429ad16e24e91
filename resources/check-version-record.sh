#!/usr/bin/env bash
# Configures tessaro.rc.in with the version and description that the top-level
# CMakeLists.txt gives the project, compiles it with the mingw-w64 resource compiler, and
# reads the compiled .res back: the icon group, the fixed version numbers, the Japanese
# string table and the translation entry. One line per check, then "N passed, M failed".
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
windres="${WINDRES:-x86_64-w64-mingw32-windres}"
command -v "$windres" >/dev/null || { echo "check-version-record.sh: $windres is missing (apt-get install binutils-mingw-w64-x86-64)" >&2; exit 2; }
command -v python3 >/dev/null || { echo "check-version-record.sh: python3 is missing" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

python3 - "$here" "$windres" "$work" <<'PY'
import pathlib, re, struct, subprocess, sys

resources, windres, work = pathlib.Path(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3])
passed = failed = 0

def check(ok, what, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print("ok   " + what)
    else:
        failed += 1
        print("FAIL " + what + (f"  [{detail}]" if detail else ""))

def finish():
    print(f"{passed} passed, {failed} failed")
    sys.exit(0 if failed == 0 else 1)

# What the build will put into the record, read from where the build reads it.
top = (resources.parent / "CMakeLists.txt").read_text(encoding="utf-8")
project = re.search(r'project\(\s*Tessaro\s+VERSION\s+(\d+)\.(\d+)[.\d]*\s+DESCRIPTION\s+"([^"]*)"', top)
check(project is not None, "the top-level CMakeLists.txt gives Tessaro a version and a description")
if project is None:
    finish()
major, minor, description = int(project.group(1)), int(project.group(2)), project.group(3)
# The record reads "1.00": two digits after the point, as the top-level CMakeLists.txt spells it.
version_text = f"{major}.{minor:02d}"
values = {
    "TESSARO_ICON_FILE": (resources / "tessaro.ico").as_posix(),
    "PROJECT_VERSION_MAJOR": str(major),
    "PROJECT_VERSION_MINOR": str(minor),
    "TESSARO_VERSION_TEXT": version_text,
    "PROJECT_DESCRIPTION": description,
}

template = (resources / "tessaro.rc.in").read_text(encoding="utf-8")
left = sorted(set(re.findall(r"@([A-Za-z0-9_]+)@", template)) - set(values))
check(not left, "tessaro.rc.in uses only variables the build defines", ", ".join(left))
script = re.sub(r"@([A-Za-z0-9_]+)@", lambda m: values.get(m.group(1), m.group(0)), template)
(work / "tessaro.rc").write_text(script, encoding="utf-8")

run = subprocess.run([windres, "-O", "res", str(work / "tessaro.rc"), "-o", str(work / "tessaro.res")],
                     capture_output=True, text=True)
check(run.returncode == 0, "windres compiles the configured resource script", run.stderr.strip())
if run.returncode != 0:
    finish()
data = (work / "tessaro.res").read_bytes()

def align4(n):
    return (n + 3) & ~3

def name_or_id(buf, p):
    if struct.unpack_from("<H", buf, p)[0] == 0xFFFF:
        return struct.unpack_from("<H", buf, p + 2)[0], p + 4
    end = p
    while buf[end:end + 2] != b"\0\0":
        end += 2
    return buf[p:end].decode("utf-16-le"), end + 2

entries = []  # (type, name, language, data)
pos = 0
while pos + 8 <= len(data):
    size, header = struct.unpack_from("<II", data, pos)
    rtype, p = name_or_id(data, pos + 8)
    rname, p = name_or_id(data, p)
    language = struct.unpack_from("<IHH", data, align4(p))[2]
    entries.append((rtype, rname, language, data[pos + header:pos + header + size]))
    pos = align4(pos + header + size)

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16

groups = [e for e in entries if e[0] == RT_GROUP_ICON]
check(len(groups) == 1 and groups[0][1] == "IDI_ICON1", "one icon group, IDI_ICON1",
      str([g[1] for g in groups]))
if groups:
    body = groups[0][3]
    count = struct.unpack_from("<H", body, 4)[0]
    sizes = sorted((body[6 + 14 * i] or 256) for i in range(count))
    check(sizes == [16, 32, 48, 256], "the icon has the 16, 32, 48 and 256 pixel images", str(sizes))
    ids = sorted(struct.unpack_from("<H", body, 6 + 14 * i + 12)[0] for i in range(count))
    icons = sorted(e[1] for e in entries if e[0] == RT_ICON)
    check(ids == icons, "every image the group names is in the file", f"{ids} vs {icons}")

def node(buf, off):
    length, value_length, value_type = struct.unpack_from("<HHH", buf, off)
    key, p = name_or_id(buf, off + 6)
    p = align4(p)
    value = buf[p:p + (2 * value_length if value_type == 1 else value_length)]
    p = align4(p + len(value))
    children = []
    while p < off + length:
        child, child_length = node(buf, p)
        children.append(child)
        p = align4(p + child_length)
    return (key, value_type, value, children), length

versions = [e for e in entries if e[0] == RT_VERSION]
check(len(versions) == 1 and versions[0][1] == 1, "one version record, number 1")
if not versions:
    finish()
root, _ = node(versions[0][3], 0)
key, _, fixed, children = root
check(key == "VS_VERSION_INFO" and len(fixed) == 52 and struct.unpack_from("<I", fixed)[0] == 0xFEEF04BD,
      "the record starts with a fixed file info block")
if len(fixed) == 52:
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)
    wanted = ((major << 16) | minor, 0)
    check((file_ms, file_ls) == wanted, f"FILEVERSION is {major},{minor},0,0",
          f"{file_ms >> 16},{file_ms & 0xFFFF},{file_ls >> 16},{file_ls & 0xFFFF}")
    check((product_ms, product_ls) == wanted, f"PRODUCTVERSION is {major},{minor},0,0",
          f"{product_ms >> 16},{product_ms & 0xFFFF},{product_ls >> 16},{product_ls & 0xFFFF}")

blocks = {c[0]: c for c in children}
tables = blocks.get("StringFileInfo", (None, None, None, []))[3]
check([t[0] for t in tables] == ["041104B0"], "StringFileInfo holds the one block 041104B0 (Japanese, Unicode)",
      str([t[0] for t in tables]))
strings = {s[0]: s[2].decode("utf-16-le").rstrip("\0") for t in tables for s in t[3]}
for name, value in [("FileVersion", version_text), ("ProductVersion", version_text),
                    ("ProductName", "Tessaro"), ("InternalName", "Tessaro"),
                    ("OriginalFilename", "Tessaro.exe"), ("FileDescription", description)]:
    check(strings.get(name) == value, f"{name} reads {value}", repr(strings.get(name)))
texts = [s[1] for t in tables for s in t[3]]
check(texts and all(t == 1 for t in texts), "the strings are stored as text (UTF-16LE)")

variables = blocks.get("VarFileInfo", (None, None, None, []))[3]
translation = [v[2] for v in variables if v[0] == "Translation"]
pairs = [struct.unpack_from("<HH", translation[0], 4 * i) for i in range(len(translation[0]) // 4)] if translation else []
check(pairs == [(0x0411, 0x04B0)], "Translation is 0x0411, 0x04B0", str([(hex(a), hex(b)) for a, b in pairs]))
finish()
PY
