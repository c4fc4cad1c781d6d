"""Varnock: illumination ray tracing of a ring source through a coaxial system
of lenses, mirrors, lens arrays and stops, from Python.

    import varnock

    sheet = varnock.Sheet("examples/condenser.txt")
    sheet["TH2"] = 25.0                      # the distance after surface 2
    r = varnock.run(sheet, fast=True)        # in memory: no file is written
    print(r.total, r.ratio, r.statistics("IXY")["rms_width_mm"])
    plt.imshow(r.IXY.T, origin="lower")      # IXY[x cell, y cell]: .T to see it along +z

    table = varnock.sweep(sheet, {"TH2": [20, 25, 30]})
    table.to_pandas()                        # with pandas installed

Runs release the GIL, so Python threads run side by side; Ctrl-C stops a
run within a fraction of a second and raises KeyboardInterrupt, leaving no
file half-written. Every failure is a varnock.Error: SheetError,
OutputError or Unsupported.
"""

import os as _os

from . import _core
from ._core import Cell, Progress, Result, Sheet, simd_paths
from ._display import plot as _plot, repr_html as _repr_html
from ._progress import adapt as _adapt
from ._sheets import as_sheet as _as_sheet
from . import _optimize, _study
from .errors import Error, OutputError, SheetError, Unsupported

__version__ = _core.__version__
__all__ = ["Sheet", "Cell", "Result", "Progress", "Session", "run", "sweep", "trials", "optimize", "Records",
           "simd_paths",
           "Error", "SheetError", "OutputError", "Unsupported"]

Records = _study.Records
Result.plot = _plot
Result._repr_html_ = _repr_html
for _cls in (Sheet, Cell, Result, Progress):
    _cls.__module__ = __name__  # help() and reprs name them varnock.Sheet, ...


def _folder(output_dir):
    return None if output_dir is None else _os.fspath(output_dir)


def run(sheet, *, fast=False, threads=0, exact_sums=False, output_dir=None, progress=None,
        simd="auto"):
    """Runs a sheet and returns its varnock.Result.

    sheet: a varnock.Sheet, or the path of a sheet file.
    fast: trace in fast mode (vectors of rays, no trigonometry; nearly
        always the same numbers as exact mode, the grids within a ray or two).
    threads: threads that trace; 0 uses every CPU this process may run on.
        The results are the same for every count.
    exact_sums: sum TOTAL and every cell exactly, rounded once, instead of
        the legacy running sums (which the drop-in files hold).
    output_dir: a folder to write the files `varnock run` writes into
        (OUT_MI.txt, OUT_MR.txt, OUT_M.txt, run.json, report.html), replaced
        as a set, made if it does not exist; None (the default) writes
        nothing.
    progress: called about ten times a second with a varnock.Progress
        (fraction, done, total, elapsed, seconds_left), or a tqdm bar,
        e.g. tqdm(total=100, unit="%").
    simd: the fast mode's instruction set: "auto" (the widest the
        processor has), "avx512", "avx2" or "sse2" (see simd_paths()).

    Every run is a first run in a fresh model, so its files are those of
    `varnock run`; varnock.Session keeps the source point between runs.
    Raises SheetError, OutputError or Unsupported (ValueError and TypeError
    for arguments of the wrong kind); KeyboardInterrupt on Ctrl-C (the run
    is cancelled and leaves a folder as it was). Python sees Ctrl-C on its
    main thread only: a run on another thread finishes.
    """
    return _core.run(_as_sheet(sheet), fast, simd, threads, exact_sums, _folder(output_dir),
                     _adapt(progress))


class Session:
    """Runs that follow one another as in one loaded copy of the legacy library.

    A run leaves one thing for the next: the source point it ended on,
    which the next run's fan listing (OUT_MI.txt) shows, as the spreadsheet
    front end saw it calling main6 again. varnock.run starts afresh every
    time. A Session runs one run at a time; a second thread waits its turn.
    """

    def __init__(self):
        self._session = _core.Session()

    def run(self, sheet, *, fast=False, threads=0, exact_sums=False, output_dir=None, progress=None,
            simd="auto"):
        """Runs a sheet in this session; the arguments are those of varnock.run."""
        return self._session.run(_as_sheet(sheet), fast, simd, threads, exact_sums, _folder(output_dir),
                                 _adapt(progress))


def sweep(sheet, cells, *, zip=False, folder=None, resume=False, fast=False, threads=0,
          exact_sums=False, progress=None):
    """Runs a parameter sweep and returns its table as varnock.Records.

    cells: {name: values}, values a list of numbers (or a text as
        `varnock sweep --set` takes it: FROM:TO:COUNT or a comma list).
        Every combination of the values runs, or with zip=True the values
        paired one by one (the lists as long as each other).
    folder: the study's folder (study.json, points/, sweep.csv and the page
        sweep.html, as `varnock sweep -o` writes them); None runs in a
        temporary folder that is removed. resume=True keeps the points the
        folder holds and runs only the rest.
    fast, threads, exact_sums: as for varnock.run, for every point.
    progress: called with a varnock.Progress counting points, or a tqdm bar.

    The records are the rows of sweep.csv: the same values and numbers
    `varnock sweep` gives. Records.to_pandas() makes a DataFrame.
    """
    return _study.run_study("sweep", sheet, _study.sweep_specs(cells), zip=zip, folder=folder,
                            resume=resume, fast=fast, threads=threads, exact_sums=exact_sums,
                            progress=progress)


def trials(sheet, cells, *, n, seed=1, folder=None, resume=False, fast=False, threads=0,
           exact_sums=False, progress=None):
    """Runs Monte-Carlo tolerance trials and returns their table as varnock.Records.

    cells: {name: ("normal", SIGMA) or ("uniform", HALFWIDTH)}, the jitter
        of each cell about the sheet's own value (or the text
        `varnock trials --jitter` takes, "normal:0.001").
    n: trials drawn beside the nominal trial 0; seed: the draws' seed
        (default 1): trial k draws the same values as `varnock trials` does
        for that seed, wherever and in whatever order it runs.
    folder, resume, fast, threads, exact_sums, progress: as for varnock.sweep.

    The records are the rows of trials.csv.
    """
    return _study.run_study("trials", sheet, _study.jitter_specs(cells), trials=n, seed=seed,
                            folder=folder, resume=resume, fast=fast, threads=threads,
                            exact_sums=exact_sums, progress=progress)


def optimize(sheet, vary, goals, *, method="local", evaluations=200, seed=1, fast=True, smoothing=True,
             steps=None, threads=0, folder=None, resume=False, progress=None):
    """Finds the values of some cells that give the light asked for, as
    `varnock optimize` does, and returns what optimize.json holds, as a dict.

    vary: {name: (lo, hi)}, real cells and their bounds; the sheet's own
        values are the start and must lie inside them.
    goals: a list of (kind, expression[, weight]) with kind "minimize",
        "maximize" or "target" (its expression "EXPR=VALUE"), or dicts
        {"kind", "expression", "target", "weight", "scale"}. Expressions as
        the command takes them: "ratio", "rms_radius(IXY)",
        "uniformity(IXY, 10)", "match(IXY, target.csv)", ...
    method: "local" (Sbplx from the start) or "global" (DIRECT-L, then Sbplx).
    evaluations: the most points evaluated; seed: any randomness's seed.
    fast: evaluate in fast mode (the default); smoothing: evaluate goals on
        bilinearly smoothed maps (the default), so that small steps change
        the merit. The best point's files always come from an exact run.
    steps: {name: initial step}; default a tenth of each range.
    folder: the results' folder (points/, history.csv, best.txt, the best
        point's OUT_* files and report.html, optimize.json, optimize.html);
        None runs in a temporary folder that is removed. resume=True replays
        the search over the points the folder holds.
    progress: called with a varnock.Progress counting evaluations, or a tqdm bar.

    The dict holds the variables with their start and best values, each
    goal's value, term and contribution at the start and best point (as the
    optimiser saw them and from the exact runs), the merit, evaluations,
    method and seed. Ctrl-C stops the search and raises KeyboardInterrupt.
    """
    return _optimize.run_optimization(sheet, vary, goals, method=method, evaluations=evaluations, seed=seed,
                                      fast=fast, smoothing=smoothing, steps=steps, threads=threads,
                                      folder=folder, resume=resume, progress=progress)
