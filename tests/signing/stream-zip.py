#!/usr/bin/env python3
"""stream-zip.py FOLDER OUT [--bare-descriptors]

Zips the files under FOLDER into OUT as a streaming writer does (Tizen Studio's Java packager, or
Python's zipfile writing to a pipe): each member's local header carries no CRC or sizes, a data
descriptor after its data does, with its optional signature PK\\7\\8 (16 bytes). With
--bare-descriptors every descriptor goes without that signature (12 bytes), as other streaming
writers write it. .png files are stored, the rest deflated. For the signing tests."""
import io
import os
import struct
import sys
import zipfile

DESCRIPTOR = b"PK\x07\x08"


class Pipe(io.RawIOBase):
    """A sink that can neither seek nor tell, as a pipe: zipfile then streams."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def streamed(folder):
    pipe = Pipe()
    with zipfile.ZipFile(pipe, "w") as z:
        for root, dirs, files in os.walk(folder):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(root, name)
                method = zipfile.ZIP_STORED if name.endswith(".png") else zipfile.ZIP_DEFLATED
                z.write(path, os.path.relpath(path, folder), compress_type=method)
    return bytes(pipe.data)


def bare(data):
    """The same archive with every descriptor's signature left out, the offsets moved to match."""
    end = data.rindex(b"PK\x05\x06")
    count, _, central = struct.unpack_from("<HII", data, end + 10)
    out, entries, at = bytearray(), bytearray(), central
    for index in range(count):
        flags, size = struct.unpack_from("<H", data, at + 8)[0], struct.unpack_from("<I", data, at + 20)[0]
        name, extra, comment = struct.unpack_from("<HHH", data, at + 28)
        local = struct.unpack_from("<I", data, at + 42)[0]
        header = 30 + sum(struct.unpack_from("<HH", data, local + 26))
        descriptor = local + header + size
        if not flags & 8 or data[descriptor:descriptor + 4] != DESCRIPTOR:
            sys.exit("stream-zip.py: zipfile wrote no signed descriptor after member %d" % index)
        entry = bytearray(data[at:at + 46 + name + extra + comment])
        struct.pack_into("<I", entry, 42, len(out))
        out += data[local:descriptor] + data[descriptor + 4:descriptor + 16]
        entries += entry
        at += len(entry)
    record = bytearray(data[end:])
    struct.pack_into("<I", record, 16, len(out))
    return bytes(out + entries + record)


def main():
    folder, out = sys.argv[1], sys.argv[2]
    data = streamed(folder)
    if sys.argv[3:] == ["--bare-descriptors"]:
        data = bare(data)
    elif sys.argv[3:]:
        sys.exit(__doc__)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
