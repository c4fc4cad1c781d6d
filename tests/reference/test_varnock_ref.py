"""Self-check of the reference run on a few worked numbers.  Run: python3 -m unittest"""

import math
import os
import random
import tempfile
import unittest

import compare_with_reference as cr
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


PI = vr.PI_LITERAL
NAN = float("nan")


def surface_step(model, n=(1.0, 1.5), **values):
    """One step s = 0 of a surface model on a fresh model.

    Keywords NAME_INDEX set table entries (ZS_0=5.0 sets ZS[0], CV_1 sets
    CV[1], X_0 sets X[0], ...); n holds the indices before and after the
    surface.  RAYOK starts at 1 as the tracer leaves it.
    """
    m = vr.Model()
    m.PI = PI
    m.RAYOK = 1
    m.RN[0][0], m.RN[0][1] = n
    for key, value in values.items():
        name, index = key.rsplit("_", 1)
        getattr(m, name)[int(index)] = value
    model(m, 0)
    return m


def ray_at(m, s=1):
    return (m.X[s], m.Y[s], m.Z[s], m.U[s], m.V[s])


def all_nan(values):
    return all(v != v for v in values)


def axis_crossings(m, s=1):
    """Heights z at which the stored ray at s meets x = 0 and y = 0."""
    return (m.Z[s] + m.X[s] / math.tan(m.U[s]), m.Z[s] + m.Y[s] / math.tan(m.V[s]))


class SphericalMirrorTest(unittest.TestCase):
    def test_parallel_rays_turn_by_twice_the_slope_angle(self):
        convex = surface_step(vr.surf2, ZS_0=5.0, CV_1=0.1, X_0=2.0)
        concave = surface_step(vr.surf2, ZS_0=5.0, CV_1=-0.1, X_0=2.0)
        self.assertEqual("%f" % convex.Z[1], "4.797959")
        self.assertEqual("%f" % concave.Z[1], "5.202041")
        self.assertEqual("%f" % convex.U[1], "-0.402716")
        self.assertAlmostEqual(concave.U[1], 2.0 * math.asin(0.2), places=13)
        self.assertEqual((convex.X[1], convex.V[1]), (2.0, 0.0))

    def test_plane_mirror_changes_nothing_in_the_unfolded_system(self):
        m = surface_step(vr.surf2, ZS_0=5.0, X_0=1.0, Y_0=2.0, U_0=0.3, V_0=-0.2)
        self.assertEqual(m.Z[1], 5.0)
        self.assertEqual(m.X[1], 1.0 - math.tan(0.3) * 5.0)
        self.assertAlmostEqual(m.U[1], 0.3, places=14)
        self.assertAlmostEqual(m.V[1], -0.2, places=14)

    def test_axial_ray_leaves_along_the_axis(self):
        for cv in (0.5, -0.5):
            self.assertEqual(ray_at(surface_step(vr.surf2, CV_1=cv)), (0.0,) * 5)

    def test_missed_mirror_and_nan_curvature(self):
        self.assertTrue(all_nan(ray_at(surface_step(vr.surf2, ZS_0=5.0, CV_1=0.5, X_0=3.0))))
        m = surface_step(vr.surf2, ZS_0=5.0, CV_1=NAN, Z_1=4.0)
        self.assertEqual(m.Z[1], 6.0)           # the height it held, unfolded
        self.assertTrue(all_nan((m.U[1], m.V[1])))


class ParaboloidTest(unittest.TestCase):
    def test_rays_from_the_focus_leave_parallel(self):
        r2 = 20.0 * math.sqrt(2.0)
        fwd = surface_step(vr.surf3, ZS_0=10.0, CV_1=0.05, U_0=PI / 4.0)
        back = surface_step(vr.surf3, ZS_0=10.0, CV_1=0.05, U_0=3.0 * PI / 4.0)
        self.assertAlmostEqual(fwd.X[1], 20.0 - r2, places=11)
        self.assertAlmostEqual(fwd.Z[1], 40.0 - r2, places=11)
        self.assertAlmostEqual(back.X[1], -20.0 - r2, places=11)
        self.assertAlmostEqual(back.Z[1], 40.0 + r2, places=11)
        for m in (fwd, back):
            self.assertLess(abs(m.U[1]), 1e-14)
            self.assertEqual(m.V[1], 0.0)

    def test_decentred_focus(self):
        m = surface_step(vr.surf3, ZS_0=10.0, CV_1=0.05, DX_1=2.0, DY_1=-1.0,
                         X_0=2.0, Y_0=-1.0, U_0=0.4, V_0=-2.9)
        self.assertLess(abs(m.U[1]), 1e-14)
        self.assertLess(abs(m.V[1]), 1e-14)

    def test_parallel_ray_goes_through_the_mirrored_focus(self):
        m = surface_step(vr.surf3, ZS_0=10.0, CV_1=0.05, X_0=1.0)
        self.assertEqual((m.X[1], m.Z[1], m.V[1]), (1.0, 10.025, 0.0))
        self.assertAlmostEqual(m.U[1], math.atan(40.0 / 399.0), places=13)

    def test_sign_of_curvature_does_not_matter(self):
        for u in (0.2, 2.5):
            ray = dict(ZS_0=10.0, X_0=1.0, Y_0=-0.5, U_0=u, V_0=0.1)
            self.assertEqual(ray_at(surface_step(vr.surf3, CV_1=0.05, **ray)),
                             ray_at(surface_step(vr.surf3, CV_1=-0.05, **ray)))

    def test_flat_mirror(self):
        m = surface_step(vr.surf3, ZS_0=10.0, X_0=1.0, U_0=0.2, V_0=0.1)
        self.assertEqual(m.Z[1], 10.0)
        self.assertEqual(m.X[1], 1.0 - math.tan(0.2) * 10.0)
        self.assertAlmostEqual(m.U[1], 0.2, places=14)
        self.assertAlmostEqual(m.V[1], 0.1, places=14)

    def test_direction_class(self):
        for u, forward in ((PI / 2.0, False), (-PI / 2.0, False), (2.0, False), (NAN, False),
                           (PI / 2.0 - 1e-9, True)):
            m = surface_step(vr.surf3, ZS_0=10.0, CV_1=0.05, U_0=u)
            self.assertEqual(m.EZ > 0.0, forward, u)


class CylinderTest(unittest.TestCase):
    def test_flat_cylinder_is_the_flat_sphere(self):
        ray = dict(ZS_0=5.0, DY_1=1.0, X_0=1.0, Y_0=-2.0, U_0=0.3, V_0=0.2)
        self.assertEqual(ray_at(surface_step(vr.surf4, **ray)), ray_at(surface_step(vr.surf1, **ray)))

    def test_parallel_ray_bends_in_y_only(self):
        m = surface_step(vr.surf4, ZS_0=5.0, CV_1=0.1, X_0=7.0, Y_0=2.0)
        self.assertAlmostEqual(m.Z[1], 15.0 - math.sqrt(96.0), places=13)
        self.assertEqual((m.X[1], m.U[1]), (7.0, 0.0))
        self.assertAlmostEqual(m.V[1], sphere_step(0.1, 2.0, 0.0, 1.0, 1.5).U[1], places=15)

    def test_ray_in_the_vertex_line_plane_sees_a_plane(self):
        m = surface_step(vr.surf4, ZS_0=5.0, CV_1=0.2, DY_1=1.5, Y_0=1.5, U_0=0.3)
        self.assertAlmostEqual(m.Z[1], 5.0, places=13)
        self.assertEqual(m.V[1], 0.0)
        self.assertAlmostEqual(m.U[1], math.asin(math.sin(0.3) / 1.5), places=13)

    def test_x_decentre_has_no_effect(self):
        ray = dict(ZS_0=5.0, CV_1=0.1, X_0=0.5, Y_0=1.0, U_0=0.1, V_0=-0.05)
        self.assertEqual(ray_at(surface_step(vr.surf4, **ray)),
                         ray_at(surface_step(vr.surf4, DX_1=3.0, **ray)))

    def test_ray_beyond_the_radius_misses(self):
        for cv in (0.1, -0.1):
            self.assertTrue(all_nan(ray_at(surface_step(vr.surf4, ZS_0=5.0, CV_1=cv, Y_0=11.0, U_0=0.4))))


class CylinderArrayTest(unittest.TestCase):
    def centre(self, pitch, y):
        return surface_step(vr.surf5, ZS_0=5.0, CV_1=0.1, PA_1=pitch, Y_0=y).DY[1]

    def test_lenslet_choice(self):
        for pitch, y, centre in ((2.0, 1.0, 2.0), (2.0, -1.0, 0.0), (2.0, 2.9, 2.0), (2.0, -3.0, -2.0),
                                 (-2.0, 1.0, 0.0), (-2.0, -1.0, -2.0)):
            self.assertEqual(self.centre(pitch, y), centre, (pitch, y))

    def test_sheet_decentre_has_no_influence(self):
        ray = dict(ZS_0=5.0, CV_1=0.1, PA_1=2.0, X_0=0.3, Y_0=2.6, U_0=0.05, V_0=0.02)
        a = surface_step(vr.surf5, **ray)
        b = surface_step(vr.surf5, DY_1=7.25, **ray)
        self.assertEqual(ray_at(a), ray_at(b))
        self.assertEqual(b.DY[1], 2.0)

    def test_one_pitch_further_is_the_same_lenslet_ray(self):
        ray = dict(ZS_0=5.0, CV_1=0.2, PA_1=2.0, U_0=0.05, V_0=0.1)
        a = surface_step(vr.surf5, Y_0=0.3, **ray)
        b = surface_step(vr.surf5, Y_0=2.3, **ray)
        self.assertEqual(b.DY[1] - a.DY[1], 2.0)
        self.assertAlmostEqual(b.Y[1] - a.Y[1], 2.0, places=13)
        self.assertAlmostEqual(a.U[1], b.U[1], places=13)
        self.assertAlmostEqual(a.V[1], b.V[1], places=13)

    def test_zero_pitch_loses_every_ray(self):
        for y in (0.0, 1.0):
            for cv in (0.0, 0.1):
                m = surface_step(vr.surf5, ZS_0=5.0, CV_1=cv, Y_0=y, U_0=0.1)
                self.assertTrue(m.DY[1] != m.DY[1])
                self.assertTrue(all_nan((m.U[1], m.V[1])))


class ApertureTest(unittest.TestCase):
    def passes(self, radius, x, y, dx=0.0):
        return surface_step(vr.surf6, ZS_0=5.0, PA_1=radius, DX_1=dx, X_0=x, Y_0=y).RAYOK == 1

    def test_rim_blocks(self):
        self.assertFalse(self.passes(5.0, 3.0, 4.0))
        self.assertTrue(self.passes(5.0, 3.0, 3.999))
        self.assertTrue(self.passes(-3.0, 2.9, 0.0))
        self.assertFalse(self.passes(-3.0, 0.0, -3.0))
        self.assertFalse(self.passes(0.0, 0.0, 0.0))
        self.assertFalse(self.passes(5.0, NAN, 0.0))

    def test_stop_stays_on_the_axis(self):
        self.assertTrue(self.passes(5.0, 0.0, 0.0, dx=10.0))
        self.assertFalse(self.passes(5.0, 10.0, 0.0, dx=10.0))

    def test_lost_ray_is_still_refracted(self):
        ray = dict(ZS_0=5.0, CV_1=0.1, X_0=2.0, U_0=0.1)
        m = surface_step(vr.surf6, PA_1=1.0, **ray)
        self.assertEqual(m.RAYOK, 0)
        self.assertEqual(ray_at(m), ray_at(surface_step(vr.surf1, **ray)))

    def test_lost_ray_stays_lost_through_later_surfaces(self):
        m = vr.Model()
        m.PI = PI
        m.NSURF = 3
        m.STYPE[1:4] = [6, 1, 6]
        m.PA[1:4] = [1.0, 0.0, 100.0]
        m.ZS[0:3] = [5.0, 6.0, 8.0]
        m.X[0] = 2.0
        m.RN[0][0:4] = [1.0, 1.0, 1.0, 1.0]
        vr.trace(m)
        self.assertEqual(m.RAYOK, 0)
        self.assertEqual((m.X[3], m.Z[3]), (2.0, 8.0))


class LensArrayTest(unittest.TestCase):
    def test_lenslet_choice_from_the_sheet_decentre(self):
        for x, lenslet in ((2.0, 3.0), (0.0, 1.0), (-0.1, -1.0)):
            ray = dict(ZS_0=5.0, CV_1=0.1, PB_1=2.0, X_0=x, Y_0=0.4)
            m = surface_step(vr.surf7, PA_1=2.0, DX_1=1.0, **ray)
            self.assertEqual(ray_at(m), ray_at(surface_step(vr.surf1, DX_1=lenslet, **ray)), x)
            self.assertEqual((m.DX[1], m.DY[1]), (1.0, 0.0))

    def test_one_pitch_further_is_the_same_lenslet_ray(self):
        ray = dict(ZS_0=5.0, CV_1=0.2, PA_1=2.0, PB_1=3.0, DX_1=0.5, DY_1=-0.25, U_0=0.05, V_0=-0.1)
        a = surface_step(vr.surf7, X_0=0.3, Y_0=0.2, **ray)
        for b, dx, dy in ((surface_step(vr.surf7, X_0=2.3, Y_0=0.2, **ray), 2.0, 0.0),
                          (surface_step(vr.surf7, X_0=0.3, Y_0=3.2, **ray), 0.0, 3.0)):
            self.assertAlmostEqual(b.X[1] - a.X[1], dx, places=13)
            self.assertAlmostEqual(b.Y[1] - a.Y[1], dy, places=13)
            self.assertAlmostEqual(a.U[1], b.U[1], places=13)
            self.assertAlmostEqual(a.V[1], b.V[1], places=13)

    def test_zero_pitch_loses_the_ray_and_restores_the_decentres(self):
        m = surface_step(vr.surf7, ZS_0=5.0, PA_1=0.0, PB_1=2.0, DX_1=1.0, DY_1=0.5, X_0=1.0, U_0=0.1)
        self.assertTrue(all_nan((m.U[1], m.V[1])))
        self.assertEqual((m.DX[1], m.DY[1]), (1.0, 0.5))


class EllipsoidTest(unittest.TestCase):
    def test_axial_rays(self):
        fwd = surface_step(vr.surf8, ZS_0=50.0, CV_1=10.0, PA_1=30.0)
        self.assertEqual(ray_at(fwd), (0.0, 0.0, 50.0, 0.0, 0.0))
        self.assertEqual((fwd.NX, fwd.NY, fwd.NZ, fwd.WLEN), (0.0, 0.0, 1.0, 0.0))
        back = surface_step(vr.surf8, ZS_0=50.0, CV_1=10.0, PA_1=30.0, U_0=PI, V_0=-PI)
        self.assertAlmostEqual(back.Z[1], 90.0, places=12)
        for v in (back.X[1], back.Y[1], back.U[1], back.V[1]):
            self.assertLess(abs(v), 1e-12)

    def test_first_focus_is_imaged_on_the_second(self):
        for f1, f2 in ((10.0, 30.0), (20.0, 5.0)):
            for u, v in ((0.3, 0.1), (-0.2, 0.05), (PI - 0.3, 3.0), (2.0, -2.5)):
                for dx, dy in ((0.0, 0.0), (1.5, -2.0)):
                    m = surface_step(vr.surf8, ZS_0=50.0, CV_1=f1, PA_1=f2, DX_1=dx, DY_1=dy,
                                     X_0=dx, Y_0=dy, Z_0=50.0 - f1, U_0=u, V_0=v)
                    m.X[1] -= dx
                    m.Y[1] -= dy
                    for z in axis_crossings(m):
                        self.assertAlmostEqual(z, 50.0 + f2, places=9, msg=(f1, f2, u, v, dx))

    def test_backward_hit_is_turned_about_the_mirror_axis(self):
        m = surface_step(vr.surf8, ZS_0=50.0, CV_1=10.0, PA_1=30.0, DX_1=1.0, DY_1=2.0,
                         X_0=1.0, Y_0=2.0, U_0=PI, V_0=PI)
        self.assertAlmostEqual(m.X[1], 1.0, places=12)
        self.assertAlmostEqual(m.Y[1], 2.0, places=12)
        self.assertAlmostEqual(m.Z[1], 90.0, places=12)

    def test_direction_class(self):
        m = surface_step(vr.surf8, ZS_0=50.0, CV_1=10.0, PA_1=30.0, U_0=PI / 2.0)
        self.assertLess(m.EZ, 0.0)
        m = surface_step(vr.surf8, ZS_0=50.0, CV_1=10.0, PA_1=30.0, V_0=PI / 2.0 - 1e-9)
        self.assertGreater(m.EZ, 0.0)

    def test_equal_focal_distances_give_a_sphere(self):
        m = surface_step(vr.surf8, ZS_0=5.0, CV_1=10.0, PA_1=10.0, X_0=2.0)
        self.assertEqual("%f" % m.Z[1], "5.202041")
        self.assertAlmostEqual(m.U[1], 2.0 * math.asin(0.2), places=13)

    def test_no_first_focal_distance_is_a_plane_mirror(self):
        ray = dict(ZS_0=5.0, PA_1=20.0, DX_1=1.0, X_0=1.0, Y_0=2.0, U_0=0.3, V_0=-0.2)
        plane = ray_at(surface_step(vr.surf2, **ray))
        m = vr.Model()
        m.PI = PI
        m.X[1], m.Y[1], m.EX, m.EY, m.EZ = 7.0, -3.0, 0.6, 0.0, 0.8      # leftovers of earlier rays
        for key, value in ray.items():
            name, index = key.rsplit("_", 1)
            getattr(m, name)[int(index)] = value
        vr.surf8(m, 0)
        self.assertEqual(ray_at(m), plane)

    def test_foci_of_opposite_signs_or_zero_second_focus(self):
        for f2 in (-5.0, 0.0):
            self.assertTrue(all_nan(ray_at(surface_step(vr.surf8, ZS_0=5.0, CV_1=10.0, PA_1=f2, X_0=1.0))))


class TiltedMirrorTest(unittest.TestCase):
    def test_untilted_is_the_centred_spherical_mirror(self):
        ray = dict(ZS_0=5.0, X_0=1.0, Y_0=-0.5, U_0=0.1, V_0=0.05)
        m = surface_step(vr.surf9, CV_1=-0.1, DX_1=3.0, DY_1=-2.0, **ray)
        ref = surface_step(vr.surf2, CV_1=-0.1, **ray)
        for a, b in zip(ray_at(m), ray_at(ref)):
            self.assertAlmostEqual(a, b, places=12)
        self.assertEqual((m.DX[1], m.DY[1]), (0.0, 0.0))

    def test_axial_ray_with_one_tilt_leaves_along_the_folded_axis(self):
        for cv in (0.01, -0.01):
            for pa, pb in ((0.15, 0.0), (0.0, -0.1)):
                m = surface_step(vr.surf9, ZS_0=100.0, CV_1=cv, PA_1=pa, PB_1=pb)
                self.assertEqual(m.X[1], 0.0)
                self.assertEqual(m.Y[1], 0.0)
                self.assertAlmostEqual(m.Z[1], 100.0, places=11)
                self.assertLess(abs(m.U[1]), 1e-14)
                self.assertLess(abs(m.V[1]), 1e-14)

    def test_two_tilts(self):
        m = surface_step(vr.surf9, ZS_0=100.0, CV_1=0.01, PA_1=0.15, PB_1=-0.1)
        self.assertEqual((m.X[1], m.Y[1]), (0.0, 0.0))
        self.assertAlmostEqual(m.Z[1], 100.0, places=11)
        self.assertEqual("%.3e" % m.U[1], "-4.536e-03")
        self.assertEqual("%.3e" % m.V[1], "6.973e-03")

    def test_vertex_restored_and_decentres_left(self):
        z0 = 0.1 + 0.2
        m = surface_step(vr.surf9, ZS_0=z0, CV_1=0.03, PA_1=0.2, PB_1=0.1, X_0=1.0, U_0=0.05)
        self.assertEqual(m.ZS[0], z0)
        self.assertEqual(m.DX[1], -math.sin(0.2) / 0.03)
        self.assertEqual(m.DY[1], -math.sin(0.1) / 0.03)

    def test_flat_tilted_mirror_is_lost(self):
        m = surface_step(vr.surf9, ZS_0=5.0, PA_1=0.1, X_0=1.0)
        self.assertTrue(all_nan(ray_at(m)))
        self.assertEqual(m.ZS[0], 5.0)


def write_sheet(path, surfaces, **changes):
    """A one-index-set sheet with the given surface rows (row 0 is the source plane)."""
    p = {"THMIN": 0.0, "THMAX": 2.5, "NPHI": 12, "NTH": 5, "RSRC": 1e-9, "WSCAN": 0.0,
         "NRING": 2, "NSCAN": 1, "DXY": 5.0, "DUV": 0.01, "SELI": 20, "SELJ": 20}
    p.update(changes)
    with open(path, "wb") as f:
        f.write(cr.sheet_text(cr.base_cells(p, surfaces, 1)).encode("latin-1"))


class WholeRunTest(unittest.TestCase):
    def run_sheets(self, *systems):
        with tempfile.TemporaryDirectory() as d:
            paths = []
            for k, surfaces in enumerate(systems):
                paths.append(os.path.join(d, "sheet%d.txt" % k))
                write_sheet(paths[-1], surfaces)
            models = []
            reports = []
            m = vr.Model()
            for k, path in enumerate(paths):
                vr.run_sheets([path], os.path.join(d, "out%d" % k), m)
                models.append((list(m.DX), list(m.DY), m.TOTAL, m.TRANS, m.IUV[20][20]))
                with open(os.path.join(d, "out%d" % k, "OUT_M.txt"), "rb") as f:
                    reports.append(f.read())
            return models, reports

    def test_paraboloid_collimates_a_source_at_its_focus(self):
        # forward and backward rays from the focus all leave along the axis
        (state,), (report,) = self.run_sheets([[0.0, 10.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0],
                                               [0.05, 5.0, 0.0, 0.0, 3, 0.0, 0.0, 1.0]])
        total, trans, centre = state[2:]
        self.assertGreater(total, 0.0)
        self.assertAlmostEqual(trans, total, places=9)
        self.assertAlmostEqual(centre, total, places=9)
        self.assertTrue(report.split(b"\r\n")[2].endswith(b"\t\t1.000000"))

    def test_surface_data_the_models_change(self):
        source = [0.0, 10.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0]
        array = [0.1, 5.0, 0.4, 7.25, 5, 2.0, 0.0, 1.5]
        tilted = [0.01, 5.0, 3.0, -1.0, 9, 0.15, -0.1, 1.0]
        grid = [0.2, 5.0, 0.5, -0.25, 7, 2.0, 3.0, 1.5]
        states, reports = self.run_sheets([source, array], [source, tilted], [source, grid],
                                          [source, [0.1, 5.0, 0.4, 0.0, 5, 2.0, 0.0, 1.5]],
                                          [source, [0.01, 5.0, 0.0, 0.0, 9, 0.15, -0.1, 1.0]])
        # the lenslet centre of the last ray stays; the sheet's y decentre never mattered
        self.assertEqual(states[0][1][1] % 2.0, 0.0)
        self.assertEqual(reports[0], reports[3])
        # the tilt's centre position replaces the sheet's decentres for good
        self.assertEqual((states[1][0][1], states[1][1][1]),
                         (-math.sin(0.15) / 0.01, -math.sin(-0.1) / 0.01))
        self.assertEqual(reports[1], reports[4])
        # the two-dimensional array puts the sheet's decentres back
        self.assertEqual((states[2][0][1], states[2][1][1]), (0.5, -0.25))

    def test_generated_model_systems_run_to_a_full_report(self):
        # zero pitches, flat tilted mirrors, foci of opposite signs: never an exception
        rng = random.Random(7)
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "IN_FM.txt")
            for _ in range(8):
                with open(path, "wb") as f:
                    f.write(cr.model_sheet(rng).encode("latin-1"))
                vr.main6(vr.Model(), path, d)
                with open(os.path.join(d, "OUT_M.txt"), "rb") as f:
                    self.assertEqual(f.read().count(b"\r\n"), 132)


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
