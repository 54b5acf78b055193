#!/usr/bin/python3
"""The other half of exp_check.cpp, on Linux: every exp on whose last place a
sigmoid's float depended in the Windows run of the engine suite, against
glibc's exp (Python's math.exp is the C library's).
    exp_against_glibc.py DIR    (the exp-last-place folder of that run)"""
import math
import pathlib
import struct
import sys


def double(bits):
    return struct.unpack("<d", struct.pack("<Q", int(bits, 16)))[0]


pairs = set()
for path in pathlib.Path(sys.argv[1]).glob("*.txt"):
    for line in path.read_text().split("\n"):
        if line:
            pairs.add(tuple(line.split()))
differ = [(x, e) for x, e in sorted(pairs) if math.exp(double(x)).hex() != double(e).hex()]
for x, e in differ[:10]:
    print(f"exp({double(x).hex()}): Windows {double(e).hex()}, glibc {math.exp(double(x)).hex()}")
print(f"{len(pairs)} arguments of exp on whose last place a sigmoid's float depends: "
      f"{len(pairs) - len(differ)} the same as glibc's, {len(differ)} not")
sys.exit(1 if differ else 0)
