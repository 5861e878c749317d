#!/usr/bin/env python3
"""Runs the fault-injection cells (fault x subsystem) and prints the matrix as markdown.

    tools/fault-matrix.py [BUILD_DIR] [--output FILE] [--no-existing]

The new cells (tests named *FaultMatrix*) record their outcome as the test property "cell"
("fault | subsystem | outcome"); cells that older suites already cover are run by name and shown
with the outcome those tests assert. Each cell is "pass" or "FAIL" as its test came out. Exits
non-zero when a cell failed or did not run.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

FAULTS = [
    "drop before the request",
    "drop after the request",
    "drop mid-reply",
    "reply later than the wait",
    "truncated reply",
    "corrupt check sum, serial StationCrc",
    "corrupt check sum, serial ColonLrc",
    "reply of another kind",
    "every request late",
    "refused for ever",
    "remote buffer busy for ever",
    "FTP server killed mid-upload",
    "controller restarts mid-session",
]
SUBSYSTEMS = ["command, sync", "command, async", "text transfer", "remote buffer", "FTP upload"]

# Programs and the filters that pick their matrix cells.
MATRIX_RUNS = [
    ("tests/faults/fault_tests", "*FaultMatrix*"),
    ("tests/serial/serial_tests", "*SerialFaultMatrix*"),
]

# Cells that earlier suites cover: (fault, subsystem, program, test, outcome those tests assert).
EXISTING = [
    ("drop before the request", "remote buffer", "tests/buffer/buffer_tests",
     "RemoteBufferLifeTest.ConnectionDroppedWhileIdleIsNotSilent",
     "idle stream: state 3 \"Connection closed by the controller; stream stopped.\" within 1 s, writes refused"),
    ("drop before the request", "FTP upload", "tests/ftp/ftp_tests", "Ftp/FtpExports.Row/NoServerOnTheAddressStopsAtTheConnection",
     "nothing on port 21: report 20/0 \"连接服务器出现错误：Connecting to ...\", progress 0"),
    ("drop after the request", "FTP upload", "tests/ftp/ftp_tests",
     "Ftp/FtpExports.Row/ADataConnectionTheServerDropsIsNeverSuccess",
     "data connection dropped mid-upload without a word: \"上传出现错误：Upload failed: the data connection ended\""),
    ("corrupt check sum, serial StationCrc", "command, sync", "tests/serial/serial_tests",
     "Framings/SerialLinkTest.ReplyFaultsGive111AndTheLinkRecovers/StationCrc", "111, then the link recovers"),
    ("corrupt check sum, serial ColonLrc", "command, sync", "tests/serial/serial_tests",
     "Framings/SerialLinkTest.ReplyFaultsGive111AndTheLinkRecovers/ColonLrc", "111, then the link recovers"),
    ("every request late", "command, async", "tests/client/client_tests",
     "AsyncQueueTest.PollingALateControllerStoresNothingUnderAnotherAddress",
     "polls answered late store nothing under another address; the poll resumes once the controller answers"),
    ("every request late", "FTP upload", "tests/ftp/ftp_tests",
     "Ftp/FtpExports.Row/AServerThatStopsAnsweringStopsTheUploadWithinTheStepLimit",
     "STOR never answered: report 20/2 \"上传出现错误：No answer from the server within 600 ms\" (waits scaled), progress < 100"),
    ("FTP server killed mid-upload", "FTP upload", "tests/ftp/ftp_tests",
     "FtpClientLimits.AServerThatHangsUpFailsTheCommandAndLaterOnesSayNotConnected",
     "control connection closed mid-upload: the command fails, later ones say not connected"),
    ("refused for ever", "FTP upload", "tests/cnccomm/cnccomm_tests",
     "CnccommFtpTest.RefusalsEndAtOnceWithTheServersReply",
     "refused connection or error reply: the list ends at once with the server's reply text"),
    ("controller restarts mid-session", "FTP upload", "tests/ftp/ftp_tests", "Ftp/FtpExports.Row/NoServerOnTheAddressStopsAtTheConnection",
     "no server on port 21 (as while it restarts): the upload fails at once, progress 0, no finish"),
    ("controller restarts mid-session", "command, async", "tests/api/api_tests",
     "ReconnectTest.AsynchronousClientsWorkAfterTheControllerRestarts",
     "after connect every client works again, one connection each"),
]

NOT_APPLICABLE = {
    ("corrupt check sum, serial StationCrc", "command, async"): "n/a (the worker uses TCP)",
    ("corrupt check sum, serial ColonLrc", "command, async"): "n/a (the worker uses TCP)",
    ("corrupt check sum, serial StationCrc", "remote buffer"): "n/a (TCP only)",
    ("corrupt check sum, serial ColonLrc", "remote buffer"): "n/a (TCP only)",
    ("corrupt check sum, serial StationCrc", "FTP upload"): "n/a",
    ("corrupt check sum, serial ColonLrc", "FTP upload"): "n/a",
    ("drop mid-reply", "FTP upload"): "see FTP server killed mid-upload",
    ("reply later than the wait", "FTP upload"): "see every request late",
    ("truncated reply", "FTP upload"): "n/a (reply parser: FtpReplyParser tests, fuzzed)",
    ("reply of another kind", "FTP upload"): "n/a (reply parser: FtpReplyParser tests, fuzzed)",
}
for s in SUBSYSTEMS:
    if s != "remote buffer":
        NOT_APPLICABLE[("remote buffer busy for ever", s)] = "n/a"
    if s != "FTP upload":
        NOT_APPLICABLE[("FTP server killed mid-upload", s)] = "n/a"


def run(program, gfilter, xml_path):
    if not os.path.exists(program):
        print(f"missing {program}: build first", file=sys.stderr)
        return None
    subprocess.run([program, f"--gtest_filter={gfilter}", f"--gtest_output=xml:{xml_path}"],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
    if not os.path.exists(xml_path):
        return None
    return ET.parse(xml_path).getroot()


def cases(root):
    for case in root.iter("testcase"):
        props = {p.get("name"): p.get("value") for p in case.iter("property")}
        cell = props.get("cell") or case.get("cell")
        failed = case.find("failure") is not None or case.get("result") == "skipped"
        yield case.get("classname") + "." + case.get("name"), cell, failed, case.get("status") == "run"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--output", help="also write the markdown here")
    parser.add_argument("--no-existing", action="store_true", help="only the *FaultMatrix* cells")
    args = parser.parse_args()

    cells = {}  # (fault, subsystem) -> (passed, outcome, test)
    problems = []
    with tempfile.TemporaryDirectory() as tmp:
        runs = [(prog, flt) for prog, flt in MATRIX_RUNS]
        if not args.no_existing:
            by_program = {}
            for fault, subsystem, prog, test, outcome in EXISTING:
                by_program.setdefault(prog, []).append(test)
            runs += [(prog, ":".join(tests)) for prog, tests in by_program.items()]
        for i, (prog, flt) in enumerate(runs):
            root = run(os.path.join(args.build, prog), flt, os.path.join(tmp, f"{i}.xml"))
            if root is None:
                problems.append(f"{prog} did not run")
                continue
            for test, cell, failed, ran in cases(root):
                if not cell and i < len(MATRIX_RUNS):
                    problems.append(f"{test} recorded no cell")
                if cell:
                    fault, subsystem, outcome = (part.strip() for part in cell.split("|", 2))
                    cells[(fault, subsystem)] = (ran and not failed, outcome, test)
                    continue
                for fault, subsystem, _, name, outcome in EXISTING:
                    if name == test:  # a cell of the matrix's own comes first
                        cells.setdefault((fault, subsystem), (ran and not failed, outcome + " [" + name + "]", test))

    expected = {(f, s) for f, s, *_ in EXISTING}
    lines = ["| fault | " + " | ".join(SUBSYSTEMS) + " |", "|---" * (len(SUBSYSTEMS) + 1) + "|"]
    details = []
    for fault in FAULTS:
        row = []
        for subsystem in SUBSYSTEMS:
            key = (fault, subsystem)
            if key in cells:
                passed, outcome, test = cells[key]
                details.append((fault, subsystem, "pass" if passed else "FAIL", outcome, test))
                row.append(f"{'pass' if passed else 'FAIL'} ({len(details)})")
                if not passed:
                    problems.append(f"{fault} / {subsystem}: {test} failed")
            elif key in NOT_APPLICABLE:
                row.append(NOT_APPLICABLE[key])
            else:
                row.append("—")
                if key in expected:
                    problems.append(f"{fault} / {subsystem}: did not run")
        lines.append(f"| {fault} | " + " | ".join(row) + " |")
    lines.append("")
    for i, (fault, subsystem, verdict, outcome, test) in enumerate(details, 1):
        lines.append(f"{i}. {fault} / {subsystem}: {verdict}: {outcome}")
    text = "\n".join(lines) + "\n"
    sys.stdout.write(text)
    if args.output:
        with open(args.output, "w", encoding="utf-8") as f:
            f.write(text)
    for p in problems:
        print("problem: " + p, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
