#!/usr/bin/env python3
"""Runs the fault table's rows (fault x mode) and prints them as a markdown matrix.

    tools/fault-matrix.py [BUILD_DIR] [--output FILE] [--no-existing]

The rows of tests/faults/FaultTableTest.cpp record their outcome as the test property "cell"
("fault | mode | outcome"); cells that other suites hold (serial framings, FTP) are run by name
and shown with the outcome those tests assert. Each cell is "pass" or "FAIL" as its test came out. Exits
non-zero when a cell failed or did not run.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

FAULTS = ["DropBefore", "DropAfter", "DropMid", "Late", "Truncated", "Corrupt", "WrongKind", "Refused",
          "EveryLate", "BusyForEver", "Restart"]
SUBSYSTEMS = ["Sync", "Async", "Transfer", "Buffer", "FTP"]

# The fault table's rows record their cell as the test property "cell" ("fault | mode | outcome").
MATRIX_RUNS = [
    ("tests/faults/fault_tests", "Cells/FaultTable.*"),
]

# Cells that other suites hold: (fault, mode, program, test, outcome those tests assert).
EXISTING = [
    ("Corrupt", "Sync", "tests/serial/serial_tests",
     "Framings/SerialLinkTest.ReplyFaultsGive111AndTheLinkRecovers/StationCrc",
     "serial, both framings: a command 111, an upload 111 with a first part held; then the link recovers"),
    ("Corrupt", "Transfer", "tests/serial/serial_tests",
     "Framings/SerialLinkTest.ReplyFaultsGive111AndTheLinkRecovers/ColonLrc",
     "serial, both framings: an upload 111 with a first part held and no file end; the next upload whole"),
    ("DropBefore", "FTP", "tests/ftp/ftp_tests", "Ftp/FtpExports.Row/NoServerOnTheAddressStopsAtTheConnection",
     "nothing on port 21: report 20/0 \"连接服务器出现错误：Connecting to ...\", progress 0"),
    ("DropAfter", "FTP", "tests/ftp/ftp_tests",
     "Ftp/FtpExports.Row/ADataConnectionTheServerDropsIsNeverSuccess",
     "data connection dropped mid-upload without a word: \"上传出现错误：Upload failed: the data connection ended\""),
    ("DropMid", "FTP", "tests/ftp/ftp_tests",
     "FtpClientLimits.AServerThatHangsUpFailsTheCommandAndLaterOnesSayNotConnected",
     "control connection closed mid-upload: the command fails, later ones say not connected"),
    ("EveryLate", "Async", "tests/client/client_tests",
     "AsyncQueueTest.PollingALateControllerStoresNothingUnderAnotherAddress",
     "polls answered late store nothing under another address; the poll resumes once the controller answers"),
    ("EveryLate", "FTP", "tests/ftp/ftp_tests",
     "Ftp/FtpExports.Row/AServerThatStopsAnsweringStopsTheUploadWithinTheStepLimit",
     "STOR never answered: report 20/2 \"上传出现错误：No answer from the server within 600 ms\" (waits scaled), progress < 100"),
    ("Refused", "FTP", "tests/cnccomm/cnccomm_tests",
     "CnccommFtpTest.RefusalsEndAtOnceWithTheServersReply",
     "refused connection or error reply: the list ends at once with the server's reply text"),
    ("Restart", "FTP", "tests/ftp/ftp_tests", "Ftp/FtpExports.Row/NoServerOnTheAddressStopsAtTheConnection",
     "no server on port 21 (as while it restarts): the upload fails at once, progress 0, no finish"),
    ("Restart", "Async", "tests/api/api_tests",
     "ReconnectTest.EveryClientWorksAfterTheControllerRestarts",
     "after connect every client works again, one connection each"),
]

NOT_APPLICABLE = {
    ("Corrupt", "Async"): "n/a (the worker uses TCP)",
    ("Corrupt", "Buffer"): "n/a (TCP only)",
    ("Corrupt", "FTP"): "n/a",
    ("Late", "FTP"): "see EveryLate",
    ("Truncated", "FTP"): "n/a (reply parser: FTP reply parser tests, fuzzed)",
    ("WrongKind", "FTP"): "n/a (reply parser: FTP reply parser tests, fuzzed)",
    ("EveryLate", "Sync"): "see Late (each request alike)",
    ("EveryLate", "Buffer"): "n/a (a late reply is still its request's)",
}
for s in SUBSYSTEMS:
    if s != "Buffer":
        NOT_APPLICABLE[("BusyForEver", s)] = "n/a"


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
    parser.add_argument("--no-existing", action="store_true", help="only the fault table's rows")
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
