"""Controller against the simulator: values, refusals and their reports, program transfer."""
import asyncio
import logging
import os
import subprocess
import sys
import time

import pytest

import asynccomm
from asynccomm import Controller, Simulator


# (inject rule, call, exception, code, controller's report or None)
REFUSALS = [
    ("r channel 1 state 3", lambda c: c.jog(0, 100), asynccomm.Refused, 103, None),
    ("f 3 state 2 times 1", lambda c: c.reset(1), asynccomm.Refused, 102, "program is runing."),
    ("B state 1", lambda c: c.read_vars([1000001]), asynccomm.NoReply, 111, "parameters error."),
    ("d 1 state 2", lambda c: c.send_program("O1", "G0"), asynccomm.ArgumentError, 1, "transmission denied"),
    ("p state 0", lambda c: c.watchdog(), asynccomm.Error, 3, None),
    ("g silent", lambda c: c.running_program(), asynccomm.NoReply, 111, None),
    (None, lambda c: c.file_info("O5"), asynccomm.Error, 3, None),
    (None, lambda c: c.write_vars({17000000: 1}), asynccomm.NoReply, 111, None),
]


@pytest.mark.parametrize("rule, call, exception, code, report", REFUSALS)
def test_a_failed_call_raises_its_code_and_the_controllers_text(rule, call, exception, code, report):
    with Simulator(inject=[rule] if rule else []) as sim, Controller(sim.address) as ctl:
        with pytest.raises(exception) as raised:
            call(ctl)
    assert raised.value.code == code
    assert (report in raised.value.detail) if report else raised.value.reports == []


@pytest.mark.inject("f 3 state 2 times 2")
def test_reports_go_to_the_callable_or_to_logging(cnc_simulator, caplog):
    seen = []
    with Controller(cnc_simulator.address, on_error=lambda *r: seen.append(r)) as ctl:
        pytest.raises(asynccomm.Refused, ctl.reset, 1)
    with Controller(cnc_simulator.address) as ctl, caplog.at_level(logging.WARNING, "asynccomm"):
        pytest.raises(asynccomm.Refused, ctl.reset, 1)
    assert seen == [(7, 2, "program is runing.")]
    assert [r.name for r in caplog.records if "program is runing." in r.getMessage()] == ["asynccomm"]


def test_a_program_sent_from_a_file_starts_by_name_once(cnc, tmp_path):
    (tmp_path / "O77").write_text("G01 X10\n" * 200)
    cnc.send_program_file(tmp_path / "O77")
    cnc.start_program("O77")
    assert pytest.raises(asynccomm.Refused, cnc.start_program, "O77").value.code == 102


def test_async_methods_run_without_blocking_the_loop(cnc):
    async def main():
        await cnc.write_vars_async({1000003: 11})
        ticks = asyncio.ensure_future(asyncio.sleep(0))
        values = await cnc.read_vars_async([1000003])
        return values, ticks.done()
    assert asyncio.run(main()) == ([11], True)


def test_polled_values_come_through_the_async_iterator(cnc, cnc_simulator):
    cnc.write_vars({1000004: 42})

    async def first_42(ctl):
        async for values in asynccomm.aio.poll(ctl, [1000004], interval=0.02):
            if values == [42]:
                return values
    with Controller(cnc_simulator.address, asynchronous=True) as ctl:
        assert asyncio.run(asyncio.wait_for(first_42(ctl), 10)) == [42]


def test_diagnostic_lines_reach_logging_and_nobody_is_not_connected(cnc_simulator, caplog):
    asynccomm.log_diagnostics(True)
    try:
        with caplog.at_level(logging.DEBUG, "asynccomm.diagnostics"), Controller(cnc_simulator.address):
            pass
    finally:
        asynccomm.log_diagnostics(False)
    assert any(r.name == "asynccomm.diagnostics" and cnc_simulator.address in r.getMessage() for r in caplog.records)
    pytest.raises(asynccomm.NotConnected, Controller, "127.255.255.254")


@pytest.mark.parametrize("variable, value", [("ASYNCCOMM_LIBRARY", "/nowhere/lib.so"), ("ASYNCCOMM_SIMULATOR", "/nowhere/sim")])
def test_a_missing_file_is_named_in_the_failure(variable, value, monkeypatch):
    monkeypatch.setenv(variable, value)
    code = "import asynccomm; asynccomm.library(); asynccomm.find_simulator()"
    monkeypatch.setenv("PYTHONPATH", os.path.dirname(asynccomm.__path__[0]))
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert "LibraryNotFound" in run.stderr and value in run.stderr


# (what to do first, what to ask, the answer): each row checks one method's arguments reach the controller
MACHINE = [
    (lambda c: c.write_vars({1000001: 7, 1000002: -5, 120138: 2**31 - 1}), lambda c: c.read_vars([1000001, 1000002, 120138]),
     [7, -5, 2**31 - 1]),  # signed 32-bit
    (lambda c: c.move(0, 25, feed=100), lambda c: c.coordinate(0), 25),
    (lambda c: c.move(1, -7, feed=100, absolute=True), lambda c: c.coordinates(2), [0, -7]),
    (lambda c: c.set_bit("O", 5, 1), lambda c: [c.get_bit("I", 5), c.get_bit("I", 4)], [1, 0]),
    (lambda c: c.set_bit("C", 3, 1), lambda c: c.get_bit("C", 3), 1),
    (lambda c: c.write_vars({1032048: 0b100}), lambda c: c.read_bits(1, 0, [2, 3]), [1, 0]),
    (lambda c: c.emergency_stop(), lambda c: c.alarm(), (1, 1, 1001)),
    (lambda c: c.servo(2, on=False), lambda c: [c.is_servo_on(2), c.is_servo_on(1)], [False, True]),
    (lambda c: c.cycle_start(), lambda c: c.running_program(), "O1234"),
    (lambda c: None, lambda c: c.running_program(), "O0001"),
    (lambda c: None, lambda c: c.connected and c.watchdog() is None, True),
]


@pytest.mark.parametrize("action, query, answer", MACHINE)
def test_machine_methods_reach_the_controller(cnc, action, query, answer):
    action(cnc)
    assert query(cnc) == answer


def test_homing_ends(cnc):
    cnc.home(0)
    deadline = time.monotonic() + 5
    while not cnc.is_homed(0) and time.monotonic() < deadline:
        time.sleep(0.01)  # a poll of the homing state, bounded by the deadline
    assert cnc.is_homed(0) and not cnc.is_moving(0)
