"""Controller against the simulator: values, refusals and their reports, program transfer."""
import asyncio
import concurrent.futures
import contextlib
import logging
import os
import pickle
import socket
import subprocess
import sys
import threading
import time

import pytest

import asynccomm
from asynccomm import Controller, Simulator


# (inject rule, call, exception, code, controller's report or None, what the code means for the call)
REFUSALS = [
    ("r channel 1 state 3", lambda c: c.jog(0, 100), asynccomm.Refused, 103, None, "the controller refused (state 3)"),
    ("f 3 state 2 times 1", lambda c: c.reset(1), asynccomm.Refused, 102, "runing. (7, 2: a program", "the controller refuses"),
    ("B state 1", lambda c: c.read_vars([1000001]), asynccomm.NoReply, 111, "parameters error.", "no valid reply"),
    ("d 1 state 2", lambda c: c.send_program("O1", "G0"), asynccomm.ArgumentError, 1, "denied", "refused: a bad argument, or"),
    ("d 3 state 3", lambda c: c.send_program("O1", "G0"), asynccomm.Refused, 103,
     "DNC 内存已满，此笔数据复写失败 (2, 3: DNC memory full: this overwrite block was not stored)", "the controller's memory"),
    ("p state 0", lambda c: c.watchdog(), asynccomm.Error, 3, None, "the controller's reply reported a failure"),
    ("g silent", lambda c: c.running_program(), asynccomm.NoReply, 111, None, "no valid reply"),
    (None, lambda c: c.file_info("O5"), asynccomm.Error, 3, None, "the controller's reply reported a failure"),
    (None, lambda c: c.write_vars({17000000: 1}), asynccomm.ArgumentError, 1, None, "refused before anything"),
]


@pytest.mark.parametrize("rule, call, exception, code, report, means", REFUSALS)
def test_a_failed_call_raises_its_code_and_the_controllers_text(rule, call, exception, code, report, means):
    with Simulator(inject=[rule] if rule else []) as sim, Controller(sim.address) as ctl:
        with pytest.raises(exception) as raised:
            call(ctl)
    assert raised.value.code == code and " on %s returned %d: %s" % (sim.address, code, means) in str(raised.value)
    assert (report in raised.value.detail) if report else raised.value.reports == []
    assert str(pickle.loads(pickle.dumps(raised.value))) == str(raised.value)  # a process pool's worker


# (call, exception, words of its text): refused before anything is sent
REFUSED_AT_ONCE = [
    (lambda c: Controller(c.address + ":0"), asynccomm.ArgumentError, "port '0'"),
    (lambda c: Controller(c.address + ":65536"), asynccomm.ArgumentError, "port '65536'"),
    (lambda c: Controller(c.address + ":"), asynccomm.ArgumentError, "port ''"),
    (lambda c: Controller(c.address, channels=100), asynccomm.ArgumentError, "channels=100"),
    (lambda c: Controller("serial:/dev/acm-none,9601"), asynccomm.ArgumentError, "serial line's settings"),
    (lambda c: Controller("serial:/dev/acm-none"), asynccomm.NotConnected, "connect on serial:/dev/acm-none"),
    (lambda c: Controller(c.address, cnc_id=c.cnc_id), asynccomm.ArgumentError, "is taken"),
    (lambda c: Controller("127.255.255.254"), asynccomm.NotConnected, "connect on 127.255.255.254"),
    (lambda c: c.send_program("O1", "G0\x00X1 Y2 Z3\n"), asynccomm.ArgumentError, "offset 2"),
    (lambda c: c.write_vars({1000001: 1.5}), TypeError, "1.5"),
    (lambda c: c.write_vars({1000001: "7"}), TypeError, "'7'"),
    (lambda c: c.write_vars({1000001: 2**31}), ValueError, "2147483648"),
    (lambda c: c.set_bit("O", 5, 2), ValueError, "not 2"),
    (lambda c: c.read_bits(1, 0, [3, -1]), ValueError, "-1"),
    (lambda c: c.get_bit("I", -1), ValueError, "-1"),
    (lambda c: c.set_reply_timeout(0.05), ValueError, "0.05 s"),
    (lambda c: Controller(c.address, poll_interval="1"), TypeError, "str"),
]


def test_a_reply_timeout_shorter_than_the_controllers_delay_gives_no_reply_and_none_restores_the_default():
    with Simulator(inject=["p delay 700"]) as sim, Controller(sim.address, reply_timeout=0.3, poll_interval=1) as ctl:
        with pytest.raises(asynccomm.NoReply):
            ctl.watchdog()
        ctl.set_reply_timeout(None)
        ctl.watchdog()


@pytest.fixture(scope="module")
def idle_cnc():
    with Simulator() as sim, Controller(sim.address) as ctl:
        yield ctl


@pytest.mark.parametrize("call, exception, words", REFUSED_AT_ONCE)
def test_what_the_library_would_refuse_or_change_is_refused_at_once(idle_cnc, call, exception, words):
    with pytest.raises(exception) as raised:
        call(idle_cnc)
    assert words in str(raised.value) and isinstance(raised.value, asynccomm.Error)


@pytest.mark.inject("f 3 state 2 times 3")
def test_a_report_goes_to_the_callable_or_its_exception_else_to_logging(cnc_simulator, caplog):
    seen = []
    with Controller(cnc_simulator.address, on_error=lambda *r: seen.append(r)) as ctl:
        pytest.raises(asynccomm.Refused, ctl.reset, 1)
    with caplog.at_level(logging.WARNING, "asynccomm"):
        with Controller(cnc_simulator.address) as ctl:
            pytest.raises(asynccomm.Refused, ctl.reset, 1)
        assert not caplog.records
        with Controller(cnc_simulator.address, asynchronous=True) as ctl:
            ctl.reset(1)  # queued: its report comes later, from the library's thread
            deadline = time.monotonic() + 5
            while not caplog.records and time.monotonic() < deadline:
                time.sleep(0.01)
    assert seen == [(7, 2, "program is runing.")]
    assert [r.name for r in caplog.records if "program is runing." in r.getMessage()] == ["asynccomm"]


class Overlaps:
    """The library, counting the calls inside it at once and the targets added or removed beside them."""

    def __init__(self, lib):
        self.lib, self.lock, self.inside, self.most, self.beside = lib, threading.Lock(), 0, 0, 0

    def __getattr__(self, name):
        function, registry = getattr(self.lib, name), name in ("addTargetCnc", "removeTargetCnc")

        def call(*args):
            with self.lock:
                self.beside += registry and self.inside > 0
                self.inside += not registry
                self.most = max(self.most, self.inside)
            result = function(*args)
            with self.lock:
                self.inside -= not registry
            return result
        return call


def test_threads_open_read_and_close_controllers_beside_each_others_calls(monkeypatch):
    overlaps = Overlaps(asynccomm.library())
    monkeypatch.setattr(asynccomm._native, "_library", overlaps)

    def check(address):  # a thread pool's check of one machine, and of the machine all share
        with contextlib.suppress(asynccomm.NotConnected):  # a read that finds the link renewed
            shared.reconnect() if address == sim.address else shared.read_vars([1000001])
        with Controller(address) as ctl:
            ctl.write_vars({1000001: sim.addresses.index(address)})
            return ctl.read_vars([1000001])
    with Simulator(controllers=20) as sim, Controller(sim.addresses[1]) as shared, \
            concurrent.futures.ThreadPoolExecutor(16) as pool:
        assert list(pool.map(check, sim.addresses * 3)) == [[i] for i in range(20)] * 3
    assert overlaps.most > 1 and overlaps.beside > 0


def test_a_silent_machine_never_holds_back_a_healthy_one():
    async def count_reads(healthy, silent):
        asyncio.get_running_loop().set_default_executor(concurrent.futures.ThreadPoolExecutor(4))
        asked = []

        async def keep_asking(ctl):
            while not asked.append(ctl):  # each try noted
                with contextlib.suppress(asyncio.TimeoutError):
                    await asyncio.wait_for(ctl.read_vars_async([1000001]), 0.05)
        askers = [asyncio.ensure_future(keep_asking(ctl)) for ctl in silent]
        reads, end = 0, time.monotonic() + 0.5
        while time.monotonic() < end:
            reads += len(await healthy.read_vars_async([1000001]))
        for asker in askers:
            asker.cancel()
        return reads, len(asked)
    with Simulator() as good, Simulator(controllers=6, inject=["B delay 500"]) as slow, \
            Controller(good.address) as healthy, contextlib.ExitStack() as stack:
        silent = [stack.enter_context(Controller(address)) for address in slow.addresses]
        reads, asked = asyncio.run(count_reads(healthy, silent))
        assert reads > 25 and asked > len(silent)  # the loop never stood still in a call


QUIET = """import asynccomm, glob, logging, os, signal
lines = []
logging.getLogger("asynccomm").addHandler(logging.Handler())
logging.getLogger("asynccomm").handlers[0].emit = lambda record: lines.append(record.name)
logging.getLogger("asynccomm").setLevel(logging.DEBUG)
sim = asynccomm.Simulator(inject=["f 3 state 2"]).start()
print(sim.address, flush=True)
with asynccomm.Controller(sim.address) as ctl:
    try:
        ctl.reset(1)
    except asynccomm.Refused as refused:
        print(sorted(set(lines)), refused.reports, flush=True)
    ctl.call("getErrorDeb", 1)  # the library's log file keeps its lines, wherever the package sends them
    asynccomm.log_diagnostics(False)
    ctl.reconnect()
    ctl.call("getErrorDeb", 0)
    asynccomm.log_diagnostics(True)
print(sum("tcpConnect" in open(name).read() for name in glob.glob("logs/CommLog_*")), flush=True)
os.kill(os.getpid(), signal.SIGKILL)
"""


def test_a_script_is_quiet_logs_the_librarys_lines_and_never_leaves_its_simulator_behind(tmp_path):
    env = dict(os.environ, QT_LOGGING_RULES="acm.debug=true", PYTHONPATH=os.path.dirname(asynccomm.__path__[0]))
    run = subprocess.run([sys.executable, "-c", QUIET], capture_output=True, text=True, env=env, timeout=30,
                         cwd=tmp_path)
    address, logged, in_file = run.stdout.splitlines()
    assert run.stderr == "" and logged == "['asynccomm.diagnostics'] [(7, 2, 'program is runing.')]" and in_file == "1"
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:  # the killed script's simulator ends
        with contextlib.suppress(OSError), socket.create_connection((address, 60000), timeout=1):
            time.sleep(0.02)
            continue
        break
    else:
        pytest.fail("the simulator of a killed script still listens")


def test_a_program_sent_from_a_file_starts_by_name_once(cnc, tmp_path):
    (tmp_path / "O77").write_text("G01 X10\n" * 200)
    cnc.send_program_file(tmp_path / "O77")
    cnc.start_program("O77")
    assert pytest.raises(asynccomm.Refused, cnc.start_program, "O77").value.code == 102


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
    (lambda c: c.set_bit("O", 5, 1), lambda c: [c.get_bit("O", 5), c.get_bit("I", 5)], [1, 0]),
    (lambda c: c.set_bit("C", 3, 1), lambda c: c.get_bit("C", 3), 1),
    (lambda c: c.write_vars({1032048: 0b100}), lambda c: c.read_bits(1, 0, [2, 3]), [1, 0]),
    (lambda c: c.emergency_stop(), lambda c: c.alarm(), (1, 1, 1001)),
    (lambda c: c.servo(2, on=False), lambda c: [c.is_servo_on(2), c.is_servo_on(1)], [False, True]),
    (lambda c: c.cycle_start(), lambda c: c.running_program(), "O1234"),
    (lambda c: None, lambda c: c.running_program(), "O0001"),
    (lambda c: None, lambda c: c.connected and c.watchdog() is None, True),
    (lambda c: c.call("disconnect"), lambda c: [c.connected, c.reconnect(), c.connected], [False, None, True]),
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
