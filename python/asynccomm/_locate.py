"""Finding libAsyncCommModule.so.1 and the cnc-simulator program.

The order is the same for both: an explicit path, the package's environment variable, a copy
next to the package, the CMake install prefix the package was installed with, then the
system's own search (the dynamic loader's path, or PATH). A failure names every place tried,
since "the library cannot be found" is the first thing that goes wrong for a new user.
"""

from __future__ import annotations

import ctypes
import importlib
import os
import shutil
from typing import List, Optional, Tuple

Places = List[Tuple[str, str]]

LIBRARY_NAME = "libAsyncCommModule.so.1"
SIMULATOR_NAME = "cnc-simulator"
LIBRARY_VARIABLE = "ASYNCCOMM_LIBRARY"
SIMULATOR_VARIABLE = "ASYNCCOMM_SIMULATOR"

_HERE = os.path.dirname(os.path.abspath(__file__))


class LibraryNotFound(OSError):
    """The shared library (or the simulator program) was found nowhere; the message lists where it looked."""


def _install_dirs() -> Tuple[Optional[str], Optional[str]]:
    """(libdir, bindir) written into the package by ``cmake --install``, or (None, None)."""
    try:
        paths = importlib.import_module(__package__ + "._install_paths")  # generated at install time only
    except ImportError:
        return None, None
    return paths.LIBDIR, paths.BINDIR


def _candidates(explicit: Optional[str], variable: str, name: str, install_dir: Optional[str]) -> Places:
    places = []
    if explicit:
        places.append(("the path given", os.fspath(explicit)))
    if os.environ.get(variable):
        places.append(("$" + variable, os.environ[variable]))
    places.append(("next to the package", os.path.join(_HERE, name)))
    if install_dir:
        places.append(("the install prefix", os.path.join(install_dir, name)))
    return places


def library_candidates(path: Optional[str] = None) -> Places:
    """The (origin, path) pairs tried for the library before the loader's own search, in order."""
    return _candidates(path, LIBRARY_VARIABLE, LIBRARY_NAME, _install_dirs()[0])


def simulator_candidates(path: Optional[str] = None) -> Places:
    """The (origin, path) pairs tried for ``cnc-simulator`` before PATH, in order."""
    return _candidates(path, SIMULATOR_VARIABLE, SIMULATOR_NAME, _install_dirs()[1])


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """Load the library from the first place that has it; ``LibraryNotFound`` lists them all."""
    tried = []
    for origin, candidate in library_candidates(path):
        if os.path.exists(candidate):
            try:
                return ctypes.CDLL(candidate)
            except OSError as error:
                tried.append("%s: %s (%s)" % (origin, candidate, error))
                if origin in ("the path given", "$" + LIBRARY_VARIABLE):
                    break
        else:
            tried.append("%s: %s (no such file)" % (origin, candidate))
            if origin in ("the path given", "$" + LIBRARY_VARIABLE):
                break  # an explicit choice that is wrong must not fall back silently
    else:
        try:
            return ctypes.CDLL(LIBRARY_NAME)
        except OSError as error:
            tried.append("the system's library search path (LD_LIBRARY_PATH, ldconfig): %s" % error)
    raise LibraryNotFound("cannot load %s; looked in:\n  %s" % (LIBRARY_NAME, "\n  ".join(tried)))


def find_simulator(path: Optional[str] = None) -> str:
    """The path of the ``cnc-simulator`` program; ``LibraryNotFound`` lists every place tried."""
    tried = []
    for origin, candidate in simulator_candidates(path):
        if os.access(candidate, os.X_OK):
            return candidate
        tried.append("%s: %s" % (origin, candidate))
        if origin in ("the path given", "$" + SIMULATOR_VARIABLE):
            break
    else:
        found = shutil.which(SIMULATOR_NAME)
        if found:
            return found
        tried.append("PATH")
    raise LibraryNotFound("cannot find %s; looked in:\n  %s" % (SIMULATOR_NAME, "\n  ".join(tried)))


def same_file(a: str, b: str) -> Optional[bool]:
    """Whether paths a and b name one file; None when either does not exist."""
    try:
        return os.path.samefile(a, b)
    except OSError:
        return None
