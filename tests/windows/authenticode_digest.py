#!/usr/bin/env python3
"""The Authenticode SHA-256 digest of a PE file, as a signature of it holds:
the file's bytes less its checksum field, its certificate-table entry and
the certificate table itself, the rest zero-padded to a multiple of 8 bytes
as signing pads it.

    authenticode_digest.py FILE   prints the digest in upper-case hex
"""
import hashlib
import struct
import sys


def digest(data: bytes) -> str:
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    checksum = optional + 64
    directories = optional + (96 if magic == 0x10B else 112)
    certificate_entry = directories + 4 * 8
    table, size = struct.unpack_from("<II", data, certificate_entry)
    end = table if size else len(data)
    body = data[:checksum] + data[checksum + 4:certificate_entry] + data[certificate_entry + 8:end]
    body += b"\0" * (-end % 8)
    return hashlib.sha256(body).hexdigest().upper()


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as file:
        print(digest(file.read()))
