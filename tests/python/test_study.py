"""Sweeps and trials from Python: the same table as the CLI's."""

import math

import varnock


def csv_rows(path):
    from varnock._study import read_table
    return read_table(path)


def test_sweep_matches_the_cli(condenser, tmp_path, run_cli):
    run_cli("sweep", "-q", condenser, "--set", "TH0=12:30:4", "--set", "NRING=4,8", "-o", tmp_path / "cli")
    table = varnock.sweep(varnock.Sheet(condenser), {"TH0": [12, 18, 24, 30], "NRING": [4, 8]},
                          folder=tmp_path / "py")
    assert (tmp_path / "py" / "sweep.csv").read_bytes() == (tmp_path / "cli" / "sweep.csv").read_bytes()
    assert len(table) == 8 and table[0]["TH0"] == 12 and table[0]["status"] == "ok"
    assert table == csv_rows(tmp_path / "cli" / "sweep.csv")
    # In a temporary folder, the same records.
    again = varnock.sweep(condenser, {"TH0": "12:30:4", "NRING": [4, 8]})
    assert again == table and again.folder is None


def test_trials_match_the_cli(condenser, tmp_path, run_cli):
    run_cli("trials", "-q", condenser, "--jitter", "CV2=normal:0.001", "--jitter", "TH0=uniform:0.5",
            "-n", "5", "--seed", "7", "-o", tmp_path / "cli")
    table = varnock.trials(condenser, {"CV2": ("normal", 0.001), "TH0": "uniform:0.5"}, n=5, seed=7,
                           folder=tmp_path / "py")
    assert (tmp_path / "py" / "trials.csv").read_bytes() == (tmp_path / "cli" / "trials.csv").read_bytes()
    assert [row["point"] for row in table] == list(range(6)) and table[0]["TH0"] == 20
    assert not any(math.isnan(row["total"]) for row in table)


def test_records_to_pandas(condenser):
    table = varnock.sweep(condenser, {"TH0": [15, 20]})
    try:
        import pandas  # noqa: F401
    except ImportError:
        try:
            table.to_pandas()
        except ImportError as e:
            assert "pandas" in str(e)
        else:
            raise AssertionError("to_pandas without pandas must say so")
        return
    frame = table.to_pandas()
    assert list(frame.index) == [0, 1] and list(frame["TH0"]) == [15, 20]
