#!/usr/bin/env python3
"""Checks what makes a release folder reproducible and checkable: SHA256SUMS
against the files, the programs beside the zip against the zip's own, the
zip's fixed entry order, permissions and times, and in both programs no time
stamps, a true PE checksum and no build folder.

    check_release.py DIST_DIR [SOURCE_ROOT]

The zip's time is SOURCE_DATE_EPOCH when that is set, otherwise the time of
SOURCE_ROOT's last commit (SOURCE_ROOT: the folder above tests/ by default).
"""
import datetime
import glob
import hashlib
import os
import struct
import subprocess
import sys
import zipfile

from check_dist import PE, Bad, u16, u32

ORDER = ["qvrsetup.exe", "qvrsetup64.exe", "PACKAGE-AUTHORS.txt", "setup.inf"]
PROGRAMS = ["qvrsetup.exe", "qvrsetup64.exe"]
MODE = 0o100644
DIR_EXPORT, DIR_DEBUG = 0, 6


def pe_checksum(data, checksum_offset):
    """The PE image checksum: 16-bit one's-complement sum of the file, its
    own field skipped, plus the file's length."""
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for i, (word,) in enumerate(struct.iter_unpack("<H", padded)):
        if 2 * i in (checksum_offset, checksum_offset + 2):
            continue
        total += word
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def check_time_stamps(data):
    pe = PE(data)
    stamps = {"link": u32(data, pe.header + 8)}
    rva, size = pe.directory(DIR_EXPORT)
    if rva and size:
        stamps["export directory"] = u32(data, pe.offset(rva) + 4)
    rva, size = pe.directory(DIR_DEBUG)
    for i in range(size // 28 if rva else 0):
        stamps["debug directory %d" % i] = u32(data, pe.offset(rva) + 28 * i + 4)
    if pe.res_rva:
        base = pe.offset(pe.res_rva)
        pending, seen = [0], set()
        while pending:
            off = pending.pop()
            if off in seen:
                raise Bad("resource directory at 0x%x reached twice" % off)
            seen.add(off)
            stamps["resource directory at 0x%x" % off] = u32(data, base + off + 4)
            count = u16(data, base + off + 12) + u16(data, base + off + 14)
            for i in range(count):
                target = u32(data, base + off + 16 + 8 * i + 4)
                if target & 0x80000000:
                    pending.append(target & 0x7FFFFFFF)
    set_ = ["%s 0x%08x" % (k, v) for k, v in stamps.items() if v]
    if set_:
        raise Bad("time stamps set: " + ", ".join(set_))


def check_checksum(data):
    checksum_offset = PE(data).opt + 64
    stored, computed = u32(data, checksum_offset), pe_checksum(data, checksum_offset)
    if stored != computed:
        raise Bad("PE checksum 0x%x, the file sums to 0x%x" % (stored, computed))


def check_no_build_folder(data, folders):
    for folder in folders:
        for form in (folder.encode(), folder.encode("utf-16-le")):
            at = data.find(form)
            if at >= 0:
                raise Bad("holds the build folder %s at offset 0x%x" % (folder, at))


def check_sums(dist, zip_name):
    path = os.path.join(dist, "SHA256SUMS")
    if not os.path.isfile(path):
        raise Bad("no SHA256SUMS in %s" % dist)
    listed = []
    with open(path, encoding="ascii") as f:
        for line in f:
            digest, sep, name = line.rstrip("\n").partition("  ")
            if not sep or len(digest) != 64:
                raise Bad("line %r is not sha256sum's" % line)
            with open(os.path.join(dist, name), "rb") as g:
                if hashlib.sha256(g.read()).hexdigest() != digest:
                    raise Bad("%s does not match its sum" % name)
            listed.append(name)
    if listed != [zip_name] + PROGRAMS:
        raise Bad("lists %s" % listed)


def check_programs_match_zip(dist, z):
    for exe in PROGRAMS:
        with open(os.path.join(dist, exe), "rb") as f:
            if f.read() != z.read(exe):
                raise Bad("%s beside the zip differs from the zip's" % exe)


def release_time(source_root):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"]), "SOURCE_DATE_EPOCH"
    out = subprocess.run(["git", "-C", source_root, "log", "-1", "--format=%ct"],
                         capture_output=True, text=True, check=True)
    return int(out.stdout), "the last commit"


def check_entries(z, epoch, source):
    infos = z.infolist()
    names = [i.filename for i in infos]
    if names != ORDER:
        raise Bad("entries in the order %s" % names)
    # DOS times count in steps of two seconds.
    want = datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).replace(tzinfo=None)
    for i in infos:
        got = datetime.datetime(*i.date_time)
        if abs((got - want).total_seconds()) > 2:
            raise Bad("%s dated %s, want %s (%s)" % (i.filename, got, want, source))
        if i.create_system != 3 or i.external_attr >> 16 != MODE:
            raise Bad("%s has mode 0%o from system %d, want 0%o from Unix"
                      % (i.filename, i.external_attr >> 16, i.create_system, MODE))
        if i.extra:
            raise Bad("%s carries extra fields %r" % (i.filename, i.extra))


def main(argv):
    if len(argv) not in (2, 3):
        print(__doc__.strip())
        return 2
    dist = argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    source_root = os.path.abspath(argv[2] if len(argv) > 2 else os.path.join(here, "..", ".."))
    found = glob.glob(os.path.join(dist, "qvrsetup-*.zip"))
    if len(found) != 1:
        print("release: want one qvrsetup-*.zip in %s, found %d" % (dist, len(found)))
        return 1
    zip_path = found[0]
    passed = failed = 0

    def check(name, fn, *args):
        nonlocal passed, failed
        try:
            fn(*args)
            passed += 1
            print("ok      %s" % name)
        except (Bad, OSError, KeyError, struct.error, subprocess.CalledProcessError,
                ValueError) as e:
            failed += 1
            print("FAILED  %s: %s" % (name, e))

    check("SHA256SUMS lists the zip and both programs, and they match", check_sums, dist,
          os.path.basename(zip_path))
    with zipfile.ZipFile(zip_path) as z:
        check("the programs beside the zip are the zip's", check_programs_match_zip, dist, z)
        try:
            epoch, source = release_time(source_root)
        except (subprocess.CalledProcessError, ValueError) as e:
            epoch, source = None, str(e)
        if epoch is None:
            failed += 1
            print("FAILED  zip entries: no release time: %s" % source)
        else:
            check("zip entries in order, mode 0%o, dated by %s" % (MODE & 0o777, source),
                  check_entries, z, epoch, source)
        build_folders = [source_root, os.path.realpath(source_root)]
        for exe in PROGRAMS:
            data = z.read(exe)
            check("%s has no time stamps" % exe, check_time_stamps, data)
            check("%s has a true PE checksum" % exe, check_checksum, data)
            check("%s names no build folder" % exe, check_no_build_folder, data, build_folders)
    print("release: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
