#!/usr/bin/python3
"""Sets a Windows Installer package's package code and its creation and last-saved times, in place.
   msi-summary.py MSI PACKAGE_CODE EPOCH      (PACKAGE_CODE as {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX})
wixl writes a random package code and the current time into the summary information and takes neither
from outside; msibuild sets the code but not the times. Both values have a fixed size, so the summary
stream keeps its length and nothing else in the compound file moves."""
import re
import struct
import sys

SUMMARY_STREAM = "\x05SummaryInformation"
PID_REVNUMBER, PID_CREATE_DTM, PID_LASTSAVE_DTM = 9, 12, 13
VT_LPSTR, VT_FILETIME = 0x1E, 0x40
FREE, END_OF_CHAIN = 0xFFFFFFFF, 0xFFFFFFFE
UNIX_TO_FILETIME = 11644473600


class CompoundFile:
    """Just enough of the compound file format to find one stream's bytes in the file."""

    def __init__(self, data):
        if data[:8] != b"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1":
            raise ValueError("not a compound file")
        self.data = data
        self.sector_size = 1 << struct.unpack_from("<H", data, 0x1E)[0]
        self.mini_size = 1 << struct.unpack_from("<H", data, 0x20)[0]
        fat_sectors, directory_start = struct.unpack_from("<II", data, 0x2C)
        self.cutoff, mini_fat_start = struct.unpack_from("<II", data, 0x38)
        difat_start, difat_sectors = struct.unpack_from("<II", data, 0x44)
        difat = list(struct.unpack_from("<109I", data, 0x4C))
        per_sector = self.sector_size // 4
        sector = difat_start
        for _ in range(difat_sectors):
            entries = struct.unpack_from(f"<{per_sector}I", data, self.offset(sector))
            difat += entries[:-1]
            sector = entries[-1]
        self.fat = []
        for sector in difat[:fat_sectors]:
            self.fat += struct.unpack_from(f"<{per_sector}I", data, self.offset(sector))
        self.mini_fat = []
        for sector in self.chain(mini_fat_start):
            self.mini_fat += struct.unpack_from(f"<{per_sector}I", data, self.offset(sector))
        self.entries = {}
        root = None
        for sector in self.chain(directory_start):
            for at in range(self.offset(sector), self.offset(sector) + self.sector_size, 128):
                length, kind = struct.unpack_from("<HB", data, at + 64)
                name = data[at:at + max(length - 2, 0)].decode("utf-16-le")
                start, size = struct.unpack_from("<IQ", data, at + 116)
                if kind == 5:
                    root = start
                elif kind == 2:
                    self.entries[name] = (start, size)
        self.mini_stream = list(self.chain(root))

    def offset(self, sector):
        return (sector + 1) * self.sector_size

    def chain(self, start, table=None):
        table = self.fat if table is None else table
        sector, seen = start, set()
        while sector not in (END_OF_CHAIN, FREE):
            if sector in seen or sector >= len(table):
                raise ValueError("broken sector chain")
            seen.add(sector)
            yield sector
            sector = table[sector]

    def stream_offsets(self, name):
        """The file offset of every byte of the stream, in order."""
        start, size = self.entries[name]
        offsets = []
        if size < self.cutoff:
            for mini in self.chain(start, self.mini_fat):
                at = mini * self.mini_size
                big = self.mini_stream[at // self.sector_size]
                base = self.offset(big) + at % self.sector_size
                offsets += range(base, base + self.mini_size)
        else:
            for sector in self.chain(start):
                offsets += range(self.offset(sector), self.offset(sector) + self.sector_size)
        if len(offsets) < size:
            raise ValueError(f"stream {name!r} is shorter than its size")
        return offsets[:size]


def properties(stream):
    """{property id: (offset of its value in the stream, type)} of the first property set."""
    section = struct.unpack_from("<I", stream, 0x2C)[0]
    count = struct.unpack_from("<I", stream, section + 4)[0]
    found = {}
    for i in range(count):
        pid, at = struct.unpack_from("<II", stream, section + 8 + 8 * i)
        found[pid] = (section + at, struct.unpack_from("<I", stream, section + at)[0])
    return found


def main():
    path, code, epoch = sys.argv[1], sys.argv[2].upper(), int(sys.argv[3])
    if not re.fullmatch(r"\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}", code):
        sys.exit(f"msi-summary.py: {code} is not a package code")
    with open(path, "rb") as f:
        data = bytearray(f.read())
    offsets = CompoundFile(data).stream_offsets(SUMMARY_STREAM)
    stream = bytearray(data[i] for i in offsets)
    found = properties(stream)

    at, kind = found.get(PID_REVNUMBER, (0, None))
    if kind != VT_LPSTR or struct.unpack_from("<I", stream, at + 4)[0] != len(code) + 1:
        sys.exit("msi-summary.py: the package code is not a 38-character text")
    stream[at + 8:at + 8 + len(code)] = code.encode("ascii")
    filetime = (epoch + UNIX_TO_FILETIME) * 10_000_000
    for pid in (PID_CREATE_DTM, PID_LASTSAVE_DTM):
        at, kind = found.get(pid, (0, None))
        if kind != VT_FILETIME:
            sys.exit(f"msi-summary.py: summary property {pid} is not a time")
        struct.pack_into("<Q", stream, at + 4, filetime)

    for i, byte in zip(offsets, stream):
        data[i] = byte
    with open(path, "r+b") as f:
        f.write(data)


if __name__ == "__main__":
    main()
