"""The package under test is the build's (PYTHONPATH=<build>/python), its CLI
the same build's (VARNOCK_CLI): CTest sets both."""

import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"


@pytest.fixture(scope="session")
def cli():
    path = os.environ.get("VARNOCK_CLI")
    if not path:
        pytest.fail("VARNOCK_CLI must name the build's varnock tool")
    return path


@pytest.fixture(scope="session")
def run_cli(cli):
    def run(*args):
        done = subprocess.run([cli, *map(str, args)], capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
        return done
    return run


@pytest.fixture
def condenser():
    return EXAMPLES / "condenser.txt"
