"""The package's build backend: setuptools, run in a scratch copy of the source folder.

setuptools writes build/ and asynccomm.egg-info/ next to the sources and builds the next wheel
from what build/ still holds (a module deleted from the sources came back). Building in a fresh
copy leaves the source folder as it was and every wheel made of exactly the sources.

The copy also gets the meanings table the package shares with cnccomm: it lives in the project's
api/ folder beside python/ (an sdist carries it inside the package already).
"""

import contextlib
import os
import shutil
import tempfile

from setuptools import build_meta

_LEFT_OUT = shutil.ignore_patterns("build", "dist", "*.egg-info", "__pycache__", "tests", "_install_paths.py")
_TABLE = os.path.join("asynccomm", "meanings.tsv")
_TABLE_IN_PROJECT = os.path.join(os.pardir, "api", "AsyncCommModuleMeanings.tsv")


def _with_table(source, copy):
    if os.path.exists(os.path.join(copy, _TABLE)):
        return
    table = os.path.join(source, _TABLE_IN_PROJECT)
    if not os.path.exists(table):  # a package without it would explain no controller text
        raise FileNotFoundError("the meanings table %s is missing" % os.path.abspath(table))
    shutil.copyfile(table, os.path.join(copy, _TABLE))


@contextlib.contextmanager
def _in_a_copy():
    source = os.getcwd()
    with tempfile.TemporaryDirectory(prefix="asynccomm-build-") as scratch:
        copy = os.path.join(scratch, "source")
        shutil.copytree(source, copy, ignore=_LEFT_OUT)
        _with_table(source, copy)
        os.chdir(copy)
        try:
            yield
        finally:
            os.chdir(source)


def _copied(hook):
    def run(*args, **kwargs):
        with _in_a_copy():
            return hook(*args, **kwargs)
    run.__name__ = hook.__name__
    return run


build_wheel = _copied(build_meta.build_wheel)
build_sdist = _copied(build_meta.build_sdist)
prepare_metadata_for_build_wheel = _copied(build_meta.prepare_metadata_for_build_wheel)
get_requires_for_build_wheel = _copied(build_meta.get_requires_for_build_wheel)
get_requires_for_build_sdist = _copied(build_meta.get_requires_for_build_sdist)
