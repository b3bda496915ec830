#!/usr/bin/env python3
"""Reads a PE image's headers, imports and exports directly from the file, so that the binary checks
do not depend on how one version of objdump lays out its report. Prints one fact per line:
  machine x86|x64            format PE32|PE32+        subsystem gui|console|...
  dll yes|no                 timestamp SECONDS        (the header's link time, seconds since 1970)
  import DLL FUNCTION        (FUNCTION is #N for an import by ordinal)
  export NAME
   pe_info.py FILE"""
import struct
import sys

MACHINES = {0x014C: "x86", 0x8664: "x64", 0xAA64: "arm64"}
SUBSYSTEMS = {2: "gui", 3: "console"}


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, self.timestamp, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", data, optional)[0]
        wide = self.magic == 0x20B
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (112 if wide else 96)
        self.directory = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        self.wide = wide
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            _, virtual_size, address, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((address, max(virtual_size, raw_size), raw_offset))

    def offset(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError(f"address {rva:#x} is in no section")

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imports(self):
        rva, size = self.directory[1]
        if size == 0:
            return
        entry = self.offset(rva)
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, entry)
            if name == 0:
                return
            dll = self.text(name)
            at = self.offset(lookup or thunks)
            step, flag = (8, 1 << 63) if self.wide else (4, 1 << 31)
            while True:
                value = struct.unpack_from("<Q" if self.wide else "<I", self.data, at)[0]
                if value == 0:
                    break
                yield dll, f"#{value & 0xFFFF}" if value & flag else self.text((value & 0x7FFFFFFF) + 2)
                at += step
            entry += 20

    def exports(self):
        rva, size = self.directory[0]
        if size == 0:
            return
        directory = self.offset(rva)
        names, name_table = struct.unpack_from("<II", self.data, directory + 24)[0], struct.unpack_from(
            "<I", self.data, directory + 32)[0]
        for i in range(names):
            yield self.text(struct.unpack_from("<I", self.data, self.offset(name_table) + 4 * i)[0])


def main():
    with open(sys.argv[1], "rb") as f:
        image = Image(f.read())
    print("machine", MACHINES.get(image.machine, f"{image.machine:#06x}"))
    print("format", {0x10B: "PE32", 0x20B: "PE32+"}.get(image.magic, f"{image.magic:#06x}"))
    print("subsystem", SUBSYSTEMS.get(image.subsystem, str(image.subsystem)))
    print("dll", "yes" if image.characteristics & 0x2000 else "no")
    print("timestamp", image.timestamp)
    for dll, function in image.imports():
        print("import", dll, function)
    for name in image.exports():
        print("export", name)


if __name__ == "__main__":
    main()
