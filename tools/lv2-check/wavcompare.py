"""The checks' WAV comparison: writers differ in their header chunks (libsndfile and Ardour add
PEAK), so only the format fields and the sample bytes count.

    python3 wavcompare.py A.wav B.wav    exit 0 when both are the same, else 1
"""
import struct
import sys


def chunks(path):
    """The first chunk of each tag in a RIFF file, by tag."""
    data = open(path, "rb").read()
    found, at = {}, 12
    while at + 8 <= len(data):
        tag, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        found.setdefault(tag, data[at + 8:at + 8 + size])
        at += 8 + size + (size & 1)
    return found


if __name__ == "__main__":
    a, b = chunks(sys.argv[1]), chunks(sys.argv[2])
    same = a[b"fmt "][:16] == b[b"fmt "][:16] and a[b"data"] == b[b"data"]
    print(f"{len(a[b'data'])} sample bytes {'identical' if same else 'DIFFER'}")
    sys.exit(0 if same else 1)
