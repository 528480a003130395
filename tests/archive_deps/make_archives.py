#!/usr/bin/env python3
"""Writes the archives archive_deps_smoke reads, and the listing it must print.

    make_archives.py OUT_DIR

One archive per kind the programs take, each made by a writer other than
libarchive: a zip (deflate) whose second member has a Shift-JIS name without
the UTF-8 flag, a 7z (LZMA), an lzh (lh5, made with Debian's jlha-utils
`lha`, with a Shift-JIS name), a tar.gz and a bare .xz.  OUT_DIR/expected.txt
holds the lines the smoke program prints for them, in that order.
"""
import binascii
import gzip
import io
import lzma
import os
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import zipfile

# "曲データ.d88" in CP932, the name Japanese archivers store without a flag.
SJIS_NAME = b"\x8b\xc8\x83\x66\x81\x5b\x83\x5e.d88"


def payload(seed, size):
    """Compressible, distinct bytes (a disk image's worth of repetition)."""
    line = ("track %d " % seed).encode() * 8
    return (line * (size // len(line) + 1))[:size]


def listing_line(archive, name, data):
    shown = "".join(chr(b) if 0x20 <= b < 0x7F and b != 0x5C else "\\x%02x" % b for b in name)
    return "%s: %s %d %08x" % (archive, shown, len(data), binascii.crc32(data))


class RawNameInfo(zipfile.ZipInfo):
    """A member whose name goes in as the bytes given, without the UTF-8 flag
    (zipfile would set it for any name that is not ASCII)."""

    def __init__(self, raw):
        super().__init__(raw.decode("latin-1"))
        self.raw = raw

    def _encodeFilenameFlags(self):
        return self.raw, self.flag_bits


def seven_zip_number(value):
    """7z's variable-length number: leading one bits in the first byte count the extra bytes."""
    for extra in range(9):
        if extra == 8 or value < (1 << (7 * (extra + 1))):
            break
    if extra == 8:
        return b"\xff" + struct.pack("<Q", value)
    high = value >> (8 * extra)
    first = (0xFF << (8 - extra)) & 0xFF | high
    return bytes([first]) + value.to_bytes(8, "little")[:extra]


def write_7z(path, name, data):
    """One LZMA-coded member, as 7-Zip lays it out: packed stream, then the plain header."""
    props = {"id": lzma.FILTER_LZMA1, "dict_size": 1 << 16, "lc": 3, "lp": 0, "pb": 2}
    packed = lzma.compress(data, format=lzma.FORMAT_RAW, filters=[props])
    coder_props = bytes([(2 * 5 + 0) * 9 + 3]) + struct.pack("<I", 1 << 16)
    n = seven_zip_number
    utf16 = name.encode("utf-16-le") + b"\0\0"
    header = (b"\x01"                                        # Header
              + b"\x04"                                      # MainStreamsInfo
              + b"\x06" + n(0) + n(1) + b"\x09" + n(len(packed)) + b"\x00"   # PackInfo
              + b"\x07" + b"\x0b" + n(1) + b"\x00"           # UnpackInfo, Folder: 1, inline
              + n(1) + b"\x23" + b"\x03\x01\x01" + n(5) + coder_props        # LZMA coder
              + b"\x0c" + n(len(data)) + b"\x00"             # CodersUnpackSize
              + b"\x08" + b"\x0a\x01" + struct.pack("<I", binascii.crc32(data)) + b"\x00"
              + b"\x00"                                      # end of MainStreamsInfo
              + b"\x05" + n(1)                               # FilesInfo: 1 file
              + b"\x11" + n(len(utf16) + 1) + b"\x00" + utf16
              + b"\x00" + b"\x00")
    start = struct.pack("<QQI", len(packed), len(header), binascii.crc32(header))
    with open(path, "wb") as f:
        f.write(b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", binascii.crc32(start)) + start)
        f.write(packed)
        f.write(header)


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def write_lzh(path, name, data):
    """lha stores a placeholder name of the same length, which is then set to
    the Shift-JIS bytes (lha here takes no file whose name is not UTF-8) and
    the level-2 header's CRC made again."""
    placeholder = b"X" * (len(name) - 4) + name[-4:]
    work = tempfile.mkdtemp()
    try:
        with open(os.path.join(work, placeholder.decode()), "wb") as f:
            f.write(data)
        subprocess.run(["lha", "ao5q", "a.lzh", placeholder.decode()], cwd=work, check=True,
                       stdout=subprocess.DEVNULL)
        with open(os.path.join(work, "a.lzh"), "rb") as f:
            lzh = bytearray(f.read())
    finally:
        shutil.rmtree(work)
    if lzh[2:7] != b"-lh5-" or lzh[20] != 2:
        sys.exit("lha wrote no level-2 lh5 header")
    size = struct.unpack_from("<H", lzh, 0)[0]
    at = lzh.find(placeholder, 0, size)
    lzh[at:at + len(name)] = name
    crc_at = lzh.find(b"\x00", 26, size)  # the common extended header (type 0) holds the CRC
    ext = 24
    while True:  # walk the extended headers: size (2 bytes), then type and data
        ext_size = struct.unpack_from("<H", lzh, ext)[0]
        if ext_size == 0:
            sys.exit("lha wrote no header CRC")
        if lzh[ext + 2] == 0x00:
            crc_at = ext + 3
            break
        ext += ext_size
    lzh[crc_at:crc_at + 2] = b"\0\0"
    struct.pack_into("<H", lzh, crc_at, crc16(lzh[:size]))
    with open(path, "wb") as f:
        f.write(lzh)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    disk1, disk2, disk3 = payload(1, 5000), payload(2, 7000), payload(3, 9000)
    lines = []

    with zipfile.ZipFile(os.path.join(out, "disks.zip"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("Disk 1.d88", disk1)
        z.writestr(RawNameInfo(SJIS_NAME), disk2, zipfile.ZIP_DEFLATED)
    lines += [listing_line("disks.zip", b"Disk 1.d88", disk1),
              listing_line("disks.zip", SJIS_NAME, disk2)]

    write_7z(os.path.join(out, "disk.7z"), "Disk 2.d88", disk2)
    lines.append(listing_line("disk.7z", b"Disk 2.d88", disk2))

    write_lzh(os.path.join(out, "disk.lzh"), SJIS_NAME, disk3)
    lines.append(listing_line("disk.lzh", SJIS_NAME, disk3))

    tar_bytes = io.BytesIO()
    with tarfile.open(fileobj=tar_bytes, mode="w", format=tarfile.USTAR_FORMAT) as t:
        info = tarfile.TarInfo("images/disk1.d88")
        info.size = len(disk1)
        t.addfile(info, io.BytesIO(disk1))
    with open(os.path.join(out, "disks.tar.gz"), "wb") as f:
        f.write(gzip.compress(tar_bytes.getvalue(), mtime=0))
    lines.append(listing_line("disks.tar.gz", b"images/disk1.d88", disk1))

    with open(os.path.join(out, "disk.d88.xz"), "wb") as f:
        f.write(lzma.compress(disk3, format=lzma.FORMAT_XZ))
    lines.append(listing_line("disk.d88.xz", b"data", disk3))  # a bare stream's one member

    with open(os.path.join(out, "expected.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
