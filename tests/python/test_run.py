"""Runs in memory and into folders, their results, errors, threads and Ctrl-C."""

import math
import os
import signal
import subprocess
import sys
import textwrap
import threading
import time

import numpy as np
import pytest
import varnock

RESULT_FILES = ("OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt")


def longer(sheet, scan_steps):
    """The sheet with more axial scan steps: a run of a few seconds."""
    sheet = sheet.copy()
    sheet["NSCAN"] = scan_steps
    return sheet


def test_output_dir_holds_the_cli_files(condenser, tmp_path, run_cli):
    (tmp_path / "cli").mkdir()
    run_cli("run", "-q", condenser, "-o", tmp_path / "cli")
    r = varnock.run(condenser, output_dir=tmp_path / "py", threads=2)
    for name in RESULT_FILES:
        assert (tmp_path / "py" / name).read_bytes() == (tmp_path / "cli" / name).read_bytes(), name
    assert (tmp_path / "py" / "run.json").exists() and (tmp_path / "py" / "report.html").exists()
    assert sorted(os.listdir(tmp_path / "py")) == sorted(os.listdir(tmp_path / "cli"))
    # In memory, the same numbers.
    m = varnock.run(varnock.Sheet(condenser), threads=1)
    assert m.total == r.total and np.array_equal(m.IXY, r.IXY) and np.array_equal(m.IUV_P_rays, r.IUV_P_rays)


def test_result_layout_and_statistics(condenser, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    r = varnock.run(condenser)
    assert r.IXY.shape == r.IUV.shape == r.IUV_P.shape == (41, 41) and r.IXY.dtype == np.float64
    assert r.IXY_rays.dtype == np.int64 and r.IXY_rays.sum() > 0
    assert r.x[20] == 0 and r.x[21] == r.DXY == 0.5 and r.u[21] == pytest.approx(10.0)  # mrad
    assert math.isclose(math.fsum(r.IXY.ravel()), r.transmitted, rel_tol=1e-12)
    assert r.ratio == r.transmitted / r.total and r.mode == "exact" and r.warnings == []
    assert r.steps == r.rays_traced * r.surfaces and r.fan_rays > 0 and r.elapsed > 0

    s = r.statistics("IXY")
    i, j = s["peak_cell"]
    assert s["unit"] == "mm" and s["peak"] == r.IXY.max() == r.IXY[i, j]
    assert s["peak_at_mm"] == (r.x[i], r.y[j])
    centroid_x = (r.IXY.sum(axis=1) * r.x).sum() / r.IXY.sum()
    assert s["centroid_mm"][0] == pytest.approx(centroid_x, abs=1e-9)
    assert "rms_width_mrad" in r.statistics("IUV")
    with pytest.raises(KeyError):
        r.statistics("IXZ")

    page = r.report_html()
    assert page.startswith("<!DOCTYPE html>") and "condenser.txt" in page
    assert "http://" not in page and "https://" not in page  # self-contained
    assert r._repr_html_().startswith("<iframe srcdoc=")
    assert os.listdir(tmp_path) == []  # a run in memory writes nothing, here or anywhere


def test_plot_draws_each_map(condenser):
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    r = varnock.run(condenser, fast=True)
    figure = r.plot()
    image = figure.axes[0].images[0]
    assert np.array_equal(image.get_array(), r.IXY.T)  # seen along +z: x across, y up
    assert [ax.get_title() for ax in figure.axes[:3]] == ["IXY", "IUV", "IUV_P"]


def test_session_keeps_the_source_point(condenser, tmp_path):
    session = varnock.Session()
    session.run(condenser, output_dir=tmp_path / "a")
    session.run(condenser, output_dir=tmp_path / "b")
    varnock.run(condenser, output_dir=tmp_path / "c")
    listing = {d: (tmp_path / d / "OUT_MI.txt").read_bytes() for d in "abc"}
    assert listing["a"] == listing["c"] != listing["b"]  # a second run shows where the first ended
    assert (tmp_path / "a" / "OUT_M.txt").read_bytes() == (tmp_path / "b" / "OUT_M.txt").read_bytes()


def test_errors(condenser, tmp_path):
    sheet = varnock.Sheet(condenser)
    with pytest.raises(varnock.SheetError) as e:
        varnock.run(tmp_path / "missing.txt")
    assert e.value.file.endswith("missing.txt") and e.value.row == 0 and "cannot open" in e.value.message

    sheet["NTH"] = 100_000_000
    with pytest.raises(varnock.SheetError) as e:
        varnock.run(sheet)
    assert (e.value.row, e.value.column) == (6, 3) and "C6" in str(e.value)

    (tmp_path / "file").write_text("")
    with pytest.raises(varnock.OutputError):
        varnock.run(condenser, output_dir=tmp_path / "file")

    with pytest.raises(ValueError):
        varnock.run(condenser, fast=True, simd="neon")
    for kind in (varnock.SheetError, varnock.OutputError, varnock.Unsupported):
        assert issubclass(kind, varnock.Error)

    # Messages may quote Shift-JIS cells: they still come through.
    sheet = varnock.Sheet(condenser)
    sheet["RSRC"] = "１"
    assert "C7" in varnock.run(sheet).warnings[0]
    with pytest.raises(varnock.SheetError):
        varnock.run(os.fsencode(tmp_path) + b"/\x83missing.txt")


def test_unsupported_simd_path(condenser):
    lacking = [path for path, ok in varnock.simd_paths().items() if not ok]
    if not lacking:
        pytest.skip("this processor runs every instruction-set path")
    with pytest.raises(varnock.Unsupported):
        varnock.run(condenser, fast=True, simd=lacking[0])


def test_progress_reaches_the_end(condenser):
    seen = []
    varnock.run(condenser, progress=seen.append)
    assert seen and seen[-1].fraction == 1 and seen[-1].done == seen[-1].total == 36

    class Bar:  # what varnock asks of a tqdm bar
        total, n = 100, 0

        def update(self, k):
            self.n += k

    bar = Bar()
    varnock.run(condenser, progress=bar)
    assert bar.n == pytest.approx(100)

    def fails(p):
        raise RuntimeError("from progress")
    with pytest.raises(RuntimeError, match="from progress"):
        varnock.run(condenser, progress=fails)

    # The run has its own copy of the sheet: an edit while it runs is not seen.
    sheet = longer(varnock.Sheet(condenser), 20)
    r = varnock.run(sheet, threads=1, progress=lambda p: sheet.__setitem__("TH0", 30.0))
    assert sheet["TH0"] == 30.0 and r.sheet["TH0"] == 20.0


def test_two_threads_run_side_by_side(condenser):
    sheet = longer(varnock.Sheet(condenser), 40)  # about half a second each
    spans, results = {}, {}

    def work(name):
        start = time.monotonic()
        results[name] = varnock.run(sheet, threads=1)
        spans[name] = (start, time.monotonic())

    threads = [threading.Thread(target=work, args=(k,)) for k in "ab"]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    (a0, a1), (b0, b1) = spans["a"], spans["b"]
    assert a0 < b1 and b0 < a1  # the runs overlapped: neither held the GIL
    assert np.array_equal(results["a"].IXY, results["b"].IXY)


CTRL_C_SCRIPT = textwrap.dedent("""
    import sys, time, varnock
    sheet = varnock.Sheet(sys.argv[1])
    sheet["NSCAN"] = 100000
    try:
        varnock.run(sheet, threads=1, output_dir=sys.argv[2],
                    progress=lambda p: print("running", flush=True))
    except KeyboardInterrupt:
        print("interrupted", time.monotonic(), flush=True)
""")


def test_ctrl_c_cancels_a_long_run(condenser, tmp_path):
    out = tmp_path / "out"
    out.mkdir()
    child = subprocess.Popen([sys.executable, "-c", CTRL_C_SCRIPT, str(condenser), str(out)],
                             stdout=subprocess.PIPE, text=True, env=os.environ)
    assert child.stdout.readline().strip() == "running"
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    lines = child.communicate(timeout=20)[0].splitlines()
    interrupted = [line for line in lines if line.startswith("interrupted")]
    assert interrupted, lines
    # About 0.1 s on an idle machine; the bound leaves room for a loaded one.
    assert float(interrupted[0].split()[1]) - sent < 2.0
    assert os.listdir(out) == []  # no file half-written, no temporary left
