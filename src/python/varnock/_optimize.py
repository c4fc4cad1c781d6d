"""varnock.optimize: the optimisation of `varnock optimize`, from Python."""

import json
import os
import tempfile

from . import _core
from ._progress import adapt
from ._sheets import as_sheet

_KINDS = ("minimize", "maximize", "target")


def _goal(goal):
    """(kind, expression, weight, scale, target) from the forms optimize takes."""
    if isinstance(goal, dict):
        kind, expression = goal["kind"], goal["expression"]
        return (kind, expression, float(goal.get("weight", 1.0)), goal.get("scale"), goal.get("target"))
    goal = tuple(goal)
    if len(goal) < 2 or goal[0] not in _KINDS:
        raise ValueError(f"a goal is (kind, expression[, weight]) with kind one of {_KINDS}, not {goal!r}")
    kind, expression = goal[0], goal[1]
    weight = float(goal[2]) if len(goal) > 2 else 1.0
    target = None
    if kind == "target":
        expression, sep, value = expression.rpartition("=")
        if not sep:
            raise ValueError("a target goal's expression is 'EXPR=VALUE', as --target takes it")
        target = float(value)
    return (kind, expression, weight, None, target)


def _number(value):
    if isinstance(value, bool):
        raise TypeError("bounds and steps are numbers")
    return repr(float(value))


def run_optimization(sheet, vary, goals, *, method="local", evaluations=200, seed=1, fast=True,
                     smoothing=True, steps=None, threads=0, folder=None, resume=False, progress=None):
    sheet = as_sheet(sheet)
    ranges = [f"{name}={_number(lo)}:{_number(hi)}" for name, (lo, hi) in vary.items()]
    step_texts = [f"{name}={_number(step)}" for name, step in (steps or {}).items()]
    specs = [_goal(g) for g in goals]

    def optimize_in(where):
        text = _core.optimize(sheet, ranges, step_texts, specs, method, evaluations, seed, smoothing,
                              not fast, threads, where, resume, adapt(progress))
        result = json.loads(text)
        result["folder"] = where if folder is not None else None
        return result

    if folder is not None:
        os.makedirs(os.fspath(folder), exist_ok=True)
        return optimize_in(os.fspath(folder))
    with tempfile.TemporaryDirectory(prefix="varnock-optimize-") as where:
        return optimize_in(where)
