#!/usr/bin/env python3
"""Clears the two times chmcmd writes into a compiled help file, so that one
set of sources always compiles to the same bytes.

  clear-chm-times.py FILE.chm

chmcmd stamps the time of day into the file's header and into the entry 10 of
its #SYSTEM stream, which lies in the uncompressed section; no viewer reads
either. Both become zero, in place.
"""
import struct
import sys


def encint(data, pos):
    """A CHM directory number: 7 bits a byte, high bit set on all but the last."""
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def directory_entries(data):
    """(name, section, offset, length) of each file in the PMGL listing chunks."""
    directory_offset = struct.unpack_from("<Q", data, 0x48)[0]
    if data[directory_offset:directory_offset + 4] != b"ITSP":
        raise ValueError("no ITSP directory header")
    header_length, = struct.unpack_from("<I", data, directory_offset + 8)
    chunk_size, = struct.unpack_from("<I", data, directory_offset + 0x10)
    chunk_count, = struct.unpack_from("<I", data, directory_offset + 0x2C)
    for index in range(chunk_count):
        chunk = directory_offset + header_length + index * chunk_size
        if data[chunk:chunk + 4] != b"PMGL":
            continue  # an index chunk
        free_space, = struct.unpack_from("<I", data, chunk + 4)
        pos, end = chunk + 20, chunk + chunk_size - free_space
        while pos < end:
            name_length, pos = encint(data, pos)
            name = data[pos:pos + name_length].decode("utf-8")
            pos += name_length
            section, pos = encint(data, pos)
            offset, pos = encint(data, pos)
            length, pos = encint(data, pos)
            yield name, section, offset, length


def clear_times(data):
    if data[:4] != b"ITSF":
        raise ValueError("not a compiled help file (no ITSF header)")
    data[0x10:0x14] = bytes(4)
    version, = struct.unpack_from("<I", data, 4)
    if version >= 3:
        content_offset, = struct.unpack_from("<Q", data, 0x58)
    else:
        directory_offset, directory_length = struct.unpack_from("<QQ", data, 0x48)
        content_offset = directory_offset + directory_length
    system = [entry for entry in directory_entries(data) if entry[0] == "/#SYSTEM"]
    if len(system) != 1 or system[0][1] != 0:
        raise ValueError("no uncompressed /#SYSTEM stream")
    _, _, offset, length = system[0]
    pos, end = content_offset + offset + 4, content_offset + offset + length  # after its version
    cleared = False
    while pos + 4 <= end:
        code, size = struct.unpack_from("<HH", data, pos)
        if code == 10:
            data[pos + 4:pos + 4 + size] = bytes(size)
            cleared = True
        pos += 4 + size
    if not cleared:
        raise ValueError("the /#SYSTEM stream has no time entry (10)")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    path = sys.argv[1]
    with open(path, "rb") as file:
        data = bytearray(file.read())
    try:
        clear_times(data)
    except (ValueError, struct.error, IndexError, UnicodeDecodeError) as error:
        sys.exit(f"{path}: {error}")
    with open(path, "wb") as file:
        file.write(data)


if __name__ == "__main__":
    main()
