"""Program transfer, streaming through the remote buffer and FTP uploads, against the simulator."""
import os
import signal
import subprocess
import sys
import time

import pytest

import asynccomm
from asynccomm import Controller, Simulator


def test_a_stream_reports_progress_up_to_its_end(cnc):
    text = "G01 X1 Y2 Z3 F100\n" * 3000
    seen = []
    with cnc.open_buffer(channel=1) as buffer:
        buffer.stream(text, progress=lambda sent, total: seen.append(sent), chunk=9000)
        assert buffer.state == asynccomm.buffer.IDLE
    assert seen == sorted(seen) and seen[-1] == len(text) and len(seen) > 2
    start = time.monotonic()
    pytest.raises(asynccomm.BufferStopped, buffer.write, "G0\n", timeout=5)  # closed: at once
    assert time.monotonic() - start < 1


@pytest.mark.inject("d 2 close")
def test_a_broken_stream_raises_with_the_buffers_words(cnc):
    with cnc.open_buffer() as buffer, pytest.raises(asynccomm.BufferStopped) as raised:
        buffer.stream("G01 X1\n" * 2000)
    assert raised.value.detail.startswith("Connection closed by the controller")


SEND = """import asynccomm, sys
ctl = asynccomm.Controller(sys.argv[1], on_error=lambda *report: print("report", flush=True))
try:
    ctl.send_program("O1", "G01 X1 Y1\\n" * 200, timeout=eval(sys.argv[2]))
except (asynccomm.TransferStopped, asynccomm.TransferInterrupted) as stopped:
    print(type(stopped).__name__, stopped.acknowledged, len(str(stopped)), ctl.read_vars([1000001]))
"""


@pytest.mark.inject("dnc-capacity 800")
@pytest.mark.parametrize("timeout, ending", [("0.4", "TransferStopped 798"), ("None", "TransferInterrupted 798")])
def test_a_transfer_waiting_for_memory_ends_on_its_timeout_or_ctrl_c(cnc_simulator, timeout, ending):
    env = dict(os.environ, PYTHONPATH=os.path.dirname(asynccomm.__path__[0]))
    with subprocess.Popen([sys.executable, "-c", SEND, cnc_simulator.address, timeout], stdout=subprocess.PIPE,
                          text=True, env=env) as child:
        assert [child.stdout.readline() for _ in range(3)] == ["report\n"] * 3  # waiting for memory
        if timeout == "None":
            child.send_signal(signal.SIGINT)
        try:
            name, acknowledged, length, values = child.communicate(timeout=10)[0].splitlines()[-1].split(" ", 3)
        finally:
            child.kill()
    assert "%s %s" % (name, acknowledged) == ending and int(length) < 400 and values == "[0]"


@pytest.mark.parametrize("options, outcome", [(["--ftp"], None), ([], asynccomm.FtpFailed)])
def test_an_ftp_upload_completes_from_a_plain_script_or_raises_when_it_stops(options, outcome, tmp_path):
    root, local = tmp_path / "root", tmp_path / "O9"
    root.mkdir()
    local.write_bytes(b"G00 X0\n" * 5000)
    seen = []
    with Simulator(options=options + ["--ftp-root", str(root)] * bool(options)) as sim, \
            Controller(sim.address) as ctl:
        if outcome:
            with pytest.raises(outcome) as raised:
                ctl.ftp_upload(local, channel=1, timeout=10)
            assert raised.value.reports[0][:2] == (20, 0)
            return
        ctl.ftp_upload(local, channel=1, progress=lambda percent, path: seen.append(percent), timeout=10)
    assert (root / "veko/usr/sys0001/program/O9").read_bytes() == local.read_bytes()
    assert seen[-1] == 100


@pytest.mark.parametrize("script, expected", [("monitor_variables.py --rounds 10", "1000001=1 1000002=2 120138=3"),
                                              ("send_and_start.py", "started O1234 on channel 1"),
                                              ("stream_with_progress.py", "(100 %)")])
def test_the_examples_run_against_a_simulator_of_their_own(script, expected):
    script, *arguments = script.split()
    examples = os.path.join(os.path.dirname(__file__), "..", "examples")
    env = dict(os.environ, PYTHONPATH=os.path.dirname(asynccomm.__path__[0]), QT_LOGGING_RULES="acm.debug=false")
    run = subprocess.run([sys.executable, os.path.join(examples, script)] + arguments, capture_output=True, text=True,
                         env=env, timeout=60)
    assert run.returncode == 0 and expected in run.stdout, run.stderr
