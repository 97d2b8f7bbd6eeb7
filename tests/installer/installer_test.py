#!/usr/bin/env python3
"""The setup program's life cycle in a fresh Wine prefix of its own, checked
from outside: the setup program made as the build makes it and signed with a
certificate made here, a foreign folder and an older Windows refused, its
silent install (every program and the uninstaller it writes signed), a renamed
setup run over it, first as a downgrade (refused), then as an upgrade (first
failing on a locked file, then asked for another folder), Vantoro.exe started
from the shortcut against the reference service, the installed (stripped)
program crashed and its report resolved on the support pages of a service
holding that build's symbol store (and noted as missing by one whose store
lacks it), and the silent uninstall while it runs (first stopped by a locked
file). The steps build on each other and run in order."""
import hashlib
import json
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
import unittest
import urllib.request
import uuid

MAKE_SETUP = os.environ["VANTORO_MAKE_SETUP"]
VERSION = os.environ["VANTORO_VERSION"]
PREFIX = os.environ["INSTALLER_PREFIX"]
WORK = os.path.dirname(PREFIX)
STAGE = os.path.join(WORK, "stage")
SETUP = os.path.join(WORK, "signed", f"Vantoro-Setup-{VERSION}.exe")
CERT, KEY = os.path.join(WORK, "sign-cert.pem"), os.path.join(WORK, "sign-key.pem")
PREFIX_SCRIPT = os.environ["PREFIX_SCRIPT"]
SERVICE_DIR = os.environ["VANTORO_SERVICE_DIR"]
HELPER = os.environ["PLATFORM_HELPER"]
SERVICE_BIN = os.environ["VANTORO_SERVICE_BIN"]
SYMBOL_STORE = os.environ["SYMBOL_STORE_SCRIPT"]
# The programs as linked, before the setup's staging stripped them.
UNSTRIPPED = os.environ["VANTORO_UNSTRIPPED"].split(":")
CRASH_RUNNER = os.environ["CRASH_RUNNER"]
SUPPORT = os.path.join(WORK, "support")
# Where the crash is started in the installed Vantoro.exe: a function of ours
# that reads through its first argument, which the thread gets as 0x10.
FAULT_FUNCTION = "Exists"

# No menu entries or desktop files for the Linux desktop: shortcuts stay in the prefix.
ENV = dict(os.environ, WINEPREFIX=PREFIX, WINEDEBUG="-all",
           WINEDLLOVERRIDES="winemenubuilder.exe=d", LC_ALL="C.UTF-8")
DRIVE_C = os.path.join(PREFIX, "drive_c")
PROGRAM_DIR = os.path.join(DRIVE_C, "Program Files", "Vantoro")
SHORTCUTS = [os.path.join(DRIVE_C, "users", "Public", "Desktop", "Vantoro.lnk"),
             os.path.join(DRIVE_C, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "Vantoro.lnk")]
SAVE_DIR = os.path.join(DRIVE_C, "users", "Public", "Documents", "quorvex")
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantoro"
PRODUCT_KEY = r"Software\quorvex"
PROGRAMS = ["Vantoro.exe", "dumper.exe", "7za.exe"]
NOTICES = ["LICENSE.txt", "THIRD-PARTY-NOTICES.txt"]
RENAMED = "渠道 7 Vantoro 安装"


def unix_path(windows_path):
    assert windows_path[:3].upper() == "C:\\", windows_path
    return os.path.join(DRIVE_C, *windows_path[3:].split("\\"))


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def make_signed_setup():
    """A throwaway code-signing certificate, and the setup program staged and
    packed by the build's own steps, signed with it."""
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Vantoro test signing", "-keyout", KEY, "-out", CERT,
                    "-addext", "extendedKeyUsage=codeSigning",
                    "-addext", "keyUsage=critical,digitalSignature"],
                   check=True, capture_output=True, timeout=60)
    env = dict(os.environ, VANTORO_SIGN_CERT=CERT, VANTORO_SIGN_KEY=KEY)
    subprocess.run(["sh", MAKE_SETUP, STAGE, SETUP], env=env, check=True, timeout=600)


def signed(path):
    """Whether a valid signature by the test certificate covers the file."""
    return subprocess.run(["osslsigncode", "verify", "-CAfile", CERT, "-in", path],
                          capture_output=True, timeout=60).returncode == 0


def wait_for_prefix(timeout=180):
    """Until every process of the prefix has ended (the uninstaller's copy in
    %TEMP% among them) and the registry is on disk."""
    subprocess.run(["wineserver", "-w"], env=ENV, timeout=timeout, check=True)


def run_setup(path, *arguments, settle=True):
    """Its exit code; settle waits for the prefix (not while a Helper runs)."""
    result = subprocess.run(["wine", path, *arguments], env=ENV, capture_output=True, timeout=180)
    if settle:
        wait_for_prefix()
    return result.returncode


class Helper:
    """platform_helper (or a copy of it) holding something, entered once it
    says "ready", ended by closing its input; then its exit code tells
    whether someone else closed it (window: 3)."""

    def __init__(self, program, *arguments):
        self.command = ["wine", program, *arguments]

    def __enter__(self):
        self.process = subprocess.Popen(self.command, env=ENV, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        assert self.process.stdout.readline() == b"ready\n", self.command
        return self.process

    def __exit__(self, *_):
        self.process.stdin.close()
        self.process.wait(timeout=30)
        self.process.stdout.close()


def unescape_reg(text):
    """A string of Wine's system.reg: \\xHHHH for anything outside ASCII."""
    out, at = [], 0
    while at < len(text):
        c = text[at]
        if c != "\\":
            out.append(c)
            at += 1
        elif text[at + 1] == "x":
            end = at + 2
            while end < len(text) and end < at + 6 and text[end] in "0123456789abcdefABCDEF":
                end += 1
            out.append(chr(int(text[at + 2:end], 16)))
            at = end
        else:
            out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(text[at + 1], text[at + 1]))
            at += 2
    return "".join(out)


def machine_key(name):
    """The values of one HKLM key read from the prefix's system.reg, None when
    the key is missing (a 32-bit prefix has no WOW6432Node: this is the 32-bit view)."""
    with open(os.path.join(PREFIX, "system.reg"), encoding="ascii", errors="replace") as f:
        lines = f.read().splitlines()
    header = ("[" + name.replace("\\", "\\\\") + "] ").lower()
    for at, line in enumerate(lines):
        if not line.lower().startswith(header):
            continue
        values = {}
        for entry in lines[at + 1:]:
            if not entry:
                break
            if not entry.startswith('"'):
                continue
            close = entry.index('"=', 1)
            key, value = unescape_reg(entry[1:close]), entry[close + 2:]
            if value.startswith("dword:"):
                values[key] = int(value[6:], 16)
            elif value.startswith('"'):
                values[key] = unescape_reg(value[1:-1])
            else:
                values[key] = value
        return values
    return None


def shortcut(path):
    """(target, working folder) of a .lnk file, from its link info and strings."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:4] == b"L\0\0\0", path
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & 0x01:  # item id list
        at += 2 + struct.unpack_from("<H", data, at)[0]
    target = None
    if flags & 0x02:  # link info with the local base path
        size, _, info_flags, _, local = struct.unpack_from("<5I", data, at)
        if info_flags & 1:
            target = data[at + local:data.index(b"\0", at + local)].decode("latin-1")  # ANSI; the paths here are ASCII
        at += size
    strings = {}
    for bit in (0x04, 0x08, 0x10, 0x20, 0x40):  # name, relative path, working folder, arguments, icon
        if flags & bit:
            count = struct.unpack_from("<H", data, at)[0]
            width = 2 if flags & 0x80 else 1
            raw = data[at + 2:at + 2 + count * width]
            strings[bit] = raw.decode("utf-16-le" if width == 2 else "latin-1").rstrip("\0")
            at += 2 + count * width
    return target, strings.get(0x10)


def service_url():
    with open(os.path.join(SERVICE_DIR, "port")) as f:
        return "http://127.0.0.1:" + f.read().strip()


def pings_with_exe_name(name):
    with urllib.request.urlopen(service_url() + "/test/log", timeout=10) as reply:
        log = json.load(reply)
    return [e for e in log if e["path"] == "/helper/ping" and ["exeName", name] in e["query"]]


def start_fixer():
    target, folder = shortcut(SHORTCUTS[0])
    env = dict(ENV, VANTORO_SERVICE_URL=service_url())
    return subprocess.Popen(["wine", target], env=env, cwd=unix_path(folder), stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wait_for_ping(fixer, count):
    """Until the service has seen more than count pings from the running program."""
    deadline = time.monotonic() + 60
    while len(pings_with_exe_name(RENAMED)) <= count and time.monotonic() < deadline:
        assert fixer.poll() is None, "Vantoro.exe ended"
        time.sleep(0.5)
    return len(pings_with_exe_name(RENAMED)) > count


def function_rva(program, name):
    """The offset of a function (by its demangled name) from the program's image base."""
    header = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", program], capture_output=True, text=True,
                            check=True).stdout
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", header, re.M).group(1), 16)
    symbols = subprocess.run(["x86_64-w64-mingw32-nm", "-C", program], capture_output=True, text=True,
                             check=True).stdout
    match = re.search(r"^([0-9a-f]+) T " + re.escape(name) + r"\(", symbols, re.M)
    assert match, name
    return int(match.group(1), 16) - base


class SupportService:
    """The reference service on a port of its own, in folder, with a symbol
    store made from the programs as linked."""

    def __init__(self, programs=UNSTRIPPED, folder=SUPPORT):
        shutil.rmtree(folder, ignore_errors=True)
        self.store = os.path.join(folder, "symbols")
        subprocess.run([SYMBOL_STORE, self.store] + programs, check=True, capture_output=True, timeout=120)
        port_file = os.path.join(folder, "port")
        self.process = subprocess.Popen([SERVICE_BIN, "--port", "0", "--data", os.path.join(folder, "data"),
                                         "--port-file", port_file, "--symbols", self.store],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while not os.path.exists(port_file) and time.monotonic() < deadline:
            time.sleep(0.1)
        with open(port_file) as f:
            self.url = "http://127.0.0.1:" + f.read().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)

    def upload(self, archive):
        """Posts the archive as Dumper does; the report's id."""
        boundary = uuid.uuid4().hex
        parts = [(name, None, value.encode()) for name, value in
                 (("tag", "1.0.0.1"), ("product", "Fixer"), ("version", VERSION))]
        with open(archive, "rb") as f:
            parts.append(("file", os.path.basename(archive), f.read()))
        body = b""
        for name, filename, data in parts:
            body += f"--{boundary}\r\nContent-Disposition: form-data; name=\"{name}\"".encode()
            if filename:
                body += f"; filename=\"{filename}\"\r\nContent-Type: application/octet-stream".encode()
            body += b"\r\n\r\n" + data + b"\r\n"
        body += f"--{boundary}--\r\n".encode()
        request = urllib.request.Request(self.url + "/api/fixer/client/dump?version=" + VERSION, data=body,
                                         headers={"Content-Type": "multipart/form-data; boundary=" + boundary})
        with urllib.request.urlopen(request, timeout=30) as reply:
            return json.load(reply)["data"]["id"]

    def get(self, path):
        with urllib.request.urlopen(self.url + path, timeout=60) as reply:
            return reply.read()


def browse(url, screenshot):
    """The page's DOM as headless chromium builds it, and a screenshot of it."""
    profile = tempfile.mkdtemp(dir=SUPPORT)
    common = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile,
              "--window-size=1600,1000"]
    try:
        subprocess.run(common + ["--screenshot=" + screenshot, url], capture_output=True, timeout=120, check=True)
        return subprocess.run(common + ["--dump-dom", url], capture_output=True, text=True, timeout=120,
                              check=True).stdout
    finally:
        shutil.rmtree(profile, ignore_errors=True)


class SetupLifeCycle(unittest.TestCase):
    fixer = None

    @classmethod
    def setUpClass(cls):
        subprocess.run(["wineserver", "-k"], env=ENV, stderr=subprocess.DEVNULL)
        shutil.rmtree(PREFIX, ignore_errors=True)
        subprocess.run([PREFIX_SCRIPT, PREFIX], env=ENV, check=True, timeout=300)
        wait_for_prefix()
        make_signed_setup()

    @classmethod
    def tearDownClass(cls):
        if cls.fixer and cls.fixer.poll() is None:
            cls.fixer.kill()
        subprocess.run(["wineserver", "-k"], env=ENV, stderr=subprocess.DEVNULL)

    def test_0_non_empty_foreign_folder_is_refused(self):
        tools = os.path.join(DRIVE_C, "Tools")
        os.makedirs(tools)
        theirs = {"7za.exe": b"MZ their 7-Zip", "uninstall.exe": b"MZ their uninstaller"}
        for name, data in theirs.items():
            with open(os.path.join(tools, name), "wb") as f:
                f.write(data)

        self.assertNotEqual(run_setup(SETUP, "/S", r"/D=C:\Tools"), 0)

        found = {}
        for name in os.listdir(tools):
            with open(os.path.join(tools, name), "rb") as f:
                found[name] = f.read()
        self.assertEqual(found, theirs)
        self.assertIsNone(machine_key(UNINSTALL_KEY))

    def test_0_older_windows_is_refused(self):
        def windows_version(*version):
            return subprocess.run(["wine", "winecfg", "-v", *version], env=ENV, capture_output=True, text=True,
                                  check=True, timeout=120).stdout.strip()
        usual = windows_version()
        windows_version("vista")
        try:
            self.assertEqual(run_setup(SETUP, "/S"), 6)
        finally:
            windows_version(usual)
            wait_for_prefix()
        self.assertFalse(os.path.exists(PROGRAM_DIR))
        self.assertIsNone(machine_key(UNINSTALL_KEY))

    def test_1_silent_install(self):
        self.assertEqual(run_setup(SETUP, "/S"), 0)

        self.assertEqual(sorted(os.listdir(PROGRAM_DIR)), sorted(PROGRAMS + NOTICES + ["uninstall.exe"]))
        for name in PROGRAMS + NOTICES:
            self.assertEqual(digest(os.path.join(PROGRAM_DIR, name)), digest(os.path.join(STAGE, name)), name)
        for path in [SETUP] + [os.path.join(PROGRAM_DIR, n) for n in PROGRAMS + ["uninstall.exe"]]:
            self.assertTrue(signed(path), path)

        self.assertEqual(machine_key(PRODUCT_KEY), {"ExeFile": f"Vantoro-Setup-{VERSION}"})

        entry = machine_key(UNINSTALL_KEY)
        folder = r"C:\Program Files\Vantoro"
        installed_kib = sum(os.path.getsize(os.path.join(PROGRAM_DIR, n)) for n in os.listdir(PROGRAM_DIR)) // 1024
        self.assertAlmostEqual(entry.pop("EstimatedSize"), installed_kib, delta=8)
        for link in ("URLInfoAbout", "HelpLink"):
            self.assertRegex(entry.pop(link), r"^https?://", link)
        self.assertEqual(entry, {
            "DisplayName": "Vantoro",
            "DisplayVersion": VERSION,
            "Publisher": "Vantoro",
            "DisplayIcon": folder + r"\Vantoro.exe,0",
            "InstallLocation": folder,
            "UninstallString": f'"{folder}\\uninstall.exe"',
            "QuietUninstallString": f'"{folder}\\uninstall.exe" /S',
            "NoModify": 1,
            "NoRepair": 1,
        })

        for link in SHORTCUTS:
            self.assertEqual(shortcut(link), (folder + r"\Vantoro.exe", folder), link)

    def test_2_renamed_setup_upgrades_in_place(self):
        # The sign-in record as the program left it; the upgrade must not touch it.
        config = os.path.join(PROGRAM_DIR, "config.json")
        kept = '{"loginInfo":{"name":"用户","token":"t0k3n"},"firstRun":false}\r\n  '.encode("utf-8")
        with open(config, "wb") as f:
            f.write(kept)
        renamed = os.path.join(os.path.dirname(PREFIX), RENAMED + ".exe")
        shutil.copy(SETUP, renamed)
        view = ["/reg:64"] if os.environ["VANTORO_ARCH"] == "x64" else []  # the setup's own view

        def installed_version(version):
            subprocess.run(["wine", "reg", "add", "HKLM\\" + UNINSTALL_KEY, "/v", "DisplayVersion", "/d", version,
                            "/f", *view], env=ENV, check=True, capture_output=True)
        # A newer version installed: a silent setup leaves it as it is.
        installed_version("9.0")
        self.assertEqual(run_setup(renamed, "/S"), 5)
        self.assertEqual(machine_key(UNINSTALL_KEY)["DisplayVersion"], "9.0")
        self.assertEqual(machine_key(PRODUCT_KEY), {"ExeFile": f"Vantoro-Setup-{VERSION}"})
        # As if an older version were installed: a failed upgrade must leave its entry.
        installed_version("0.9")
        # Another program with a window of Fixer's class, from an exe of the same name elsewhere.
        other = os.path.join(DRIVE_C, "Other", "Vantoro.exe")
        os.makedirs(os.path.dirname(other))
        shutil.copy(HELPER, other)

        with Helper(other, "window", "mainWnd") as window, \
                Helper(HELPER, "lock", r"C:\Program Files\Vantoro\dumper.exe"):
            self.assertNotEqual(run_setup(renamed, "/S", settle=False), 0)
        wait_for_prefix()
        self.assertEqual(window.returncode, 0, "the other program's window was closed")
        self.assertEqual(machine_key(UNINSTALL_KEY)["DisplayVersion"], "0.9")
        self.assertEqual(machine_key(PRODUCT_KEY), {"ExeFile": f"Vantoro-Setup-{VERSION}"})

        # The upgrade stays in the installed copy's folder, whatever /D= says.
        self.assertEqual(run_setup(renamed, "/S", r"/D=C:\Elsewhere"), 0)

        self.assertFalse(os.path.exists(os.path.join(DRIVE_C, "Elsewhere")))
        with open(config, "rb") as f:
            self.assertEqual(f.read(), kept)
        self.assertEqual(machine_key(PRODUCT_KEY), {"ExeFile": RENAMED})
        self.assertEqual(sorted(os.listdir(PROGRAM_DIR)), sorted(PROGRAMS + NOTICES + ["uninstall.exe", "config.json"]))
        for name in PROGRAMS:
            self.assertEqual(digest(os.path.join(PROGRAM_DIR, name)), digest(os.path.join(STAGE, name)), name)
        entry = machine_key(UNINSTALL_KEY)
        self.assertEqual((entry["DisplayVersion"], entry["InstallLocation"]), (VERSION, r"C:\Program Files\Vantoro"))
        self.assertEqual(len(entry), 12)

    def test_3_program_from_shortcut_reports_setup_name(self):
        SetupLifeCycle.fixer = start_fixer()
        self.assertTrue(wait_for_ping(self.fixer, 0), "no /helper/ping with the setup's name as exeName")

    def test_4_installed_program_crash_resolves_from_the_symbol_store(self):
        self.assertIsNotNone(self.fixer, "Vantoro.exe was not started")
        before = set(os.listdir(PROGRAM_DIR))
        rva = function_rva(UNSTRIPPED[0], FAULT_FUNCTION)
        out = subprocess.run(["wine", CRASH_RUNNER, "--fault-in", "Vantoro.exe", "%x" % rva], env=ENV,
                             capture_output=True, text=True, timeout=60).stdout
        self.assertIn("started", out)
        self.fixer.wait(timeout=120)
        # Dumper packs its report beside itself, then shows its window: close it.
        deadline = time.monotonic() + 60
        while not [f for f in set(os.listdir(PROGRAM_DIR)) - before if f.endswith(".7z")] and \
                time.monotonic() < deadline:
            time.sleep(0.5)
        archives = [f for f in set(os.listdir(PROGRAM_DIR)) - before if f.endswith(".7z")]
        subprocess.run(["wine", "taskkill", "/f", "/im", "dumper.exe"], env=ENV, capture_output=True, timeout=60)
        self.assertEqual(len(archives), 1, os.listdir(PROGRAM_DIR))
        archive = os.path.join(PROGRAM_DIR, archives[0])
        pings = len(pings_with_exe_name(RENAMED))
        SetupLifeCycle.fixer = start_fixer()

        service = SupportService()
        try:
            report = service.upload(archive)
            page = service.get("/support/reports/" + report).decode("utf-8")
            resolved = re.search(r'<pre id="resolved">(.*?)</pre>', page, re.S).group(1)
            # The faulting frame of the stripped program: its module, offset, name and source line.
            self.assertRegex(resolved, r"(?m)^&gt;00: Vantoro\.exe\+0x[0-9A-F]+ %s\(.*\) at \S+/Path\.cpp:\d+$"
                             % FAULT_FUNCTION)
            self.assertNotIn('class="note"', page)
            dom = browse(service.url + "/support/reports/" + report, os.path.join(SUPPORT, "support-page.png"))
            self.assertRegex(dom, r'<pre id="resolved">&gt;00: Vantoro\.exe\+0x[0-9A-F]+ \S*' + FAULT_FUNCTION)
            link = re.search(r'<a id="archive" href="([^"]+)" download="">', dom)
            self.assertIsNotNone(link, dom)
            with open(archive, "rb") as f:
                self.assertEqual(service.get(link.group(1)), f.read())
        finally:
            service.stop()
        # A store that lacks this build shows the frames as reported, and says so.
        service = SupportService(UNSTRIPPED[1:], SUPPORT + "-other-builds")
        try:
            page = service.get("/support/reports/" + service.upload(archive)).decode("utf-8")
            self.assertRegex(page, r'<p class="note">Vantoro\.exe build [0-9A-F]+ is not in the symbol store')
        finally:
            service.stop()
        os.remove(archive)
        self.assertTrue(wait_for_ping(self.fixer, pings), "Vantoro.exe did not start again")

    def test_5_silent_uninstall_closes_program_and_leaves_downloads(self):
        self.assertIsNotNone(self.fixer, "Vantoro.exe was not started")
        self.assertIsNone(self.fixer.poll(), "Vantoro.exe is not running")
        entry = machine_key(UNINSTALL_KEY)
        # A file held open stops it with its entry and the files not yet removed,
        # for a retry. Run as uninstall.exe runs its copy, whose exit code is the
        # uninstall's: the folder unquoted after _?=, which Wine quotes when it
        # is one argument with a space.
        copy = os.path.join(WORK, "uninstall-copy.exe")
        shutil.copy(os.path.join(PROGRAM_DIR, "uninstall.exe"), copy)
        with Helper(HELPER, "lock", r"C:\Program Files\Vantoro\dumper.exe"):
            self.assertEqual(run_setup(copy, "/S", *r"_?=C:\Program Files\Vantoro".split(" "), settle=False), 3)
        wait_for_prefix()
        # Closed, not killed: it exits 0 once its window has closed.
        self.assertEqual(self.fixer.wait(timeout=10), 0)
        ours = set(PROGRAMS + NOTICES + ["uninstall.exe"])
        self.assertEqual(ours & set(os.listdir(PROGRAM_DIR)), ours - {"Vantoro.exe"})
        self.assertEqual(machine_key(UNINSTALL_KEY), entry)
        for link in SHORTCUTS:
            self.assertTrue(os.path.exists(link), link)

        download = os.path.join(SAVE_DIR, "下载的工具.exe")
        os.makedirs(SAVE_DIR, exist_ok=True)
        with open(download, "wb") as f:
            f.write(b"MZ downloaded")
        # Left by a crash: the report files Dumper names after the time.
        for name in ("2026-12-9-6-1-5.log", "2026-12-9-6-1-5.dmp", "2026-12-9-6-1-5.7z", "config.json.tmp"):
            open(os.path.join(PROGRAM_DIR, name), "wb").close()
        # The user's own file in the folder, named much like a report.
        theirs = "backup-2024-01-02-03-04.7z"
        with open(os.path.join(PROGRAM_DIR, theirs), "wb") as f:
            f.write(b"7z backup")

        command = machine_key(UNINSTALL_KEY)["QuietUninstallString"]
        uninstaller, arguments = command[1:].split('" ')
        self.assertEqual(run_setup(uninstaller, *arguments.split()), 0)

        self.assertEqual(os.listdir(PROGRAM_DIR), [theirs])
        for link in SHORTCUTS:
            self.assertFalse(os.path.exists(link), link)
        self.assertIsNone(machine_key(UNINSTALL_KEY))
        self.assertIsNone(machine_key(PRODUCT_KEY))
        with open(download, "rb") as f:
            self.assertEqual(f.read(), b"MZ downloaded")


if __name__ == "__main__":
    unittest.main(verbosity=2)
