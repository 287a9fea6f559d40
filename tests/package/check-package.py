#!/usr/bin/env python3
"""Reads the release zip back and checks what a shop owner unpacks.

    tests/package/check-package.py <repository root>

The expected version and platform address come from CMakeLists.txt, the program's log lines
and message boxes from its sources, so the guide cannot fall behind the program unnoticed.
"""
import pathlib
import re
import struct
import sys
import zipfile

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


cmake = (root / "CMakeLists.txt").read_text(encoding="utf-8")
major, minor, patch = map(int, re.search(r"project\(quillmere VERSION (\d+)\.(\d+)\.(\d+)", cmake).groups())
version = f"{major}.{minor}.{patch}"
platform_base = re.search(r'set\(QUILLMERE_API_BASE "([^"]+)"', cmake).group(1)
check(platform_base.startswith("https://") and "127.0.0.1" not in platform_base,
      f"the project's default address {platform_base} is not a real platform's")

# --- the archive ---------------------------------------------------------------------------
zip_path = root / "dist" / f"quillmere-{version}-win32.zip"
if not zip_path.is_file():
    print(f"package test: {zip_path} is missing")
    sys.exit(1)
archive = zipfile.ZipFile(zip_path)
entries = {info.filename: info for info in archive.infolist()}
expected_names = ["quillmere.exe", "发货记录.txt", "使用说明.txt"]
check(sorted(entries) == sorted(expected_names) and len(archive.infolist()) == 3,
      f"the zip holds {sorted(entries)}, not exactly {expected_names}")
for name, info in entries.items():
    # Without the flag, Windows' unpacker reads the names in the OEM code page: mojibake.
    if not name.isascii():
        check(info.flag_bits & 0x800, f"{name}: the UTF-8 name flag is not set")
check(archive.testzip() is None, "a member of the zip fails its CRC check")


def member(name):
    return archive.read(name) if name in entries else b""


check("发货记录.txt" in entries and entries["发货记录.txt"].file_size == 0,
      "发货记录.txt is missing or not empty")

# --- the program ---------------------------------------------------------------------------
exe = member("quillmere.exe")


def u16(offset):
    return struct.unpack_from("<H", exe, offset)[0]


def u32(offset):
    return struct.unpack_from("<I", exe, offset)[0]


def read_resources():
    """{type id: {name id: bytes}} from the .rsrc directory, first language of each."""
    pe = u32(0x3C)
    optional = pe + 24
    section_count = u16(pe + 6)
    sections_at = optional + u16(pe + 20)
    resource_rva = u32(optional + 96 + 2 * 8)
    sections = []
    for i in range(section_count):
        at = sections_at + 40 * i
        virtual_size, rva, raw_size, raw_at = struct.unpack_from("<IIII", exe, at + 8)
        sections.append((rva, max(virtual_size, raw_size), raw_at))

    def file_offset(rva):
        for start, size, raw_at in sections:
            if start <= rva < start + size:
                return raw_at + rva - start
        raise ValueError(f"RVA {rva:#x} is in no section")

    base = file_offset(resource_rva)

    def entries_of(directory):
        named, numbered = u16(base + directory + 12), u16(base + directory + 14)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", exe, base + directory + 16 + 8 * i)
            yield ident, target

    resources = {}
    for type_id, names in entries_of(0):
        for name_id, languages in entries_of(names & 0x7FFFFFFF):
            _, leaf = next(entries_of(languages & 0x7FFFFFFF))
            data_rva, size = struct.unpack_from("<II", exe, base + leaf)
            at = file_offset(data_rva)
            resources.setdefault(type_id, {})[name_id] = exe[at:at + size]
    return resources


RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16
if check(len(exe) > 0x40 and exe[:2] == b"MZ" and exe[u32(0x3C):u32(0x3C) + 4] == b"PE\0\0",
         "quillmere.exe is missing or no PE file"):
    pe = u32(0x3C)
    check(u16(pe + 4) == 0x14C, f"quillmere.exe is for machine {u16(pe + 4):#x}, not i386")
    check(u16(pe + 24) == 0x10B, "quillmere.exe is not PE32")
    check(u16(pe + 24 + 68) == 2, "quillmere.exe is not a GUI program: a console window would open")
    resources = read_resources()

    groups = resources.get(RT_GROUP_ICON, {})
    if check(groups, "quillmere.exe carries no icon"):
        # Explorer shows the group with the lowest id; it must be the program's own.
        group = groups[min(groups)]
        count = struct.unpack_from("<H", group, 4)[0]
        sizes = set()
        for i in range(count):
            width, _, _, _, _, _, size, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            sizes.add(width or 256)
            check(len(resources.get(RT_ICON, {}).get(icon_id, b"")) == size,
                  f"the {width} px image of the icon is missing or cut short")
        # 20, 24, 40 and 64 are the caption and taskbar sizes at 125, 150 and 200 %.
        wanted = {16, 20, 24, 32, 40, 48, 64}
        check(wanted <= sizes, f"the icon has the sizes {sorted(sizes)}, not {sorted(wanted)}")

    version_info = next(iter(resources.get(RT_VERSION, {}).values()), b"")
    fixed = version_info.find(struct.pack("<I", 0xFEEF04BD))
    if check(fixed >= 0, "quillmere.exe carries no version resource"):
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", version_info, fixed + 8)
        expected = ((major << 16) | minor, patch << 16)
        check((file_ms, file_ls) == expected and (product_ms, product_ls) == expected,
              f"the version resource is not {version}")
        check(version.encode("utf-16-le") in version_info, f"the version strings do not read {version}")

    check(platform_base.encode() + b"\0" in exe, f"quillmere.exe does not talk to {platform_base}")
    for sandbox in (b"http://127.", b"localhost"):
        check(sandbox not in exe, f"quillmere.exe holds a sandbox address ({sandbox.decode()})")

# --- the guide -----------------------------------------------------------------------------
raw_guide = member("使用说明.txt")
check(raw_guide.startswith(b"\xef\xbb\xbf"), "使用说明.txt does not start with the UTF-8 byte-order mark")
check(re.search(rb"(?<!\r)\n|\r(?!\n)", raw_guide) is None and raw_guide.endswith(b"\r\n"),
      "使用说明.txt has line ends other than CRLF")
try:
    guide = raw_guide.decode("utf-8-sig")
except UnicodeDecodeError:
    guide = ""
    check(False, "使用说明.txt is not UTF-8")
check(f"版本 {version}" in guide, f"使用说明.txt does not name version {version}")
check("![" not in guide, "使用说明.txt still holds Markdown pictures")

for caption in ["登陆", "订单查询", "开始监控", "停止监控", "发货", "确定"]:
    check(f'"{caption}"' in guide, f'使用说明.txt does not speak of the button "{caption}"')


def gbk_constants(source, first_comment, end_comment):
    """The string constants of one section of a header, as text: readable "..."_gbk literals
    or byte escapes."""
    text = source.split(first_comment, 1)[1].split(end_comment, 1)[0]
    found = {}
    for name, body in re.findall(r"constexpr std::string_view (k\w+) =\s*((?:\"(?:[^\"\\]|\\.)*\"(?:_gbk)?\s*)+);", text):
        data = bytearray()
        for piece in re.findall(r"\"((?:[^\"\\]|\\.)*)\"", body):
            for escape, plain in re.findall(r"\\(x[0-9a-fA-F]+|.)|([^\\])", piece):
                if plain:
                    data += plain.encode("gbk")
                elif escape[0] == "x":
                    data.append(int(escape[1:], 16))
                else:
                    data += {"r": b"\r", "n": b"\n", '"': b'"', "\\": b"\\"}[escape]
        found[name] = data.decode("gbk").strip("\r\n")
    return found


texts_h = (root / "src" / "shop" / "texts.h").read_text(encoding="utf-8")
program_texts = gbk_constants(texts_h, "// Log lines.", "// Cells.")
check(len(program_texts) >= 10, "the program's log lines were not found in src/shop/texts.h")
program_texts["kDatabaseOpenFailed"] = "数据库打开失败！"
# The failure lines and their reasons, and the attention signal of monitoring.
for i, text in enumerate(["订单失败：", "详情获取失败：", "监控：获取订单失败：", "监控：已恢复",
                          "无法连接微店平台", "无法识别的回复", "任务栏", "闪烁", "mydata.mdb",
                          "发货记录.txt", "手机号", "销量", "|", "AppKey", "开放平台",
                          # what Windows 7 users need for TLS 1.2
                          "KB3140245", "Internet Explorer 11", "使用 TLS 1.2"]):
    program_texts[f"guide topic {i}"] = text
for name, text in program_texts.items():
    check(text in guide, f"使用说明.txt does not explain {text!r} ({name})")

# --- the Markdown guide's pictures -----------------------------------------------------------
markdown = (root / "docs" / "使用说明.md").read_text(encoding="utf-8")
for picture in re.findall(r"!\[[^\]]*\]\(([^)]+)\)", markdown):
    check((root / "docs" / picture).is_file(), f"docs/使用说明.md shows {picture}, which is missing")

for failure in failures:
    print(f"package test: FAIL: {failure}")
if failures:
    sys.exit(1)
print(f"package test: {zip_path.name} ({zip_path.stat().st_size} bytes) passed every check")
