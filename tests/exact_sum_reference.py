"""Sums for exact_sum_test.cpp, computed independently of the accumulator:
exactly in rational arithmetic, then rounded once by Python's int / int
division, which is correctly rounded (ties to even, subnormals included).

Usage: exact_sum_reference.py IN OUT. Every line of IN is one sum: its
values as hex floats (C's %a) separated by spaces; an empty line is the
empty sum. Every line of OUT is the bit pattern of the rounded sum as 16 hex
digits, or "nan".
"""

import math
import struct
import sys
from fractions import Fraction


def rounded_sum(values):
    if any(math.isnan(v) for v in values) or (math.inf in values and -math.inf in values):
        return math.nan
    if math.inf in values or -math.inf in values:
        return math.inf if math.inf in values else -math.inf
    total = sum((Fraction(v) for v in values), Fraction(0))
    if total == 0:
        # IEEE addition gives -0 only from -0 + -0.
        negative = values and all(math.copysign(1.0, v) < 0 for v in values)
        return -0.0 if negative else 0.0
    try:
        return total.numerator / total.denominator
    except OverflowError:
        return math.inf if total > 0 else -math.inf


def main(source, target):
    with open(source) as lines, open(target, "w") as out:
        for line in lines:
            result = rounded_sum([float.fromhex(word) for word in line.split()])
            if math.isnan(result):
                out.write("nan\n")
            else:
                out.write("%016x\n" % struct.unpack("<Q", struct.pack("<d", result))[0])


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
