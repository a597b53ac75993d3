#!/usr/bin/env python3
"""Checks the Windows release zip: its entries, and in both programs the PE
machine type, the version resource against the version in the zip's name,
and the embedded manifest.

    check_dist.py [dist/qvrsetup-<version>.zip]

Without an argument it takes the one qvrsetup-*.zip in dist/.
"""
import glob
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zipfile

ENTRIES = {"qvrsetup.exe", "qvrsetup64.exe", "PACKAGE-AUTHORS.txt", "setup.inf"}
RT_VERSION, RT_MANIFEST = 16, 24
PROGRAMS = [("qvrsetup.exe", 0x14C, 0x10B, "PE32"), ("qvrsetup64.exe", 0x8664, 0x20B, "PE32+")]


class Bad(Exception):
    pass


def u16(b, o):
    return struct.unpack_from("<H", b, o)[0]


def u32(b, o):
    return struct.unpack_from("<I", b, o)[0]


class PE:
    """Just enough of a PE image to reach its resources."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise Bad("no MZ header")
        pe = u32(data, 0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise Bad("no PE signature")
        self.machine = u16(data, pe + 4)
        sections = u16(data, pe + 6)
        opt_size = u16(data, pe + 20)
        opt = pe + 24
        self.magic = u16(data, opt)
        if self.magic not in (0x10B, 0x20B):
            raise Bad("unknown optional header magic 0x%x" % self.magic)
        self.header, self.opt = pe, opt
        self.dirs = opt + (96 if self.magic == 0x10B else 112)
        self.dir_count = u32(data, self.dirs - 4)
        self.res_rva = self.directory(2)[0]
        self.sections = []
        for i in range(sections):
            s = opt + opt_size + 40 * i
            vsize, va, raw_size, raw_ptr = struct.unpack_from("<IIII", data, s + 8)
            self.sections.append((va, max(vsize, raw_size), raw_ptr, raw_size))

    def directory(self, index):
        """(RVA, size) of data directory `index`; (0, 0) where there is none."""
        if index >= self.dir_count:
            return 0, 0
        return struct.unpack_from("<II", self.data, self.dirs + 8 * index)

    def offset(self, rva):
        for va, size, raw_ptr, raw_size in self.sections:
            if va <= rva < va + size and rva - va < raw_size:
                return raw_ptr + rva - va
        raise Bad("RVA 0x%x outside every section" % rva)

    def resources(self, rtype):
        """The data of every resource of a numeric type, in directory order."""
        if not self.res_rva:
            return []
        base = self.offset(self.res_rva)

        def entries(off):
            named, ids = u16(self.data, base + off + 12), u16(self.data, base + off + 14)
            for i in range(named + ids):
                e = base + off + 16 + 8 * i
                yield u32(self.data, e), u32(self.data, e + 4)

        def leaves(off, depth):
            for _, target in entries(off):
                if target & 0x80000000:
                    if depth == 0:
                        raise Bad("resource tree deeper than three levels")
                    yield from leaves(target & 0x7FFFFFFF, depth - 1)
                else:
                    rva, size = u32(self.data, base + target), u32(self.data, base + target + 4)
                    start = self.offset(rva)
                    yield self.data[start:start + size]

        found = []
        for name, target in entries(0):
            if not name & 0x80000000 and name == rtype and target & 0x80000000:
                found.extend(leaves(target & 0x7FFFFFFF, 1))
        return found


def version_node(b, off):
    """One node of a version block: (key, value offset, value length, type,
    children, end)."""
    length, value_length, vtype = struct.unpack_from("<HHH", b, off)
    if length < 6 or off + length > len(b):
        raise Bad("version node at %d has length %d" % (off, length))
    end = off + length
    k = off + 6
    key_end = k
    while u16(b, key_end) != 0:
        key_end += 2
    key = b[k:key_end].decode("utf-16-le")
    value = (key_end + 2 + 3) & ~3
    size = value_length * 2 if vtype == 1 else value_length
    children, c = [], (value + size + 3) & ~3
    while c + 6 <= end:
        child = version_node(b, c)
        children.append(child)
        c = (child[5] + 3) & ~3
    return key, value, size, vtype, children, end


def read_version(blob):
    """(file version, product version, {StringFileInfo key: text})."""
    key, value, size, _, children, _ = version_node(blob, 0)
    if key != "VS_VERSION_INFO" or size < 52 or u32(blob, value) != 0xFEEF04BD:
        raise Bad("no VS_FIXEDFILEINFO")
    fms, fls, pms, pls = struct.unpack_from("<IIII", blob, value + 8)

    def quad(ms, ls):
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for ckey, _, _, _, tables, _ in children:
        if ckey != "StringFileInfo":
            continue
        for _, _, _, _, values, _ in tables:
            for skey, sval, ssize, _, _, send in values:
                text = blob[sval:min(sval + ssize, send)].decode("utf-16-le")
                strings[skey] = text.split("\0", 1)[0]
    return quad(fms, fls), quad(pms, pls), strings


def check_format(pe, machine, magic, kind):
    if pe.machine != machine or pe.magic != magic:
        raise Bad("machine 0x%x magic 0x%x, want 0x%x %s" % (pe.machine, pe.magic, machine, kind))


def check_version(pe, version):
    if not version:
        raise Bad("no version in the zip's name to compare with")
    blobs = pe.resources(RT_VERSION)
    if len(blobs) != 1:
        raise Bad("%d RT_VERSION resources" % len(blobs))
    fixed_file, fixed_product, strings = read_version(blobs[0])
    quad = ".".join((version.split(".") + ["0"] * 4)[:4])
    got = {"fixed file version": fixed_file, "fixed product version": fixed_product,
           "FileVersion": strings.get("FileVersion"),
           "ProductVersion": strings.get("ProductVersion")}
    want = {"fixed file version": quad, "fixed product version": quad,
            "FileVersion": version, "ProductVersion": version}
    wrong = ["%s %r, want %r" % (k, got[k], want[k]) for k in want if got[k] != want[k]]
    if wrong:
        raise Bad("; ".join(wrong))


def check_manifest(pe):
    blobs = pe.resources(RT_MANIFEST)
    if len(blobs) != 1:
        raise Bad("%d RT_MANIFEST resources" % len(blobs))
    root = ET.fromstring(blobs[0])
    levels = [e.get("level") for e in root.iter() if e.tag.endswith("}requestedExecutionLevel")]
    dpi = [e.text for e in root.iter() if e.tag.endswith("}dpiAwareness")]
    controls = [e.get("version") for e in root.iter() if e.tag.endswith("}assemblyIdentity")
                and e.get("name") == "Microsoft.Windows.Common-Controls"]
    if levels != ["requireAdministrator"]:
        raise Bad("execution level %r" % levels)
    if len(dpi) != 1 or "PerMonitorV2" not in dpi[0].split(","):
        raise Bad("dpiAwareness %r" % dpi)
    if controls != ["6.0.0.0"]:
        raise Bad("common controls %r" % controls)
    pages = [e.text for e in root.iter() if e.tag.endswith("}activeCodePage")]
    if pages != ["UTF-8"]:
        raise Bad("activeCodePage %r" % pages)


# What the programs may import statically: the KnownDLLs of Windows, which
# the loader takes from system32 whatever lies beside the program, and
# comctl32, which the manifest binds to its WinSxS copy. Everything else is
# loaded from system32 at run time.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll",
    "gdi32.dll", "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll",
    "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll",
    "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "wldap32.dll", "ws2_32.dll",
}
ALLOWED_IMPORTS = KNOWN_DLLS | {"comctl32.dll"}
DYNAMIC_BASE, NX_COMPAT, TERMINAL_SERVER_AWARE, HIGH_ENTROPY_VA = 0x40, 0x100, 0x8000, 0x20


def c_string(pe, rva):
    start = pe.offset(rva)
    return pe.data[start:pe.data.index(b"\0", start)].decode("ascii")


def imported_dlls(pe):
    """The DLL names of the import table and of the delay-load table."""
    names = []
    for index, size, name_at in ((1, 20, 12), (13, 32, 4)):
        rva, _ = pe.directory(index)
        while rva:
            entry = pe.offset(rva)
            name_rva = u32(pe.data, entry + name_at)
            if not any(pe.data[entry:entry + size]):
                break
            names.append(c_string(pe, name_rva))
            rva += size
    return names


def check_imports(pe):
    names = imported_dlls(pe)
    others = sorted(n for n in names if n.lower() not in ALLOWED_IMPORTS)
    if others:
        raise Bad("imports %s, which are neither KnownDLLs nor comctl32" % others)
    if not names:
        raise Bad("no import table")


def check_characteristics(pe):
    flags = u16(pe.data, pe.opt + 70)
    want = DYNAMIC_BASE | NX_COMPAT | TERMINAL_SERVER_AWARE
    if pe.magic == 0x20B:
        want |= HIGH_ENTROPY_VA
    if flags & want != want:
        raise Bad("DllCharacteristics 0x%04x lacks 0x%04x" % (flags, want & ~flags))


def main(argv):
    if len(argv) > 1:
        path = argv[1]
    else:
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        found = glob.glob(os.path.join(root, "dist", "qvrsetup-*.zip"))
        if len(found) != 1:
            print("dist: want one dist/qvrsetup-*.zip, found %d" % len(found))
            return 1
        path = found[0]
    passed = failed = 0

    def check(name, fn, *args):
        nonlocal passed, failed
        try:
            fn(*args)
            passed += 1
            print("ok      %s" % name)
        except (Bad, ET.ParseError, struct.error, UnicodeDecodeError, KeyError) as e:
            failed += 1
            print("FAILED  %s: %s" % (name, e))

    m = re.fullmatch(r"qvrsetup-(\d+(?:\.\d+){1,3})\.zip", os.path.basename(path))
    version = m.group(1) if m else None
    with zipfile.ZipFile(path) as z:
        names = z.namelist()

        def entries():
            if version is None:
                raise Bad("zip name %r carries no version" % os.path.basename(path))
            if sorted(names) != sorted(ENTRIES):
                raise Bad("entries %s" % sorted(names))

        check("zip name and entries", entries)
        for exe, machine, magic, kind in PROGRAMS:
            try:
                pe = PE(z.read(exe))
            except (KeyError, Bad, struct.error) as e:
                failed += 5
                print("FAILED  %s: %s (its five checks)" % (exe, e))
                continue
            check("%s is %s, machine 0x%x" % (exe, kind, machine), check_format, pe, machine,
                  magic, kind)
            check("%s version resource is %s" % (exe, version), check_version, pe, version)
            check("%s manifest" % exe, check_manifest, pe)
            check("%s imports only KnownDLLs and comctl32" % exe, check_imports, pe)
            check("%s is DEP, ASLR and Terminal Server aware" % exe, check_characteristics, pe)
    print("dist: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
