"""varnock optimize: its goals against the same quantities computed here
with NumPy, the focus problem end to end, bad arguments, and a resume after
a kill."""

import json
import math
import os
import signal
import subprocess
import time

import numpy as np
import pytest
import varnock

from conftest import EXAMPLES

FOCUS = EXAMPLES / "focus.txt"


def centres(pitch):
    return (np.arange(41) - 20) * pitch


def moments(m, pitch):
    x = centres(pitch)
    w = m.sum()
    cx = (m.sum(axis=1) * x).sum() / w
    cy = (m.sum(axis=0) * x).sum() / w
    dx2 = ((x - cx) ** 2)[:, None]
    dy2 = ((x - cy) ** 2)[None, :]
    return cx, cy, math.sqrt((m * dx2).sum() / w), math.sqrt((m * dy2).sum() / w), math.sqrt((m * (dx2 + dy2)).sum() / w)


def square(m, pitch, size):
    x = np.abs(centres(pitch))
    inside = (x[:, None] <= size / 2 + 1e-9) & (x[None, :] <= size / 2 + 1e-9)
    cells = m[inside]
    return cells.std() / cells.mean(), cells.min() / cells.mean()


def expected(r, expression, target=None):
    """The goal's value computed from the Result's maps, independently of the C++ code."""
    name, _, rest = expression.partition("(")
    if not rest:
        return {"ratio": r.ratio, "transmitted": r.transmitted, "total": r.total}[name]
    args = [a.strip() for a in rest.rstrip(")").split(",")]
    m = getattr(r, args[0])
    pitch = r.DXY if args[0] == "IXY" else 1000 * r.DUV
    if name == "peak":
        return m.max()
    if name in ("uniformity", "min_mean"):
        return square(m, pitch, float(args[1]))[0 if name == "uniformity" else 1]
    if name == "match":
        a, t = m / m.sum(), target / target.sum()
        return math.sqrt(((a - t) ** 2).mean()) / math.sqrt((t ** 2).mean())
    cx, cy, rx, ry, rr = moments(m, pitch)
    return {"centroid_x": cx, "centroid_y": cy, "rms_x": rx, "rms_y": ry, "rms_radius": rr}[name]


def write_target(path, grid, pitch):
    """A target CSV as varnock run --csv writes one: a header row, then a row per second index."""
    lines = ["# target", "y\\x," + ",".join("%f" % c for c in centres(pitch))]
    for j in range(41):
        lines.append("%f," % centres(pitch)[j] + ",".join(repr(float(grid[i, j])) for i in range(41)))
    path.write_text("\n".join(lines) + "\n")


def test_goals_are_the_quantities_of_the_maps(tmp_path):
    homogeniser = varnock.run(EXAMPLES / "homogeniser.txt", fast=True)
    condenser = varnock.run(EXAMPLES / "condenser.txt")
    # A target: the condenser's IXY with its x mirrored, in a file.
    target = condenser.IXY[::-1, :] + 1.0
    write_target(tmp_path / "target.csv", target, condenser.DXY)
    cases = [(EXAMPLES / "homogeniser.txt", homogeniser, ["uniformity(IXY, 10)", "min_mean(IXY, 10)", "peak(IXY)",
                                                         "rms_radius(IXY)", "centroid_y(IUV)", "ratio"]),
             (EXAMPLES / "condenser.txt", condenser, ["rms_x(IXY)", "rms_y(IUV_P)", "centroid_x(IXY)", "transmitted",
                                                     "match(IXY, %s)" % (tmp_path / "target.csv"), "total"])]
    for sheet, r, expressions in cases:
        exact = sheet.name != "homogeniser.txt"
        result = varnock.optimize(sheet, {"TH0": (1, 100)}, [("minimize", e) for e in expressions],
                                  evaluations=1, smoothing=False, fast=not exact)
        assert result["evaluations_run"] == 1 and result["runs"] == 1
        for goal, e in zip(result["goals"], expressions):
            want = expected(r, e, target)
            assert goal["start"] == pytest.approx(want, rel=1e-9, abs=1e-12), e
            if exact:
                assert goal["exact_start"] == pytest.approx(want, rel=1e-9, abs=1e-12), e
        assert result["merit"]["start"] == pytest.approx(1.0)  # every term is E/E at the start


def test_the_report_shows_what_the_goals_measure():
    r = varnock.run(EXAMPLES / "condenser.txt")
    stats = r.statistics("IXY")
    cx, cy, rx, ry, _ = moments(r.IXY, r.DXY)
    assert stats["centroid_mm"] == pytest.approx((cx, cy), abs=1e-12)
    assert stats["rms_width_mm"] == pytest.approx((rx, ry), rel=1e-12)
    # FWHM along the centroid's row and column: a 20 mm disc is some 18 to 20 mm wide.
    assert 17 < stats["fwhm_mm"][0] < 21 and 17 < stats["fwhm_mm"][1] < 21


def test_focus_found_by_the_local_search(tmp_path):
    result = varnock.optimize(FOCUS, {"TH2": (70, 120)}, [("minimize", "rms_radius(IXY)")], evaluations=40,
                              folder=tmp_path / "focus")
    best = result["variables"][0]["best"]
    assert 95 < best < 110  # the sweep of TH2 in 0.5 mm steps finds its smallest spot near 103 mm
    assert result["merit"]["best"] < result["merit"]["start"] and result["runs"] <= 40
    assert result["goals"][0]["exact_best"] < result["goals"][0]["exact_start"]
    folder = tmp_path / "focus"
    for name in ("best.txt", "OUT_M.txt", "OUT_MI.txt", "report.html", "optimize.json", "history.csv",
                 "optimize.html"):
        assert (folder / name).exists(), name
    assert varnock.Sheet(folder / "best.txt")["TH2"] == best
    best_sheet = varnock.Sheet(FOCUS)
    best_sheet["TH2"] = best
    assert (folder / "best.txt").read_bytes() == best_sheet.bytes  # every other byte as it was
    history = (folder / "history.csv").read_text().splitlines()
    assert len(history) == 1 + result["evaluations_run"] and history[0].startswith("evaluation,phase,cached,TH2,")
    assert json.loads((folder / "optimize.json").read_text())["variables"][0]["best"] == best


@pytest.mark.parametrize("args, message", [
    (["--vary", "TH2=120:70", "--minimize", "ratio"], "LO must be below HI"),
    (["--vary", "TH2=100:120", "--minimize", "ratio"], "outside the bounds"),
    (["--vary", "NRING=1:20", "--minimize", "ratio"], "whole-number cell"),
    (["--vary", "BOGUS=1:2", "--minimize", "ratio"], "RN2.3"),
    (["--vary", "TH2=70:120", "--minimize", "wobble(IXY)"], "accepted forms"),
    (["--vary", "TH2=70:120", "--minimize", "uniformity(IXY)"], "a map and a size"),
    (["--vary", "TH2=70:120", "--weight", "2", "--minimize", "ratio"], "after the goal"),
    (["--vary", "TH2=70:120"], "give a goal"),
    (["--vary", "TH2=70:120", "--minimize", "uniformity(IXY, 0.05)"], "not a number at the start"),
    (["--vary", "TH2=70:120", "--target", "ratio"], "EXPR=VALUE"),
    (["--vary", "TH2=70:120", "--minimize", "ratio", "--scale", "0"], "positive number"),
])
def test_bad_arguments_exit_2(cli, tmp_path, args, message):
    done = subprocess.run([cli, "optimize", str(FOCUS), *args, "-o", str(tmp_path / "o")], capture_output=True,
                          text=True)
    assert done.returncode == 2 and message in done.stderr, done.stderr
    assert len(done.stderr.strip().splitlines()) == 1


def test_refusals_that_keep_other_work(cli, run_cli, tmp_path):
    # A study's folder is not an optimisation's: its points stay.
    run_cli("sweep", "-q", FOCUS, "--set", "TH2=90,100", "-o", tmp_path / "study")
    before = sorted(os.listdir(tmp_path / "study" / "points"))
    for extra in ([], ["--resume"]):
        done = subprocess.run([cli, "optimize", str(FOCUS), "--vary", "TH2=70:120", "--minimize", "ratio",
                               "-o", str(tmp_path / "study"), *extra], capture_output=True, text=True)
        assert done.returncode == 2 and "holds a study" in done.stderr
    assert sorted(os.listdir(tmp_path / "study" / "points")) == before
    # A target without weight is no target.
    (tmp_path / "zero.csv").write_text("y\\x," + ",".join(["0"] * 41) + "\n" +
                                       "".join("0," + ",".join(["0"] * 41) + "\n" for _ in range(41)))
    with pytest.raises(ValueError, match="no weight"):
        varnock.optimize(FOCUS, {"TH2": (70, 120)}, [("minimize", f"match(IXY, {tmp_path / 'zero.csv'})")])
    with pytest.raises(ValueError, match="finite"):
        varnock.optimize(FOCUS, {"TH2": (70, 120)}, [("target", "ratio=nan")])


def test_the_start_is_the_sheets_own_value(tmp_path):
    # 0.02 does not come back from 0.006 + u (0.03 - 0.006) bit for bit.
    result = varnock.optimize(FOCUS, {"CV1": (0.006, 0.03)}, [("maximize", "ratio")], evaluations=2,
                              folder=tmp_path)
    first = (tmp_path / "history.csv").read_text().splitlines()[1].split(",")
    assert first[:4] == ["1", "start", "0", "0.02"] and result["variables"][0]["start"] == 0.02


def test_resume_after_a_kill_runs_no_point_twice(cli, tmp_path):
    command = [cli, "optimize", str(FOCUS), "--vary", "TH2=70:120", "--vary", "TH0=90:110",
               "--minimize", "rms_radius(IXY)", "--evaluations", "30", "-q", "-t", "1"]
    whole = tmp_path / "whole"
    subprocess.run(command + ["-o", str(whole)], check=True)
    part = tmp_path / "part"
    child = subprocess.Popen(command + ["-o", str(part)])
    points = part / "points"
    while not points.exists() or len(os.listdir(points)) < 8:  # killed part way
        assert child.poll() is None, "the search ended before it could be killed"
        time.sleep(0.01)
    child.send_signal(signal.SIGKILL)
    child.wait()
    on_disk = len([n for n in os.listdir(points) if n.endswith(".json")])
    done = subprocess.run(command + ["-o", str(part), "--resume"], capture_output=True, text=True, check=True)
    assert on_disk >= 8 and f"{on_disk} points were on disk" in done.stderr
    a = json.loads((whole / "optimize.json").read_text())
    b = json.loads((part / "optimize.json").read_text())
    assert b["runs"] == a["runs"] - on_disk  # the replay ran only the points that were not there
    for key in ("variables", "evaluations_run", "best_evaluation"):
        assert a[key] == b[key], key
    assert a["merit"]["best"] == b["merit"]["best"]
