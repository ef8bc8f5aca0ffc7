#!/usr/bin/env python3
"""Prints whether a Windows exe carries an Authenticode signature, and its version resource as
its Properties show it:

    authenticode yes            (or no: the certificate table of its header is empty)
    file-version 1.2.0.7        (the fixed numbers, VS_FIXEDFILEINFO)
    product-version 1.2.0.7
    FileVersion 1.2.0.7         (each text of the first string table)
    ProductVersion 1.2.0.7
    ...

Prints no version lines for an exe without one; exits 2 for a file that is not a PE image.
Used by scripts/release.sh (the carried tool's version, and a check of the exe it built) and its
tests.
"""
import struct
import sys

RT_VERSION = 16


def sections(data):
    """The PE sections as (virtual address, virtual size, file offset), the resource directory's
    address and size, and the certificate table's size."""
    if data[:2] != b"MZ":
        raise ValueError("no MZ header")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe : pe + 4] != b"PE\0\0":
        raise ValueError("no PE header")
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    resource_rva, resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
    certificates_size = struct.unpack_from("<I", data, directories + 4 * 8 + 4)[0]
    table = optional + optional_size
    found = []
    for i in range(count):
        vsize, va, _raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
        found.append((va, vsize, raw))
    return found, resource_rva, resource_size, certificates_size


def offset_of(rva, found):
    for va, vsize, raw in found:
        if va <= rva < va + vsize:
            return raw + rva - va
    raise ValueError("address outside every section")


def version_block(data):
    """The bytes of the first RT_VERSION resource, or None."""
    found, rva, size, _ = sections(data)
    if not rva or not size:
        return None
    root = offset_of(rva, found)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            yield ident, target

    def first_leaf(target):
        while target & 0x80000000:
            target = next(entries(root + (target & 0x7FFFFFFF)))[1]
        data_rva, data_size = struct.unpack_from("<II", data, root + target)
        start = offset_of(data_rva, found)
        return data[start : start + data_size]

    for ident, target in entries(root):
        if ident == RT_VERSION:
            return first_leaf(target)
    return None


def blocks(raw, start, end):
    """The children of a VERSIONINFO block: (key, value bytes, value is text, children start, end)."""
    while start + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", raw, start)
        if length == 0:
            break
        key_end = start + 6
        while raw[key_end : key_end + 2] != b"\0\0":
            key_end += 2
        key = raw[start + 6 : key_end].decode("utf-16-le")
        value = (key_end + 2 + 3) & ~3
        value_bytes = value_length * 2 if kind == 1 else value_length
        children = (value + value_bytes + 3) & ~3
        yield key, raw[value : value + value_bytes], kind == 1, children, start + length
        start = (start + length + 3) & ~3


def describe(raw):
    lines = []
    for key, value, _text, children, end in blocks(raw, 0, len(raw)):
        if key != "VS_VERSION_INFO":
            continue
        if len(value) >= 52 and struct.unpack_from("<I", value)[0] == 0xFEEF04BD:
            fms, fls, pms, pls = struct.unpack_from("<IIII", value, 8)
            for name, ms, ls in (("file-version", fms, fls), ("product-version", pms, pls)):
                lines.append(f"{name} {ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}")
        for info, _, _, info_children, info_end in blocks(raw, children, end):
            if info != "StringFileInfo":
                continue
            for _table, _, _, strings, table_end in blocks(raw, info_children, info_end):
                for name, text, is_text, _, _ in blocks(raw, strings, table_end):
                    if is_text:
                        lines.append(f"{name} {text.decode('utf-16-le').rstrip(chr(0))}")
                break
    return lines


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: pe-info.py FILE.exe")
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    try:
        signed = sections(data)[3] != 0
        raw = version_block(data)
    except (ValueError, KeyError, struct.error, StopIteration) as e:
        print(f"{sys.argv[1]}: not a Windows program: {e}", file=sys.stderr)
        sys.exit(2)
    print("authenticode", "yes" if signed else "no")
    if raw:
        print("\n".join(describe(raw)))


if __name__ == "__main__":
    main()
