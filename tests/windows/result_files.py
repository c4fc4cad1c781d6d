"""The shape of the result files, checked line by line, and a readable
account of where two sets of result files differ."""

import re

RESULT_FILES = ("OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt")

# トータル光線数, 透過光線数, 透過光線比 in Shift-JIS.
LABEL_TOTAL = bytes([0x83, 0x67, 0x81, 0x5B, 0x83, 0x5E, 0x83, 0x8B, 0x8C, 0xF5,
                     0x90, 0xFC, 0x90, 0x94])
LABEL_TRANS = bytes([0x93, 0xA7, 0x89, 0xDF, 0x8C, 0xF5, 0x90, 0xFC, 0x90, 0x94])
LABEL_RATIO = bytes([0x93, 0xA7, 0x89, 0xDF, 0x8C, 0xF5, 0x90, 0xFC, 0x94, 0xE4])

FAN_HEADER = b"X[NUMB]\tY[NUMB]\tZ[NUMB]\tU[NUMB]\tV[NUMB]"
FIXED = rb"(?:-?\d+\.\d{6}|-?nan|-?inf)"
GRIDS = (("IXY", 4, rb"IXY\[i\]\[j\]\(" + FIXED + rb"mm\)"),
         ("IUV", 47, rb"IUV\[i\]\[j\]\(" + FIXED + rb"rad\)"),
         ("IUV_P", 90, rb"IUV_P\[i\]\[j\]\(-?\d+--?\d+\)"))
GRID_CELL = re.compile(rb" *" + FIXED + rb"\t")
CELLS = 41


def crlf_lines(data):
    """The lines of a file that ends every line in CR LF, or None."""
    if data and not data.endswith(b"\r\n"):
        return None
    lines = data.split(b"\r\n")[:-1] if data else []
    if any(b"\r" in line or b"\n" in line for line in lines):
        return None
    return lines


def report_problems(data):
    """Where OUT_M.txt departs from the report's fixed shape."""
    lines = crlf_lines(data)
    if lines is None:
        return ["OUT_M.txt: a line does not end in CR LF"]
    if len(lines) != 132:
        return ["OUT_M.txt: %d lines instead of 132" % len(lines)]
    problems = []
    for number, label in ((0, LABEL_TOTAL), (1, LABEL_TRANS), (2, LABEL_RATIO)):
        if not re.fullmatch(re.escape(label) + b"\t\t" + FIXED, lines[number]):
            problems.append("OUT_M.txt line %d: %r" % (number + 1, lines[number][:60]))
    for name, header, pattern in GRIDS:
        if lines[header - 1] != b"" or not re.fullmatch(pattern, lines[header]):
            problems.append("OUT_M.txt: no %s header at line %d" % (name, header + 1))
        for row in range(header + 1, header + 1 + CELLS):
            if not re.fullmatch(rb"(?:" + GRID_CELL.pattern + rb"){%d}" % CELLS, lines[row]):
                problems.append("OUT_M.txt line %d: not 41 cells as %%10.6f and a tab" % (row + 1))
    return problems


def fan_listing_problems(data):
    lines = crlf_lines(data)
    if lines is None:
        return ["OUT_MI.txt: a line does not end in CR LF"]
    if not lines or lines[0] != FAN_HEADER:
        return ["OUT_MI.txt: the header line is missing"]
    row = re.compile(rb"(?:" + FIXED + rb"\t){4}" + FIXED)
    bad = [i + 1 for i, line in enumerate(lines[1:], 1) if not row.fullmatch(line)]
    return ["OUT_MI.txt lines %s: not five %%f numbers" % bad[:5]] if bad else []


def shape_problems(files):
    """The shape checks for whichever result files a run wrote."""
    problems = []
    if files.get("OUT_M.txt"):
        problems += report_problems(files["OUT_M.txt"])
    if files.get("OUT_MI.txt") is not None:
        problems += fan_listing_problems(files["OUT_MI.txt"])
    if files.get("OUT_MR.txt"):
        problems.append("OUT_MR.txt is not empty")
    return problems


def grid_of_line(number):
    """(grid name, row j) for a 0-based report line inside a grid, or None."""
    for name, header, _ in GRIDS:
        if header < number <= header + CELLS:
            return name, number - header - 1
    return None


def differences(first, second):
    """Readable differences between two sets of result files: missing
    files, and for the report the lines and grid cells that differ."""
    found = []
    for name in RESULT_FILES:
        a, b = first.get(name), second.get(name)
        if a == b:
            continue
        if a is None or b is None:
            found.append("%s written on one side only" % name)
            continue
        la, lb = crlf_lines(a) or a.split(b"\n"), crlf_lines(b) or b.split(b"\n")
        if len(la) != len(lb):
            found.append("%s: %d lines against %d" % (name, len(la), len(lb)))
            continue
        for number, (x, y) in enumerate(zip(la, lb)):
            if x == y:
                continue
            grid = grid_of_line(number) if name == "OUT_M.txt" else None
            if grid is None:
                found.append("%s line %d: %r against %r" % (name, number + 1, x[:80], y[:80]))
                continue
            cx, cy = x.split(b"\t"), y.split(b"\t")
            for i, (u, v) in enumerate(zip(cx, cy)):
                if u != v:
                    found.append("%s[%d][%d]: %s against %s" % (
                        grid[0], i, grid[1], u.strip().decode(), v.strip().decode()))
    return found
