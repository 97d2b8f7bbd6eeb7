#!/usr/bin/env python3
"""The shipped programs as Windows loads them: the flavour's machine and PE
format, and imports from Windows' own DLLs only (a static build must not need
a MinGW runtime DLL beside it). Reads the files with the cross objdump; needs
no Wine, so it runs for a flavour the machine cannot execute too."""
import os
import re
import subprocess
import unittest

ARCH = os.environ["VANTORO_ARCH"]
OBJDUMP = os.environ["OBJDUMP"]
PROGRAMS = os.environ["PE_PROGRAMS"].split(";")

EXPECTED = {"x86": ("pei-i386", "010b"), "x64": ("pei-x86-64", "020b")}

# DLLs every supported Windows (7 and later) has in System32.
SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dbghelp.dll",
    "gdi32.dll", "gdiplus.dll", "imm32.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll",
    "ole32.dll", "oleacc.dll", "oleaut32.dll", "psapi.dll", "secur32.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "uxtheme.dll", "version.dll", "winmm.dll", "ws2_32.dll",
    "normaliz.dll", "iphlpapi.dll", "userenv.dll", "wldap32.dll", "dwmapi.dll",
}


def headers(path):
    return subprocess.run([OBJDUMP, "-p", path], capture_output=True, text=True, check=True).stdout


class ShippedPrograms(unittest.TestCase):
    def test_format_and_imports(self):
        file_format, magic = EXPECTED[ARCH]
        for path in PROGRAMS:
            with self.subTest(program=os.path.basename(path)):
                text = headers(path)
                self.assertRegex(text, r"file format " + re.escape(file_format) + r"\n")
                self.assertRegex(text, r"\nMagic\s+" + magic + r"\b")
                imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", text)}
                self.assertIn("kernel32.dll", imports)
                self.assertEqual(imports - SYSTEM_DLLS, set(), "DLLs that Windows does not have")

    def test_our_programs_carry_a_build_id(self):
        # Kept by stripping: what a shipped program's trace is resolved by.
        for path in PROGRAMS:
            if os.path.basename(path).lower() == "7za.exe":
                continue
            with self.subTest(program=os.path.basename(path)):
                self.assertRegex(headers(path), r"\(format RSDS signature [0-9a-f]{32} age \d+")


if __name__ == "__main__":
    unittest.main(verbosity=2)
