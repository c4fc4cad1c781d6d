"""Self-check of the reference run on a few worked numbers.  Run: python3 -m unittest"""

import os
import tempfile
import unittest

import varnock_ref as vr


def sphere_step(cv, h, u, n1, n2, zs=5.0):
    """One surf1 step of a ray leaving (h, 0, 0) at angle u, V = 0."""
    m = vr.Model()
    m.ZS[0] = zs
    m.CV[1] = cv
    m.X[0] = h
    m.U[0] = u
    m.RN[0][0] = n1
    m.RN[0][1] = n2
    vr.surf1(m, 0)
    return m


class FanTest(unittest.TestCase):
    def test_three_cones(self):
        m = vr.Model()
        m.PI = vr.PI_LITERAL
        m.THMIN, m.THMAX, m.NTH, m.NPHI = 0.0, 1.5707963, 2, 8
        with tempfile.TemporaryDirectory() as d:
            vr.build_fan(m, d)
            with open(os.path.join(d, "OUT_MI.txt"), "rb") as f:
                lines = f.read().split(b"\r\n")
        self.assertEqual(m.NRAY, 14)
        self.assertEqual(lines[0], b"X[NUMB]\tY[NUMB]\tZ[NUMB]\tU[NUMB]\tV[NUMB]")
        self.assertEqual(lines[1], b"0.000000\t0.000000\t0.000000\t0.785398\t0.000000")
        self.assertEqual(len(lines), 16)        # header, 14 rays, empty tail


class SphereTest(unittest.TestCase):
    def test_parallel_ray_convex(self):
        m = sphere_step(0.1, 2.0, 0.0, 1.0, 1.5)
        self.assertEqual("%f" % m.Z[1], "5.202041")
        self.assertAlmostEqual(m.U[1], 0.0676263, places=7)
        self.assertEqual(m.V[1], 0.0)

    def test_parallel_ray_concave(self):
        m = sphere_step(-0.1, 2.0, 0.0, 1.0, 1.5)
        self.assertEqual("%f" % m.Z[1], "4.797959")
        self.assertAlmostEqual(m.U[1], -0.0676263, places=7)

    def test_plane(self):
        m = sphere_step(0.0, 0.0, 0.3, 1.0, 1.5)
        self.assertEqual("%f" % m.U[1], "0.198311")
        self.assertEqual(m.Z[1], 5.0)

    def test_total_internal_reflection(self):
        m = sphere_step(0.0, 0.0, 0.8, 1.5, 1.0)
        self.assertTrue(m.U[1] != m.U[1])
        self.assertEqual(m.Z[1], 5.0)


class BinningTest(unittest.TestCase):
    def test_cells(self):
        cases = {1.26: 23, 10.2: 40, 10.25: 41, -10.25: 0, -10.3: -1}
        for x, cell in cases.items():
            self.assertEqual(vr.cell_index(x, 0.5), cell)

    def test_bad_values(self):
        self.assertEqual(vr.cell_index(1.0, 0.0), vr.INT_MIN)
        self.assertEqual(vr.cell_index(float("nan"), 0.5), vr.INT_MIN)


class ConversionTest(unittest.TestCase):
    def test_atof(self):
        self.assertEqual(vr.atof("1.5e-3"), 0.0015)
        self.assertEqual(vr.atof("abc"), 0.0)
        self.assertEqual(vr.atof(""), 0.0)
        self.assertEqual(vr.atof("0x1.8p3"), 12.0)
        self.assertEqual(vr.atof(" -2.5mm"), -2.5)

    def test_atoi(self):
        self.assertEqual(vr.atoi("12.7"), 12)
        self.assertEqual(vr.atoi("99999999999"), vr.INT_MAX)


if __name__ == "__main__":
    unittest.main()
