"""The example notebook runs from top to bottom (its code cells as one script,
headless, in its own folder)."""

import json
import os

import pytest

from conftest import EXAMPLES


def test_sweep_notebook_runs(monkeypatch):
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    notebook = json.loads((EXAMPLES / "sweep.ipynb").read_text())
    for cell in notebook["cells"]:
        assert cell.get("outputs", []) == [] and cell.get("execution_count") is None  # stripped
    code = "\n".join("".join(c["source"]) for c in notebook["cells"] if c["cell_type"] == "code")
    monkeypatch.chdir(EXAMPLES)
    before = sorted(os.listdir(EXAMPLES))
    scope = {}
    exec(compile(code, "sweep.ipynb", "exec"), scope)
    assert len(scope["table"]) == 19 and all(row["status"] == "ok" for row in scope["table"])
    assert sorted(os.listdir(EXAMPLES)) == before  # it writes nothing beside itself
