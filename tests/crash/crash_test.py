#!/usr/bin/env python3
"""Crashes the test programs under Wine, each from a folder whose path has
spaces and Chinese characters with dumper.exe and 7za.exe beside it, and
checks the report from outside: exit code, archive (Linux's 7z), trace,
minidump."""
import os
import re
import shutil
import stat
import struct
import subprocess
import contextlib
import tempfile
import time
import unittest
import zlib

BIN = os.environ["CRASH_BIN_DIR"]
RUNS = os.environ["CRASH_TEST_DIR"]
SEVEN_ZA = os.environ["SEVEN_ZA"]
ENV = dict(os.environ, WINEDEBUG="-all", LC_ALL="C.UTF-8")

ACCESS_VIOLATION = 0xC0000005
STACK_OVERFLOW = 0xC00000FD
DIVIDE_BY_ZERO = 0xC0000094
ROUTED = 0xE0564352
UNREADABLE = 0xC0000001  # the exit code when the exception record cannot be read
# How long a run may take before it counts as hung: the hand-off's own limits
# are 10 s to start Dumper and 120 s for its report.
RUN_LIMIT = 240
X64 = os.environ.get("VANTORO_ARCH") == "x64"
# Addresses in the trace are as wide as the crashed program's pointers.
ADDRESS = r"0x[0-9A-F]{16}" if X64 else r"0x[0-9A-F]{8}"
NULL = "0x" + "0" * (16 if X64 else 8)
# A frame line's head: the address, then the module and the offset in it.
FRAME = ADDRESS + r" \[[^]\n]+\+0x[0-9A-F]+\]"
# The registry view the crashed program reads; "wine reg" may be the 32-bit reg.exe.
REGISTRY_VIEW = ["/reg:64"] if X64 else []


def stand_in_dumper(folder_name):
    """A copy of the stand-in Dumper in a folder of its own under RUNS; its path."""
    folder = os.path.join(RUNS, folder_name)
    os.makedirs(folder, exist_ok=True)
    dumper = os.path.join(folder, "dumper.exe")
    shutil.copy(os.path.join(BIN, "dumper_stand_in.exe"), dumper)
    return dumper


def set_read_only(folder, on):
    """No file can be created in folder; root ignores the mode, not the immutable flag."""
    if not os.path.isdir(folder):
        return
    if os.geteuid() == 0:
        subprocess.run(["chattr", "+i" if on else "-i", folder], check=True)
    else:
        os.chmod(folder, stat.S_IRUSR | stat.S_IXUSR if on else stat.S_IRWXU)


class Run:
    """One crash: the folder, the exit code, the outcome the stand-in wrote."""

    def __init__(self, name, program, kind, dumper=True, seven_za=True, read_only=False, fails=None):
        self.folder = os.path.join(RUNS, f"crash run 崩溃 {name}")
        set_read_only(self.folder, False)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        exe = os.path.join(self.folder, "crash program.exe")
        shutil.copy(os.path.join(BIN, program + ".exe"), exe)
        if dumper:
            shutil.copy(os.path.join(BIN, "dumper_stand_in.exe"), os.path.join(self.folder, "dumper.exe"))
        if seven_za:
            shutil.copy(SEVEN_ZA, os.path.join(self.folder, "7za.exe"))
        self.outcome_path = os.path.join(RUNS, f"{zlib.crc32(name.encode()):08x}.outcome")
        if os.path.exists(self.outcome_path):
            os.remove(self.outcome_path)
        if read_only:
            set_read_only(self.folder, True)
        env = dict(ENV, VANTORO_CRASH_OUTCOME=self.wine_path(self.outcome_path))
        if fails:
            env["VANTORO_STAND_IN_FAILS"] = fails
        runner = os.path.join(BIN, "crash_runner.exe")
        out = subprocess.run(["wine", runner, self.wine_path(exe), kind], env=env,
                             capture_output=True, text=True, timeout=RUN_LIMIT).stdout
        if read_only:
            set_read_only(self.folder, False)
        match = re.search(r"exit 0x([0-9A-F]{8})", out)
        self.exit_code = int(match.group(1), 16) if match else None
        match = re.search(r"pid (\d+)", out)
        self.process_id = int(match.group(1)) if match else None
        self.outcome = None
        if os.path.exists(self.outcome_path):
            with open(self.outcome_path, encoding="utf-8") as f:
                self.outcome = f.read().split("\n", 5)

    @staticmethod
    def wine_path(path):
        return "Z:" + path.replace("/", "\\")

    def archives(self):
        return [f for f in os.listdir(self.folder) if f.endswith(".7z")]

    def leftovers(self):
        return [f for f in os.listdir(self.folder) if f.endswith((".log", ".dmp"))]

    def unpack(self):
        """The .log text and the .dmp bytes from the archive, by Linux's 7z."""
        archives = self.archives()
        assert len(archives) == 1, archives
        target = tempfile.mkdtemp(dir=RUNS)
        subprocess.run(["7z", "x", "-y", "-o" + target, os.path.join(self.folder, archives[0])],
                       check=True, capture_output=True)
        files = os.listdir(target)
        log = [f for f in files if f.endswith(".log")]
        dump = [f for f in files if f.endswith(".dmp")]
        assert len(log) == 1 and len(dump) == 1, files
        with open(os.path.join(target, log[0]), "rb") as f:
            raw = f.read()
        with open(os.path.join(target, dump[0]), "rb") as f:
            dmp = f.read()
        shutil.rmtree(target)
        return raw, dmp


def reg_value(key, name):
    """The REG_SZ value's data, or None."""
    query = subprocess.run(["wine", "reg", "query", key, "/v", name] + REGISTRY_VIEW, env=ENV,
                           capture_output=True, text=True, timeout=60).stdout
    match = re.search(name + r"\s+REG_SZ\s+(.*?)\r?$", query, re.M)
    return match.group(1) if match else None


def set_reg_value(key, name, data):
    """Sets a REG_SZ value, or deletes it for None."""
    command = ["add", key, "/v", name, "/t", "REG_SZ", "/d", data, "/f"] if data is not None else \
              ["delete", key, "/v", name, "/f"]
    subprocess.run(["wine", "reg"] + command + REGISTRY_VIEW, env=ENV, capture_output=True, timeout=60,
                   check=data is not None)


@contextlib.contextmanager
def reg_values(key, values):
    """The values set for the block's duration, then put back."""
    was = {name: reg_value(key, name) for name in values}
    try:
        for name, data in values.items():
            set_reg_value(key, name, data)
        yield
    finally:
        for name, data in was.items():
            set_reg_value(key, name, data)


@contextlib.contextmanager
def system_crash_handling():
    """Wine's own handling of a crash nobody handled starts the AeDebug
    debugger: here the restart recorder. Yields a function that tells whether
    it ran for a process id since the last call."""
    folder = os.path.join(RUNS, "system handler 系统")
    os.makedirs(folder, exist_ok=True)
    handler = os.path.join(folder, "handler.exe")
    shutil.copy(os.path.join(BIN, "restart_recorder.exe"), handler)
    log = os.path.join(folder, "restarted.txt")

    def ran(process_id=None):
        text = ""
        if os.path.exists(log):
            with open(log, encoding="utf-8") as f:
                text = f.read()
            os.remove(log)
        return re.search(r'" %s ' % process_id, text) is not None

    ran()
    key = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"
    with reg_values(key, {"Debugger": '"' + Run.wine_path(handler) + '" %ld %ld', "Auto": "1"}):
        yield ran


def exception_stream(dmp):
    """(thread id, exception code, first parameter or None) of the minidump's exception stream."""
    signature, _, count, directory = struct.unpack_from("<4sIII", dmp, 0)
    assert signature == b"MDMP"
    for i in range(count):
        kind, _, rva = struct.unpack_from("<III", dmp, directory + 12 * i)
        if kind == 6:
            thread_id, _, code = struct.unpack_from("<III", dmp, rva)
            (count,) = struct.unpack_from("<I", dmp, rva + 32)
            first = struct.unpack_from("<Q", dmp, rva + 40)[0] if count else None
            return thread_id, code, first
    return None


class Reports(unittest.TestCase):
    def assert_reported(self, run, code, reason=None):
        self.assertEqual(run.exit_code, code, "the crashed process ends with its exception code")
        self.assertIsNotNone(run.outcome, "the analysis finished")
        raw, dmp = run.unpack()
        self.assertFalse(raw.startswith(b"\xff\xfe"), "no byte-order mark")
        trace = raw.decode("utf-16-le")
        self.assertRegex(trace, r"(?m)^>00: " + FRAME + " ")
        self.assertNotRegex(trace, r"-> [,)]", "every pointer says what it points to, or ?")
        thread_id, dump_code, first = exception_stream(dmp)
        self.assertEqual(thread_id, int(run.outcome[1]))
        self.assertEqual(dump_code, code)
        if reason is not None:
            self.assertEqual(first, reason, "where the routed crash came from")
        self.assertEqual(run.leftovers(), [], "the .log and .dmp are deleted")
        self.assertIn("Stack trace written to ", run.outcome[5])
        self.assertIn("Minidump written to ", run.outcome[5])
        return trace

    def assert_fault_frame(self, trace):
        frame = re.search(r"^>\d\d: " + ADDRESS + r" .*FaultWithText.*$", trace, re.M)
        self.assertIsNotNone(frame, trace)
        line = frame.group(0)
        self.assertRegex(line, r'\(s = ' + ADDRESS + r' -> "hello world", n = 5\)')
        self.assertRegex(line, r" at .*CrashProgram\.cpp:2[3-6]$")

    def test_access_violation_unoptimised(self):
        run = Run("access O0", "crash_program_o0", "access")
        trace = self.assert_reported(run, ACCESS_VIOLATION)
        self.assert_fault_frame(trace)
        # The caller's parameter is read through the caller's own frame.
        self.assertRegex(trace, r'CrashAs \(kind = ' + ADDRESS + r' -> "access"\)')
        self.assertRegex(run.outcome[3], r"^\d+\.\d+\.\d+\.\d+$", "the tag is the file version")

    def test_access_violation_optimised(self):
        run = Run("access O2", "crash_program_o2", "access")
        self.assert_fault_frame(self.assert_reported(run, ACCESS_VIOLATION))

    def test_access_violation_without_frame_pointers(self):
        # Optimised code without frame pointers: the parameters are relative to the stack pointer.
        run = Run("access O2 nofp", "crash_program_o2_nofp", "access")
        self.assert_fault_frame(self.assert_reported(run, ACCESS_VIOLATION))

    def test_frames_without_symbols_show_their_module_and_offset(self):
        # As the setup program ships it: no names, but the module, the offset
        # in it and its build id, which stripping keeps.
        trace = self.assert_reported(Run("nosym", "crash_program_stripped", "access"), ACCESS_VIOLATION)
        self.assertNotIn("FaultWithText", trace)
        self.assertRegex(trace, r"(?m)^>00: " + ADDRESS + r" \[crash program\.exe\+0x[0-9A-F]+\] \?$")
        self.assertRegex(trace, r"(?m)^" + ADDRESS + r" 0x[0-9A-F]{8} \S+ [0-9A-F]{33,} .*\\crash program\.exe$")
        for line in trace.splitlines():
            if line.startswith(">") and "(" not in line:
                self.assertRegex(line, r"^>\d\d: " + FRAME + r" \?$")

    def test_string_parameters(self):
        cases = {"null": "s = " + NULL + r" -> \?, n = 5",
                 "long-string": r's = ' + ADDRESS + r' -> "a{99}\.\.\.", n = 5'}
        for kind, pattern in cases.items():
            with self.subTest(kind=kind):
                trace = self.assert_reported(Run(kind, "crash_program_o2", kind), ACCESS_VIOLATION)
                self.assertRegex(trace, r"FaultWithText \(" + pattern + r"\)")

    def test_report_paths_longer_than_max_path(self):
        # The longest folder a program can still be started from; the report
        # files' paths in it pass 259 characters.
        base = len(Run.wine_path(os.path.join(RUNS, "crash run 崩溃 ")))
        name = "long 很长的路径/" * ((240 - base) // 11)
        name += "x" * (240 - base - len(name))
        run = Run(name, "crash_program_o0", "access")
        self.assertEqual(len(Run.wine_path(run.folder)), 240)
        self.assert_fault_frame(self.assert_reported(run, ACCESS_VIOLATION))

    def test_symbol_name_longer_than_its_buffer(self):
        trace = self.assert_reported(Run("long name", "crash_program_o2", "long-name"), ACCESS_VIOLATION)
        self.assert_fault_frame(trace)
        frame = re.search(r"^>01: " + FRAME + r" (\S*CallerWithANameFarLonger\S*) \(\)", trace, re.M)
        self.assertIsNotNone(frame, trace)
        self.assertLessEqual(len(frame.group(1)), 255)

    def test_crash_kinds(self):
        # (kind, program, exception code, routed reason, what the trace shows).
        # Routed reasons: 1 terminate, 2 abort, 3 invalid parameter, 4 pure virtual call.
        frame = r"^>(\d\d): " + FRAME + r" \S*"
        cases = [
            ("overflow", "crash_program_o0", STACK_OVERFLOW, None, "Recurse"),
            # A module replaced the filter: the vectored handler still hands off.
            ("overflow-replaced", "crash_program_o0", STACK_OVERFLOW, None, "Recurse"),
            ("divide", "crash_program_o0", DIVIDE_BY_ZERO, None, None),
            ("throw", "crash_program_o0", ROUTED, 1, None),
            ("throw-thread", "crash_program_o0", ROUTED, 1, None),
            ("window-throw", "crash_program_o0", ROUTED, 1, None),
            ("abort", "crash_program_o0", ROUTED, 2, None),
            ("purecall", "crash_program_o0", ROUTED, 4, None),
            ("invalid-parameter", "crash_program_o0", ROUTED, 3, None),
            # The caller's name comes from its call, not from what follows it.
            ("call-at-end", "crash_program_o0", ACCESS_VIOLATION, None, frame + r"CallAtTheEnd \(s = "),
        ]
        # A frame chain pointing at itself: the walk stops. x86 only: x64 is
        # unwound from the program's unwind data, by the system's exception
        # dispatch too, which never reaches the filter from such a frame.
        if not X64:
            cases.append(("self-chain", "crash_program_o0", ACCESS_VIOLATION, None, frame + "FaultInSelfPointingFrame"))
        traces = {}
        for kind, program, code, reason, shown in cases:
            with self.subTest(kind=kind):
                traces[kind] = trace = self.assert_reported(Run(kind, program, kind), code, reason)
                if shown:
                    self.assertRegex(trace, re.compile(shown, re.M))
        self.assertNotIn("FollowsCallAtTheEnd", traces.get("call-at-end", ""))
        self.assertLessEqual(traces.get("self-chain", "").count("FaultInSelfPointingFrame"), 2)

    def test_two_threads_crashing_at_once(self):
        run = Run("two threads", "crash_program_o2", "two-threads")
        self.assert_fault_frame(self.assert_reported(run, ACCESS_VIOLATION))


class Failures(unittest.TestCase):
    def test_missing_dumper_leaves_the_crash_to_the_system(self):
        run = Run("no dumper", "crash_program_o0", "access", dumper=False)
        self.assertEqual(run.exit_code, ACCESS_VIOLATION)
        self.assertIsNone(run.outcome)

    def test_windows_xp_leaves_the_crash_to_the_system(self):
        key = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"
        self.assertIsNotNone(reg_value(key, "CurrentVersion"))
        with reg_values(key, {"CurrentVersion": "5.1"}):
            run = Run("xp", "crash_program_o0", "access")
        self.assertEqual(run.exit_code, ACCESS_VIOLATION)
        self.assertIsNone(run.outcome, "Dumper was started")

    def test_a_hand_off_that_cannot_complete_leaves_the_crash_to_the_system(self):
        # Each ends the crashed process with its exception code within the
        # run's limit, with no thread left suspended, and the system's own
        # crash handling sees it.
        cases = [("heap locked", "heap-locked", None),
                 ("at exit", "exit", None),  # the hand-off thread is gone
                 ("dumper exits 1", "access", "exit1"),
                 ("dumper crashes", "access", "crash"),
                 ("dumper suspends and exits", "access", "suspend-exit")]
        with system_crash_handling() as system_handled:
            for name, kind, fails in cases:
                with self.subTest(name=name):
                    run = Run(name, "crash_program_o0", kind, fails=fails)
                    self.assertEqual(run.exit_code, ACCESS_VIOLATION)
                    self.assertTrue(system_handled(run.process_id), "the system's crash handling ran")
            with self.subTest(name="reported"):
                run = Run("handled", "crash_program_o0", "access")
                self.assertEqual(run.exit_code, ACCESS_VIOLATION)
                self.assertIn("Stack trace written to ", run.outcome[5])
                self.assertFalse(system_handled(run.process_id), "a reported crash went to the system too")

    def test_the_analysis_ends_only_the_crashed_process(self):
        # A process that did not crash, named by its id. With a thread that is
        # not its own (as when the id was reused) it must survive; with its
        # own thread but no exception record to read it ends with a failure
        # code, never 0.
        dumper = stand_in_dumper("helper 助手")
        runner = os.path.join(BIN, "crash_runner.exe")
        for own_thread in (False, True):
            with self.subTest(own_thread=own_thread):
                helper = subprocess.Popen(["wine", runner, Run.wine_path(os.path.join(BIN, "crash_program_o0.exe")),
                                           "wait"], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                          text=True)
                try:
                    helper.stdout.readline()  # the runner's "pid"
                    process_id, thread_id = helper.stdout.readline().split()
                    fields = [process_id, thread_id if own_thread else "4294967281", "FFFFFFF0", "tag"]
                    out = subprocess.run(["wine", runner, Run.wine_path(dumper)] + fields, env=ENV,
                                         capture_output=True, text=True, timeout=RUN_LIMIT).stdout
                    self.assertIn("exit 0x", out)
                    if own_thread:
                        self.assertIn("exit 0x%08X" % UNREADABLE, helper.communicate(timeout=60)[0])
                    else:
                        self.assertIn("exit 0x00000000", out)
                        time.sleep(1)
                        self.assertIsNone(helper.poll(), "the unrelated process was ended")
                finally:
                    helper.kill()
                    helper.wait()
                    helper.stdout.close()

    def test_missing_7za_gives_messages_but_no_archive(self):
        run = Run("no 7za", "crash_program_o0", "access", seven_za=False)
        self.assertEqual(run.exit_code, ACCESS_VIOLATION)
        self.assertEqual(run.archives(), [])
        self.assertEqual(run.leftovers(), [])
        self.assertIn("Stack trace written to ", run.outcome[5])
        self.assertIn("Minidump written to ", run.outcome[5])

    def test_read_only_folder_reports_both_failures(self):
        run = Run("read only", "crash_program_o0", "access", read_only=True)
        self.assertEqual(run.exit_code, ACCESS_VIOLATION)
        self.assertEqual(run.archives(), [])
        self.assertIn("Writing the stack trace failed because of error 0x00000005", run.outcome[5])
        self.assertIn("Minidump could not be taken because of error 0x00000005", run.outcome[5])

    def test_wrong_field_count_exits_with_1(self):
        dumper = stand_in_dumper("fields 字段")
        runner = os.path.join(BIN, "crash_runner.exe")
        for fields in ("1 2 3", "1 2 3 4 5", "1 2 3 4 5 6 7"):
            with self.subTest(fields=fields):
                out = subprocess.run(["wine", runner, Run.wine_path(dumper)] + fields.split(), env=ENV,
                                     capture_output=True, text=True, timeout=60).stdout
                self.assertIn("exit 0x00000001", out)


if __name__ == "__main__":
    os.makedirs(RUNS, exist_ok=True)
    unittest.main(verbosity=2)
