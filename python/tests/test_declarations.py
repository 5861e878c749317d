"""The ctypes declarations and the result texts must match the C headers; the types check."""
import ctypes
import os
import re
import subprocess
import sys

import pytest

from asynccomm import _native, errors

API = os.path.join(os.path.dirname(__file__), "..", "..", "api")
C_TYPES = {"CncLong": ctypes.c_int32, "int": ctypes.c_int, "bool": ctypes.c_bool, "double": ctypes.c_double,
           "CncLong*": ctypes.POINTER(ctypes.c_int32), "char*": ctypes.c_char_p, "constchar*": ctypes.c_char_p, "AcmRemoteBuffer*": ctypes.c_void_p,
           "ErrCallbackFunc": _native.ErrCallbackFunc}


def header_exports():
    text = open(os.path.join(API, "AsyncCommModule.h")).read()
    found = {}
    for ret, name, params in re.findall(r"ACM_EXPORT\s+(\w+\s*\*?)\s*(\w+)\(([^)]*)\);", text):
        types = [re.sub(r"\s*\b\w+$", "", p.strip()).replace(" ", "") for p in params.split(",")]
        found[name] = (ret.replace(" ", ""), types)
    return found


def test_every_export_is_declared_with_the_header_types():
    exports = header_exports()
    assert len(exports) == 101 and sorted(exports) == sorted(_native.PROTOTYPES)
    for name, (ret, args) in exports.items():
        assert _native.PROTOTYPES[name] == (C_TYPES[ret], [C_TYPES[a] for a in args]), name
    callback = _native.ErrCallbackFunc
    assert (callback._restype_, callback._argtypes_) == (None, (ctypes.c_int32, ctypes.c_int32, ctypes.c_char_p))
    lib = _native.library()
    assert all(getattr(lib, name).argtypes is not None for name in _native.PROTOTYPES)


def test_the_prototypes_are_those_of_the_command_table():
    lists = os.environ.get("ACM_EXPORT_LISTS")
    if not lists:
        pytest.skip("the build's export-lists program is not named")
    written = subprocess.run([lists, "python"], capture_output=True, text=True, check=True).stdout
    source = open(_native.__file__).read()
    assert re.findall(r'^    ("\w+": \(.*\)),$', source, re.M) == [line.rstrip(",") for line in written.splitlines()]


def test_result_texts_match_the_c_header():
    text = open(os.path.join(API, "AsyncCommModuleResults.h")).read()
    cases = re.findall(r"case (\d+):\s*return \"([^\"]*)\";", text)
    assert len(cases) > 10
    assert all(errors.result_text(int(code)) == want for code, want in cases)
    assert errors.result_text(150) == "controller failure: the reply's state is the code minus 100"


@pytest.mark.parametrize("code, cls", [(1, errors.ArgumentError), (4, errors.QueueFull), (7, errors.NotConnected),
                                       (111, errors.NoReply), (103, errors.Refused), (200, errors.Refused),
                                       (113, errors.Error)])
def test_codes_map_to_their_exception(code, cls):
    assert type(errors.error_for(code, "f")) is cls


def test_the_examples_and_the_api_type_check_strictly():
    pytest.importorskip("mypy")
    here = os.path.dirname(os.path.abspath(__file__))
    package = os.path.dirname(here)
    run = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--cache-dir", ".mypy_cache",
                          os.path.join(package, "examples"), os.path.join(here, "typing_probe.py")],
                         capture_output=True, text=True, env=dict(os.environ, MYPYPATH=package))
    assert run.returncode == 0, run.stdout
