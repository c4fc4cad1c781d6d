#!/usr/bin/env python3
"""Varnock reference run: a second, plain-Python implementation of one run.

Reads an input sheet, builds the ray fan, scans the optical system along its
axis, places the point source at every ring position, traces every fan ray
through every surface for every refractive-index set, bins the rays into the
three 41 x 41 grids and writes OUT_MI.txt, OUT_MR.txt and OUT_M.txt exactly as
the library does, byte for byte.

Every formula is evaluated in the order in which it is written (sums and
products from left to right), with the C library's math functions, so that
the doubles agree bit for bit with the C++ build.  IEEE behaviour that Python
does not give by itself (division by zero, math domain errors) is supplied by
the small helpers below.

All nine surface models are here (surf1 to surf9, by type code); any other
type code traces as the refracting sphere.

Usage:  python3 varnock_ref.py SHEET OUTDIR [SHEET2 ...]
With one sheet the files go into OUTDIR; with several sheets they are run in
turn on one persistent model and run k writes into OUTDIR/runk.
"""

import math
import os
import re
import sys

# ---------------------------------------------------------------------------
# C arithmetic helpers
# ---------------------------------------------------------------------------

NAN = float("nan")
INF = float("inf")
INT_MIN = -2147483648
INT_MAX = 2147483647


def div(a, b):
    """a / b with IEEE semantics: x/0 is +-inf (sign from both operands), 0/0 and NaN/0 are NaN."""
    if b == 0.0:
        if a != a or a == 0.0:
            return NAN
        return math.copysign(1.0, a) * math.copysign(1.0, b) * INF
    return a / b


def c_sqrt(x):
    if x >= 0.0:                    # includes -0.0 (gives -0.0) and +inf
        return math.sqrt(x)
    return NAN                      # negative or NaN


def c_sin(x):
    if x - x == 0.0:                # finite
        return math.sin(x)
    return NAN


def c_cos(x):
    if x - x == 0.0:
        return math.cos(x)
    return NAN


def c_tan(x):
    if x - x == 0.0:
        return math.tan(x)
    return NAN


def c_asin(x):
    if -1.0 <= x <= 1.0:
        return math.asin(x)
    return NAN


def c_acos(x):
    if -1.0 <= x <= 1.0:
        return math.acos(x)
    return NAN


c_atan = math.atan                  # defined for +-inf and NaN already
c_fabs = math.fabs


def c_floor(x):
    """floor() returning a double; NaN, infinities and zeros come back unchanged."""
    if x - x != 0.0 or x == 0.0:
        return x
    return float(math.floor(x))


def to_i32(x):
    """Double to 32-bit integer, truncating; NaN or out of range gives -2147483648."""
    if x != x or x >= 2147483648.0 or x <= -2147483649.0:
        return INT_MIN
    return int(x)


# ---------------------------------------------------------------------------
# Text-to-number conversion (atof / atoi in the C locale)
# ---------------------------------------------------------------------------

_BLANKS = " \t\n\v\f\r"
_DEC_RE = re.compile(r"[+-]?(?:[0-9]+\.?[0-9]*|\.[0-9]+)(?:[eE][+-]?[0-9]+)?")
_HEX_RE = re.compile(r"([+-]?)0[xX](?:[0-9a-fA-F]+\.?[0-9a-fA-F]*|\.[0-9a-fA-F]+)(?:[pP][+-]?[0-9]+)?")
_SPECIAL_RE = re.compile(r"([+-]?)(?:(infinity|inf)|(nan)(?:\([0-9A-Za-z_]*\))?)", re.IGNORECASE)
_INT_RE = re.compile(r"[+-]?[0-9]+")


def atof(text):
    """Longest numeric prefix after leading blanks, as strtod reads it; 0 when there is none."""
    t = text.lstrip(_BLANKS)
    m = _SPECIAL_RE.match(t)
    if m:
        neg = m.group(1) == "-"
        v = INF if m.group(2) else NAN
        return -v if neg else v
    m = _HEX_RE.match(t)
    if m:
        try:
            return float.fromhex(m.group(0))
        except OverflowError:
            return -INF if m.group(1) == "-" else INF
    m = _DEC_RE.match(t)
    if m:
        return float(m.group(0))    # correctly rounded; overflow gives inf, underflow 0
    return 0.0


def atoi(text):
    """Optional sign and decimal digits after leading blanks, saturating at the 32-bit limits."""
    t = text.lstrip(_BLANKS)
    m = _INT_RE.match(t)
    if not m:
        return 0
    v = int(m.group(0))
    if v > INT_MAX:
        return INT_MAX
    if v < INT_MIN:
        return INT_MIN
    return v


# ---------------------------------------------------------------------------
# Model state
# ---------------------------------------------------------------------------

NUMB = 101          # surface-indexed tables: index 0 is the source plane
NRN = 21            # refractive-index rows: 0 is the active set, 1..20 from the sheet
NGRID = 41          # grid cells per side
PI_LITERAL = 3.14159265358979

SCRATCH_FIELDS = ("QA", "QB", "QC", "TU", "TV", "X0", "Y0", "ANGI", "ANGR",
                  "NX", "NY", "NZ", "EX", "EY", "EZ", "DCOS", "DSIN", "DLEN",
                  "PF", "WX", "WY", "WZ", "WLEN", "FX", "FY", "FZ",
                  "SINI", "SINR", "COSI", "COSR")


class Model(object):
    """The process-wide model: zeroed when created, persisting from run to run."""

    __slots__ = ("THMIN", "THMAX", "NPHI", "NTH", "RSRC", "WSCAN", "NRING",
                 "NSCAN", "DXY", "DUV", "SELI", "SELJ", "NSURF", "NSET",
                 "CV", "TH", "DX", "DY", "STYPE", "PA", "PB", "RN",
                 "ZS", "XC", "YC", "PI",
                 "X", "Y", "Z", "U", "V", "RAYOK",
                 "UFAN", "VFAN", "NRAY",
                 "IXY", "IUV", "IUV_P", "TOTAL", "TRANS", "RATIO") + SCRATCH_FIELDS

    def __init__(self):
        for name in ("THMIN", "THMAX", "RSRC", "WSCAN", "DXY", "DUV", "PI",
                     "TOTAL", "TRANS", "RATIO") + SCRATCH_FIELDS:
            setattr(self, name, 0.0)
        for name in ("NPHI", "NTH", "NRING", "NSCAN", "SELI", "SELJ",
                     "NSURF", "NSET", "NRAY", "RAYOK"):
            setattr(self, name, 0)
        for name in ("CV", "TH", "DX", "DY", "PA", "PB", "ZS", "XC", "YC",
                     "X", "Y", "Z", "U", "V"):
            setattr(self, name, [0.0] * NUMB)
        self.STYPE = [0] * NUMB
        self.RN = [[0.0] * NUMB for _ in range(NRN)]
        # Fan slot 0 is never used; the table grows with the fan.
        self.UFAN = [0.0]
        self.VFAN = [0.0]
        self.IXY = [[0.0] * NGRID for _ in range(NGRID)]
        self.IUV = [[0.0] * NGRID for _ in range(NGRID)]
        self.IUV_P = [[0.0] * NGRID for _ in range(NGRID)]


# ---------------------------------------------------------------------------
# Output text
# ---------------------------------------------------------------------------

def emit(out, text):
    """Write one formatted piece in full, newline as CR LF: a very long number is never cut."""
    out.write(text.replace("\n", "\r\n").encode("latin-1"))


# ---------------------------------------------------------------------------
# Input sheet
# ---------------------------------------------------------------------------

SHEET_COLS = 30
SHEET_ROWS = 120


def load_cells(path):
    """The sheet as a grid of cell texts: tab ends a cell, newline a row, carriage returns vanish."""
    with open(path, "rb") as f:
        data = f.read()
    data = data.replace(b"\r", b"")
    grid = [[""] * SHEET_COLS for _ in range(SHEET_ROWS)]
    for r, line in enumerate(data.split(b"\n")):
        if r >= SHEET_ROWS:
            break
        for c, cell in enumerate(line.split(b"\t")):
            if c >= SHEET_COLS:
                break
            nul = cell.find(b"\0")          # a cell is a C string: it ends at a NUL
            if nul >= 0:
                cell = cell[:nul]
            grid[r][c] = cell.decode("latin-1")
    return grid


def read_sheet(m, path):
    g = load_cells(path)

    def cell(col, row):
        return g[row][col]

    m.THMIN = atof(cell(2, 2))
    m.THMAX = atof(cell(2, 3))
    m.NPHI = atoi(cell(2, 4))
    m.NTH = atoi(cell(2, 5))
    m.RSRC = atof(cell(2, 6))
    m.WSCAN = atof(cell(2, 7))
    m.NRING = atoi(cell(2, 8))
    m.NSCAN = atoi(cell(2, 9))
    m.DXY = atof(cell(2, 10))
    m.DUV = atof(cell(2, 11))
    m.SELI = atoi(cell(2, 12))
    m.SELJ = atoi(cell(3, 12))
    m.NSURF = atoi(cell(1, 14))
    if m.NSURF > 100:
        m.NSURF = 100
    m.NSET = atoi(cell(1, 15))
    if m.NSET > 20:
        m.NSET = 20
    for s in range(0, m.NSURF + 1):
        row = s + 19
        m.CV[s] = atof(cell(1, row))
        m.TH[s] = atof(cell(2, row))
        m.DX[s] = atof(cell(3, row))
        m.DY[s] = atof(cell(4, row))
        m.STYPE[s] = atoi(cell(5, row))
        m.PA[s] = atof(cell(6, row))
        m.PB[s] = atof(cell(7, row))
        for w in range(1, m.NSET + 1):
            m.RN[w][s] = atof(cell(7 + w, row))
    # A negative surface count reads no rows and then counts as no surface at all.
    if m.NSURF < 0:
        m.NSURF = 0


# ---------------------------------------------------------------------------
# Ray-direction fan
# ---------------------------------------------------------------------------

def build_fan(m, outdir):
    PI = m.PI
    n = 0
    ufan = [0.0]
    vfan = [0.0]
    with open(os.path.join(outdir, "OUT_MI.txt"), "wb") as out:
        emit(out, "X[NUMB]\tY[NUMB]\tZ[NUMB]\tU[NUMB]\tV[NUMB]\n")
        for j in range(0, m.NTH + 1):
            th = m.THMIN + div((m.THMAX - m.THMIN) * float(j), float(m.NTH))
            ct = c_cos(th)
            st = c_sin(th)
            naz = to_i32(c_floor(c_fabs(st * float(m.NPHI)) + 0.5))
            for k in range(0, naz):
                phi = ((2.0 * PI) * float(k)) / float(naz)
                dx = st * c_cos(phi)
                dy = st * c_sin(phi)
                if ct > 0.0:
                    u = c_atan(dx / ct)
                    v = c_atan(dy / ct)
                else:
                    # backward cone: each projected angle moves half a turn away from zero
                    if dx > 0.0:
                        u = PI + c_atan(div(dx, ct))
                    else:
                        u = -PI + c_atan(div(dx, ct))
                    if dy > 0.0:
                        v = PI + c_atan(div(dy, ct))
                    else:
                        v = -PI + c_atan(div(dy, ct))
                m.U[0] = u
                m.V[0] = v
                emit(out, "%f\t%f\t%f\t%f\t%f\n" % (m.X[0], m.Y[0], m.Z[0], u, v))
                n = n + 1
                ufan.append(u)
                vfan.append(v)
    m.UFAN = ufan
    m.VFAN = vfan
    m.NRAY = n


# ---------------------------------------------------------------------------
# Refraction and reflection step, stage by stage
# ---------------------------------------------------------------------------

def incoming_direction(m, s):
    """D1: unit direction E of the incoming ray from TU, TV."""
    TU = m.TU
    TV = m.TV
    EZ = 1.0 / c_sqrt((1.0 + TU * TU) + TV * TV)
    m.EZ = EZ
    m.EX = -TU * EZ
    m.EY = -TV * EZ


def incidence_angle(m, s):
    """D2: angle between E and the normal; |N.E| is limited to 1 so rounding cannot leave acos's domain."""
    d = c_fabs((m.NX * m.EX + m.NY * m.EY) + m.NZ * m.EZ)
    if d > 1.0:
        d = 1.0
    ANGI = c_acos(d)
    m.ANGI = ANGI
    m.SINI = c_sin(ANGI)
    m.COSI = c_cos(ANGI)


def refraction_angle(m, s):
    """R1: Snell's law; the index before the surface enters by its magnitude, the one after with its sign."""
    rn0 = m.RN[0]
    n1 = rn0[s]
    n1 = n1 if n1 > 0.0 else -n1
    ANGR = c_asin(div(n1 * m.SINI, rn0[s + 1]))
    m.ANGR = ANGR
    m.SINR = c_sin(ANGR)
    m.COSR = c_cos(ANGR)


def refraction_change(m, s):
    """R2 / R3: chord length DLEN and change vector W towards the refracted direction."""
    ANGI = m.ANGI
    ANGR = m.ANGR
    SINI = m.SINI
    COSI = m.COSI
    SINR = m.SINR
    COSR = m.COSR
    if ANGI > ANGR:
        DCOS = COSR - COSI
        DSIN = SINI - SINR
        m.DLEN = c_sqrt(DCOS * DCOS + DSIN * DSIN)
        PF = COSR + SINR * c_tan((ANGI + ANGR) / 2.0)
        m.WX = PF * m.NX - m.EX
        m.WY = PF * m.NY - m.EY
        m.WZ = PF * m.NZ - m.EZ
    else:
        DCOS = COSI - COSR
        DSIN = SINR - SINI
        m.DLEN = c_sqrt(DCOS * DCOS + DSIN * DSIN)
        PF = COSI + SINI * c_tan((ANGI + ANGR) / 2.0)
        m.WX = m.EX - PF * m.NX
        m.WY = m.EY - PF * m.NY
        m.WZ = m.EZ - PF * m.NZ
    m.DCOS = DCOS
    m.DSIN = DSIN
    m.PF = PF


def reflection_change(m, s):
    """M1: mirror reflection in place of R1 to R3; DCOS and DSIN are left alone."""
    ANGR = m.ANGI
    m.ANGR = ANGR
    m.SINR = c_sin(ANGR)
    COSR = c_cos(ANGR)
    m.COSR = COSR
    m.DLEN = 2.0 * m.SINI
    PF = COSR
    m.PF = PF
    m.WX = PF * m.NX - m.EX
    m.WY = PF * m.NY - m.EY
    m.WZ = PF * m.NZ - m.EZ


def outgoing_direction(m, s):
    """C1: move E by DLEN along W; a zero W leaves the direction as it is."""
    WX = m.WX
    WY = m.WY
    WZ = m.WZ
    WLEN = c_sqrt((WX * WX + WY * WY) + WZ * WZ)
    m.WLEN = WLEN
    if WLEN == 0.0:
        m.FX = m.EX
        m.FY = m.EY
        m.FZ = m.EZ
    else:
        DLEN = m.DLEN
        m.FX = m.EX + (DLEN * WX) / WLEN
        m.FY = m.EY + (DLEN * WY) / WLEN
        m.FZ = m.EZ + (DLEN * WZ) / WLEN


def outgoing_angles(m, s):
    """C2: the angles U, V of F at surface s+1."""
    FZ = m.FZ
    m.U[s + 1] = -c_atan(div(m.FX, FZ))
    m.V[s + 1] = -c_atan(div(m.FY, FZ))


def unfold(m, s):
    """M2: mirror the hit point and the reflected ray in the vertex plane z = ZS[s]."""
    m.Z[s + 1] = 2.0 * m.ZS[s] - m.Z[s + 1]
    m.U[s + 1] = -m.U[s + 1]
    m.V[s + 1] = -m.V[s + 1]


def refract(m, s):
    incoming_direction(m, s)
    incidence_angle(m, s)
    refraction_angle(m, s)
    refraction_change(m, s)
    outgoing_direction(m, s)
    outgoing_angles(m, s)


def reflect(m, s):
    incoming_direction(m, s)
    incidence_angle(m, s)
    reflection_change(m, s)
    outgoing_direction(m, s)
    outgoing_angles(m, s)
    unfold(m, s)


# ---------------------------------------------------------------------------
# Surface models
# ---------------------------------------------------------------------------

def incoming_line(m, s):
    """TU, TV and the crossing (X0, Y0) of the incoming ray with z = 0, measured from the surface axis."""
    TU = c_tan(m.U[s])
    TV = c_tan(m.V[s])
    m.TU = TU
    m.TV = TV
    m.X0 = (m.X[s] + TU * m.Z[s]) - m.DX[s + 1]
    m.Y0 = (m.Y[s] + TV * m.Z[s]) - m.DY[s + 1]


def transfer(m, s):
    """Hit point from the hit height already in Z[s+1], along the incoming line."""
    Z1 = m.Z[s + 1]
    m.X[s + 1] = m.X[s] - m.TU * (Z1 - m.Z[s])
    m.Y[s + 1] = m.Y[s] - m.TV * (Z1 - m.Z[s])


def to_vertex_plane(m, s):
    """Carry the ray to the vertex plane z = ZS[s]; the arrays and the stop choose by this point."""
    TU = c_tan(m.U[s])
    TV = c_tan(m.V[s])
    m.TU = TU
    m.TV = TV
    m.Z[s + 1] = m.ZS[s]
    transfer(m, s)


def is_forward(m, s):
    """Direction class for the mirrors that tell it: both angles strictly inside +-PI/2 (NaN is backward)."""
    half = m.PI / 2.0
    return half > c_fabs(m.U[s]) and half > c_fabs(m.V[s])


def sphere_hit(m, s):
    """Hit point and unit normal on the sphere of curvature CV[s+1] (a plane when CV is 0), vertex at ZS[s]."""
    X = m.X
    Y = m.Y
    Z = m.Z
    ZS = m.ZS[s]
    CV = m.CV[s + 1]
    DX = m.DX[s + 1]
    DY = m.DY[s + 1]
    incoming_line(m, s)
    TU = m.TU
    TV = m.TV
    X0 = m.X0
    Y0 = m.Y0

    # hit height: the root on the vertex's half of the sphere
    if CV == 0.0:
        Z[s + 1] = ZS
    else:
        QA = (1.0 + TU * TU) + TV * TV
        QB = -2.0 * (((ZS + 1.0 / CV) + TU * X0) + TV * Y0)
        QC = ((ZS * ZS + (2.0 * ZS) / CV) + X0 * X0) + Y0 * Y0
        m.QA = QA
        m.QB = QB
        m.QC = QC
        if CV > 0.0:
            Z[s + 1] = (-QB - c_sqrt(QB * QB - (4.0 * QA) * QC)) / (2.0 * QA)
        elif CV < 0.0:
            Z[s + 1] = (-QB + c_sqrt(QB * QB - (4.0 * QA) * QC)) / (2.0 * QA)
        # a NaN curvature selects neither root: Z[s+1] keeps what it held

    transfer(m, s)
    Z1 = Z[s + 1]
    X1 = X[s + 1]
    Y1 = Y[s + 1]

    # normal: from the hit point towards the centre, over the signed radius
    m.NX = (DX - X1) * CV
    m.NY = (DY - Y1) * CV
    if CV != 0.0:
        m.NZ = ((ZS - Z1) + 1.0 / CV) * CV
    else:
        m.NZ = 1.0


def surf1(m, s):
    """Refracting sphere of curvature CV[s+1] (a plane when CV is 0), vertex at ZS[s]."""
    sphere_hit(m, s)
    refract(m, s)


def surf2(m, s):
    """Spherical mirror on the same sphere as surf1, unfolded in its vertex plane."""
    sphere_hit(m, s)
    reflect(m, s)


def surf3(m, s):
    """Paraboloidal mirror opening towards -z, focus at ZS[s] - f; only |CV[s+1]| counts.

    A backward ray (an angle at or beyond PI/2) meets the paraboloid at the
    smaller root and comes in along the reversed direction, so that a source at
    the focus sends its forward and its backward rays out parallel to the axis.
    """
    X = m.X
    Y = m.Y
    Z = m.Z
    ZS = m.ZS[s]
    CV = m.CV[s + 1]
    DX = m.DX[s + 1]
    DY = m.DY[s + 1]
    f = c_fabs(div(0.5, CV))            # focal distance; infinite for a flat mirror
    incoming_line(m, s)
    TU = m.TU
    TV = m.TV
    X0 = m.X0
    Y0 = m.Y0
    forward = is_forward(m, s)

    if CV == 0.0:
        Z[s + 1] = ZS
    else:
        QA = TU * TU + TV * TV
        QB = 2.0 * ((2.0 * f - X0 * TU) - Y0 * TV)
        QC = (X0 * X0 + Y0 * Y0) - (4.0 * ZS) * f
        m.QA = QA
        m.QB = QB
        m.QC = QC
        if QA == 0.0:
            # parallel to the axis: the equation is linear
            Z[s + 1] = div(-QC, QB)
        else:
            D = QB * QB - (4.0 * QA) * QC
            if forward:
                Z[s + 1] = div(-QB + c_sqrt(D), 2.0 * QA)
            else:
                Z[s + 1] = div(-QB - c_sqrt(D), 2.0 * QA)

    transfer(m, s)
    X1 = X[s + 1]
    Y1 = Y[s + 1]

    # normal: the gradient of the paraboloid, normalised; (0, 0, 1) at the vertex
    px = X1 - DX
    py = Y1 - DY
    L = c_sqrt(((4.0 * f) * f + px * px) + py * py)
    m.NX = div(px, L)
    m.NY = div(py, L)
    if CV == 0.0:
        m.NZ = 1.0
    else:
        m.NZ = div(2.0 * f, L)

    # incoming direction, reversed for a backward ray
    root = c_sqrt((1.0 + TU * TU) + TV * TV)
    if forward:
        EZ = 1.0 / root
    else:
        EZ = -1.0 / root
    m.EZ = EZ
    m.EX = -TU * EZ
    m.EY = -TV * EZ

    incidence_angle(m, s)
    reflection_change(m, s)
    outgoing_direction(m, s)
    outgoing_angles(m, s)
    unfold(m, s)


def surf4(m, s):
    """Refracting cylinder curved in y only: axis parallel to x, vertex line y = DY[s+1], z = ZS[s]."""
    Y = m.Y
    Z = m.Z
    ZS = m.ZS[s]
    CV = m.CV[s + 1]
    DY = m.DY[s + 1]
    incoming_line(m, s)             # DX[s+1] enters X0 only, which a cylinder never uses
    TV = m.TV
    Y0 = m.Y0

    if CV == 0.0:
        Z[s + 1] = ZS
    else:
        QA = 1.0 + TV * TV
        QB = -2.0 * ((ZS + 1.0 / CV) + TV * Y0)
        QC = (ZS * ZS + (2.0 * ZS) / CV) + Y0 * Y0
        m.QA = QA
        m.QB = QB
        m.QC = QC
        if CV > 0.0:
            Z[s + 1] = (-QB - c_sqrt(QB * QB - (4.0 * QA) * QC)) / (2.0 * QA)
        elif CV < 0.0:
            Z[s + 1] = (-QB + c_sqrt(QB * QB - (4.0 * QA) * QC)) / (2.0 * QA)
        # a NaN curvature selects neither root, as for the sphere

    transfer(m, s)
    Z1 = Z[s + 1]
    Y1 = Y[s + 1]

    m.NX = 0.0
    m.NY = (DY - Y1) * CV
    if CV != 0.0:
        m.NZ = ((ZS - Z1) + 1.0 / CV) * CV
    else:
        m.NZ = 1.0

    refract(m, s)


def surf5(m, s):
    """Cylindrical lens array: lenslets at y = PA[s+1]*k from the axis, chosen in the vertex plane.

    The chosen centre stays in DY[s+1] after the step; every ray sets it afresh
    before it is read, so the sheet's DY of such a surface never matters.
    """
    to_vertex_plane(m, s)
    PA = m.PA[s + 1]
    m.DY[s + 1] = PA * c_floor(div(m.Y[s + 1], PA) + 0.5)
    surf4(m, s)


def surf6(m, s):
    """Circular stop of radius |PA[s+1]| about the axis in the vertex plane, then the refracting sphere.

    The rim blocks; a lost ray is still refracted and carried on, only RAYOK records the loss.
    """
    to_vertex_plane(m, s)
    x = c_fabs(m.X[s + 1])
    y = c_fabs(m.Y[s + 1])
    PA = m.PA[s + 1]
    if not (PA * PA > x * x + y * y):
        m.RAYOK = 0
    surf1(m, s)


def surf7(m, s):
    """Two-dimensional lens array: spherical lenslets on a PA x PB grid anchored at the sheet's decentres.

    The chosen lenslet is put into DX/DY for the one sphere step and the sheet's values are put back.
    """
    to_vertex_plane(m, s)
    PA = m.PA[s + 1]
    PB = m.PB[s + 1]
    dx = m.DX[s + 1]
    dy = m.DY[s + 1]
    m.DX[s + 1] = dx + PA * c_floor(div(m.X[s + 1] - dx, PA) + 0.5)
    m.DY[s + 1] = dy + PB * c_floor(div(m.Y[s + 1] - dy, PB) + 0.5)
    surf1(m, s)
    m.DX[s + 1] = dx
    m.DY[s + 1] = dy


def surf8(m, s):
    """Ellipsoidal mirror with focal distances CV[s+1] and PA[s+1], vertex at ZS[s], opening towards -z.

    A forward ray meets the cap at the vertex, a backward ray the far cap; a
    backward ray is worked out in a frame turned half a turn about the mirror's
    own axis.  A first focal distance of 0 describes no ellipsoid: the surface
    is then the plane mirror of surf2 at z = ZS[s].
    """
    f1 = m.CV[s + 1]
    if f1 == 0.0:
        surf2(m, s)
        return
    X = m.X
    Y = m.Y
    Z = m.Z
    ZS = m.ZS[s]
    DX = m.DX[s + 1]
    DY = m.DY[s + 1]
    f2 = m.PA[s + 1]
    a = (f1 + f2) / 2.0
    b = c_sqrt(f1 * f2)
    incoming_line(m, s)
    TU = m.TU
    TV = m.TV
    X0 = m.X0
    Y0 = m.Y0
    forward = is_forward(m, s)

    aa = a * a
    bb = b * b
    az = a - ZS
    QA = div(1.0, aa) + div(TU * TU + TV * TV, bb)
    QB = div(2.0 * az, aa) - div(2.0 * (X0 * TU + Y0 * TV), bb)
    QC = (div(az * az, aa) + div(X0 * X0 + Y0 * Y0, bb)) - 1.0
    m.QA = QA
    m.QB = QB
    m.QC = QC
    Zs = Z[s]
    if forward:
        Z1 = div(-QB + c_sqrt(QB * QB - (4.0 * QA) * QC), 2.0 * QA)
        Z[s + 1] = Z1
        X[s + 1] = X[s] - TU * (Z1 - Zs)
        Y[s + 1] = Y[s] - TV * (Z1 - Zs)
    else:
        Z1 = div(-QB - c_sqrt(QB * QB - (4.0 * QA) * QC), 2.0 * QA)
        Z[s + 1] = Z1
        # the far-cap hit point turned half a turn about the mirror's axis
        X[s + 1] = 2.0 * DX - (X[s] - TU * (Z1 - Zs))
        Y[s + 1] = 2.0 * DY - (Y[s] - TV * (Z1 - Zs))
    X1 = X[s + 1]
    Y1 = Y[s + 1]

    # outward unit normal of the ellipsoid at the (turned) hit point
    d = div(((-b) * b) * ((Z1 + a) - ZS), aa)
    px = X1 - DX
    py = Y1 - DY
    g = c_sqrt((d * d + px * px) + py * py)
    m.NX = div(px, g)
    m.NY = div(py, g)
    m.NZ = div(-d, g)

    # incoming direction; a backward ray's is turned by the same half turn
    if forward:
        incoming_direction(m, s)
    else:
        EZ = -1.0 / c_sqrt((1.0 + TU * TU) + TV * TV)
        m.EZ = EZ
        m.EX = TU * EZ
        m.EY = TV * EZ

    incidence_angle(m, s)
    reflection_change(m, s)
    outgoing_direction(m, s)
    if not forward and m.WLEN != 0.0:
        m.FX = -m.FX
        m.FY = -m.FY
        m.FZ = -m.FZ
    outgoing_angles(m, s)
    unfold(m, s)


def surf9(m, s):
    """Spherical mirror tilted by PA[s+1] (x-z plane) and PB[s+1] (y-z plane) about its axis point.

    The tilt moves the centre: sideways through DX/DY, which keep the new
    values for good, and along z through ZS[s], which is shifted for the
    sphere step only and put back bit for bit.  The outgoing angles are
    measured from the folded axis, hence the 2*tilt correction before the
    unfold about the axis point's plane.
    """
    CV = m.CV[s + 1]
    PA = m.PA[s + 1]
    PB = m.PB[s + 1]
    z0 = m.ZS[s]
    DX = div(-c_sin(PA), CV)
    DY = div(-c_sin(PB), CV)
    m.DX[s + 1] = DX
    m.DY[s + 1] = DY
    B = c_sqrt((div(1.0, CV * CV) - DX * DX) - DY * DY)
    if CV < 0.0:
        m.ZS[s] = m.ZS[s] + (div(-1.0, CV) - B)
    else:
        m.ZS[s] = m.ZS[s] - (div(1.0, CV) - B)

    sphere_hit(m, s)
    incoming_direction(m, s)
    incidence_angle(m, s)
    reflection_change(m, s)
    outgoing_direction(m, s)
    outgoing_angles(m, s)

    m.ZS[s] = z0
    m.U[s + 1] = m.U[s + 1] - 2.0 * PA
    m.V[s + 1] = m.V[s + 1] - 2.0 * PB
    unfold(m, s)


# Surface models by type code; any code not listed traces as the refracting sphere.
SURFACE_MODELS = {1: surf1, 2: surf2, 3: surf3, 4: surf4, 5: surf5,
                  6: surf6, 7: surf7, 8: surf8, 9: surf9}


def trace(m):
    m.RAYOK = 1
    stype = m.STYPE
    models = SURFACE_MODELS
    for s in range(0, m.NSURF):
        models.get(stype[s + 1], surf1)(m, s)


# ---------------------------------------------------------------------------
# Source-position pass and grid binning
# ---------------------------------------------------------------------------

def cell_index(value, pitch):
    """Grid cell of a value: the window of cell i is closed below and open above."""
    return to_i32(c_floor((div(value, pitch) + 20.0) + 0.5))


def fan_directions(m):
    """The x and y components (tu/q, tv/q) of every fan ray, shared by all passes of a run."""
    ex = [0.0]
    ey = [0.0]
    for n in range(1, m.NRAY + 1):
        tu = c_tan(m.UFAN[n])
        tv = c_tan(m.VFAN[n])
        q = c_sqrt((1.0 + tu * tu) + tv * tv)
        ex.append(div(tu, q))
        ey.append(div(tv, q))
    return ex, ey


def run_position(m, fan_ex=None, fan_ey=None):
    if fan_ex is None:
        fan_ex, fan_ey = fan_directions(m)
    m.Z[0] = 0.0
    nsurf = m.NSURF
    X = m.X
    Y = m.Y
    U = m.U
    V = m.V
    IXY = m.IXY
    IUV = m.IUV
    IUV_P = m.IUV_P
    DXY = m.DXY
    DUV = m.DUV
    SELI = m.SELI
    SELJ = m.SELJ
    UFAN = m.UFAN
    VFAN = m.VFAN

    # direction from the source point towards the axis, the same for every ray of the pass
    x0 = X[0]
    y0 = Y[0]
    r = c_sqrt(x0 * x0 + y0 * y0)
    rx = div(x0, r)
    ry = div(y0, r)

    for w in range(1, m.NSET + 1):
        rnw = m.RN[w]
        rn0 = m.RN[0]
        for s in range(0, nsurf + 1):
            rn0[s] = rnw[s]
        for n in range(1, m.NRAY + 1):
            U[0] = UFAN[n]
            V[0] = VFAN[n]
            W = fan_ex[n] * rx + fan_ey[n] * ry
            if not (W >= 0.0):
                continue
            trace(m)
            ix = cell_index(X[nsurf], DXY)
            iy = cell_index(Y[nsurf], DXY)
            iu = cell_index(U[nsurf], DUV)
            iv = cell_index(V[nsurf], DUV)
            for i in (ix, iy, iu, iv):
                if i < 0 or i > 40:
                    m.RAYOK = 0
            if m.RAYOK == 1:
                IXY[ix][iy] += W
                IUV[iu][iv] += W
                if ix == SELI and iy == SELJ:
                    IUV_P[iu][iv] += W
            m.TOTAL += W


# ---------------------------------------------------------------------------
# Result report
# ---------------------------------------------------------------------------

LABEL_TOTAL = bytes.fromhex("83 67 81 5B 83 5E 83 8B 8C F5 90 FC 90 94").decode("latin-1")
LABEL_TRANS = bytes.fromhex("93 A7 89 DF 8C F5 90 FC 90 94").decode("latin-1")
LABEL_RATIO = bytes.fromhex("93 A7 89 DF 8C F5 90 FC 94 E4").decode("latin-1")


def write_grid(out, grid):
    for j in range(0, NGRID):
        for i in range(0, NGRID):
            emit(out, "%10.6f\t" % grid[i][j])
        emit(out, "\n")


def write_report(m, out):
    emit(out, LABEL_TOTAL + "\t\t%f\n" % m.TOTAL)
    TRANS = 0.0
    for i in range(0, NGRID):
        for j in range(0, NGRID):
            TRANS = TRANS + m.IXY[i][j]
    m.TRANS = TRANS
    emit(out, LABEL_TRANS + "\t\t%f\n" % TRANS)
    m.RATIO = div(TRANS, m.TOTAL)
    emit(out, LABEL_RATIO + "\t\t%f\n" % m.RATIO)
    emit(out, "\nIXY[i][j](%fmm)\n" % m.DXY)
    write_grid(out, m.IXY)
    emit(out, "\nIUV[i][j](%frad)\n" % m.DUV)
    write_grid(out, m.IUV)
    emit(out, "\nIUV_P[i][j](%d-%d)\n" % (m.SELI, m.SELJ))
    write_grid(out, m.IUV_P)
    out.close()


# ---------------------------------------------------------------------------
# Run driver
# ---------------------------------------------------------------------------

def main6(m, sheet, outdir):
    """One complete run: sheet in, OUT_MI.txt, OUT_MR.txt (when a pass runs) and OUT_M.txt out."""
    m.PI = PI_LITERAL
    read_sheet(m, sheet)
    build_fan(m, outdir)
    m.TOTAL = 0.0
    for i in range(0, NGRID):
        for j in range(0, NGRID):
            m.IXY[i][j] = 0.0
            m.IUV[i][j] = 0.0
            m.IUV_P[i][j] = 0.0
    out = open(os.path.join(outdir, "OUT_M.txt"), "wb")

    if m.NSCAN > 0 and m.NRING > 0:
        # created empty once, before the first pass
        open(os.path.join(outdir, "OUT_MR.txt"), "wb").close()
        fan_ex, fan_ey = fan_directions(m)
        for k in range(0, m.NSCAN):
            m.ZS[0] = (m.TH[0] - m.WSCAN / 2.0) + (m.WSCAN * float(k)) / float(m.NSCAN)
            for i in range(1, m.NSURF + 1):
                m.ZS[i] = m.TH[i] + m.ZS[i - 1]
            for j in range(0, m.NRING):
                a = (6.28 * float(j)) / float(m.NRING)
                m.X[0] = m.XC[0] + m.RSRC * c_cos(a)
                m.Y[0] = m.YC[0] + m.RSRC * c_sin(a)
                run_position(m, fan_ex, fan_ey)

    write_report(m, out)


def run_sheets(sheets, outdir, model=None):
    """Run the sheets in turn on one model; with several sheets run k writes into outdir/runk."""
    m = model if model is not None else Model()
    for k, sheet in enumerate(sheets, 1):
        d = outdir if len(sheets) == 1 else os.path.join(outdir, "run%d" % k)
        os.makedirs(d, exist_ok=True)
        main6(m, sheet, d)
    return m


def main(argv):
    if len(argv) < 3:
        sys.stderr.write("usage: %s SHEET OUTDIR [SHEET2 ...]\n" % os.path.basename(argv[0]))
        return 2
    sheets = [argv[1]] + argv[3:]
    run_sheets(sheets, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
