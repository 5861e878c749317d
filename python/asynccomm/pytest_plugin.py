"""pytest fixtures, registered with pytest when the package is installed (else ``pytest -p
asynccomm.pytest_plugin`` or ``pytest_plugins = ["asynccomm.pytest_plugin"]``).

``cnc_simulator`` is a running ``asynccomm.Simulator`` (rules from ``@pytest.mark.inject("...")``);
``cnc`` a connected ``asynccomm.Controller`` to it.
"""

from __future__ import annotations

from typing import Iterator

import pytest

from .controller import Controller
from .simulator import Simulator


def pytest_configure(config: pytest.Config) -> None:
    """Declare the ``inject`` marker."""
    config.addinivalue_line("markers", "inject(*rules): failure-injection rules for the cnc_simulator fixture")


@pytest.fixture
def cnc_simulator(request: pytest.FixtureRequest) -> Iterator[Simulator]:
    """A simulator of its own for the test, with the rules of the test's ``inject`` marker."""
    marker = request.node.get_closest_marker("inject")
    with Simulator(inject=marker.args if marker else ()) as simulator:
        yield simulator


@pytest.fixture
def cnc(cnc_simulator: Simulator) -> Iterator[Controller]:
    """A synchronous one-channel Controller connected to ``cnc_simulator``."""
    with Controller(cnc_simulator.address) as controller:
        yield controller
