#!/usr/bin/env python3
"""The setup program's life cycle in a fresh Wine prefix of its own, checked
from outside: the setup program made as the build makes it and signed with a
certificate made here, its silent install (every program and the
uninstaller it writes signed), a renamed setup run over it as an upgrade,
Vantoro.exe started from the shortcut against the reference service, and the
silent uninstall while it runs. The steps build on each other and run in
order."""
import hashlib
import json
import os
import shutil
import struct
import subprocess
import time
import unittest
import urllib.request

MAKE_SETUP = os.environ["VANTORO_MAKE_SETUP"]
VERSION = os.environ["VANTORO_VERSION"]
PREFIX = os.environ["INSTALLER_PREFIX"]
WORK = os.path.dirname(PREFIX)
STAGE = os.path.join(WORK, "stage")
SETUP = os.path.join(WORK, "signed", f"Vantoro-Setup-{VERSION}.exe")
CERT, KEY = os.path.join(WORK, "sign-cert.pem"), os.path.join(WORK, "sign-key.pem")
PREFIX_SCRIPT = os.environ["PREFIX_SCRIPT"]
SERVICE_DIR = os.environ["VANTORO_SERVICE_DIR"]

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


def run_setup(path, *arguments):
    result = subprocess.run(["wine", path, *arguments], env=ENV, capture_output=True, timeout=180)
    wait_for_prefix()
    return result.returncode


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

        self.assertEqual(run_setup(renamed, "/S"), 0)

        with open(config, "rb") as f:
            self.assertEqual(f.read(), kept)
        self.assertEqual(machine_key(PRODUCT_KEY), {"ExeFile": RENAMED})
        self.assertEqual(sorted(os.listdir(PROGRAM_DIR)), sorted(PROGRAMS + NOTICES + ["uninstall.exe", "config.json"]))
        self.assertEqual(len(machine_key(UNINSTALL_KEY)), 10)

    def test_3_program_from_shortcut_reports_setup_name(self):
        target, folder = shortcut(SHORTCUTS[0])
        env = dict(ENV, VANTORO_SERVICE_URL=service_url())
        SetupLifeCycle.fixer = subprocess.Popen(["wine", target], env=env, cwd=unix_path(folder),
                                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                                stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while not pings_with_exe_name(RENAMED) and time.monotonic() < deadline:
            self.assertIsNone(self.fixer.poll(), "Vantoro.exe ended")
            time.sleep(0.5)
        self.assertTrue(pings_with_exe_name(RENAMED), "no /helper/ping with the setup's name as exeName")

    def test_4_silent_uninstall_closes_program_and_leaves_downloads(self):
        download = os.path.join(SAVE_DIR, "下载的工具.exe")
        os.makedirs(SAVE_DIR, exist_ok=True)
        with open(download, "wb") as f:
            f.write(b"MZ downloaded")
        # Left by a crash: the report files Dumper names after the time.
        for name in ("2026-12-9-6-1-5.log", "2026-12-9-6-1-5.dmp", "2026-12-9-6-1-5.7z", "config.json.tmp"):
            open(os.path.join(PROGRAM_DIR, name), "wb").close()
        self.assertIsNotNone(self.fixer, "Vantoro.exe was not started")
        self.assertIsNone(self.fixer.poll(), "Vantoro.exe is not running")

        command = machine_key(UNINSTALL_KEY)["QuietUninstallString"]
        uninstaller, arguments = command[1:].split('" ')
        self.assertEqual(run_setup(uninstaller, *arguments.split()), 0)

        # Closed, not killed: it exits 0 once its window has closed.
        self.assertEqual(self.fixer.wait(timeout=10), 0)
        self.assertFalse(os.path.exists(PROGRAM_DIR), os.path.exists(PROGRAM_DIR) and os.listdir(PROGRAM_DIR))
        for link in SHORTCUTS:
            self.assertFalse(os.path.exists(link), link)
        self.assertIsNone(machine_key(UNINSTALL_KEY))
        self.assertIsNone(machine_key(PRODUCT_KEY))
        with open(download, "rb") as f:
            self.assertEqual(f.read(), b"MZ downloaded")


if __name__ == "__main__":
    unittest.main(verbosity=2)
