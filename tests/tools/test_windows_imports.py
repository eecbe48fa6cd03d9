"""The Windows executables load on Windows 7, the oldest Windows the product supports: every
DLL they import ships with Windows 7, no imported function is one that came later, and the
PE header asks for no newer system. Reads build/dist-win32 and build/dist-win64."""

import os
import re
import shutil
import subprocess
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXES = [
    ("build/dist-win32/tivolna.exe", "i686-w64-mingw32-objdump"),
    ("build/dist-win64/tivolna.exe", "x86_64-w64-mingw32-objdump"),
]

# System DLLs of a Windows 7 installation (lower case).
WIN7_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "shlwapi.dll",
    "ws2_32.dll", "winmm.dll", "msvcrt.dll", "comctl32.dll", "comdlg32.dll", "ole32.dll",
    "oleaut32.dll", "msimg32.dll", "uxtheme.dll", "version.dll", "imm32.dll", "dwmapi.dll",
    "wininet.dll", "urlmon.dll", "crypt32.dll", "secur32.dll", "iphlpapi.dll", "winspool.drv",
    "gdiplus.dll", "windowscodecs.dll", "psapi.dll", "dbghelp.dll", "mpr.dll", "setupapi.dll",
    "bcrypt.dll",  # since Vista; FFmpeg's random seed
}

# Functions first shipped after Windows 7 (in 8, 8.1 or 10) that code built with MinGW, or its
# runtime, may import.
NEWER_THAN_WIN7 = {
    # kernel32 / kernelbase
    "GetSystemTimePreciseAsFileTime", "CreateFile2", "CopyFile2", "GetCurrentThreadStackLimits",
    "WaitOnAddress", "WakeByAddressSingle", "WakeByAddressAll", "SetThreadDescription",
    "GetThreadDescription", "PrefetchVirtualMemory", "SetDefaultDllDirectories", "AddDllDirectory",
    "RemoveDllDirectory", "GetOverlappedResultEx", "CreateFileMappingFromApp", "MapViewOfFileFromApp",
    "SetProcessMitigationPolicy", "GetProcessMitigationPolicy", "GetFirmwareType",
    "GetCurrentPackageId", "GetPackageFamilyName", "GetCurrentPackageFullName", "VirtualAlloc2",
    "MapViewOfFile3", "SetThreadpoolTimerEx", "SetThreadpoolWaitEx", "InitializeSynchronizationBarrier",
    "EnterSynchronizationBarrier", "DeleteSynchronizationBarrier", "SetThreadInformation",
    "GetThreadInformation", "SetProcessInformation", "GetProcessInformation", "DiscardVirtualMemory",
    "OfferVirtualMemory", "ReclaimVirtualMemory", "QueryUnbiasedInterruptTimePrecise",
    "QueryInterruptTimePrecise", "QueryInterruptTime", "GetIntegratedDisplaySize",
    "CreateRemoteThreadEx2", "GetSystemCpuSetInformation", "SetThreadSelectedCpuSets",
    "GetProcessDefaultCpuSets", "GetTempPath2W", "GetTempPath2A", "IsWow64Process2",
    # user32
    "GetDpiForWindow", "GetDpiForSystem", "SetProcessDpiAwarenessContext",
    "SetThreadDpiAwarenessContext", "GetThreadDpiAwarenessContext", "AdjustWindowRectExForDpi",
    "GetSystemMetricsForDpi", "SystemParametersInfoForDpi", "EnableNonClientDpiScaling",
    "GetWindowDpiAwarenessContext", "AreDpiAwarenessContextsEqual", "IsValidDpiAwarenessContext",
    "GetAwarenessFromDpiAwarenessContext", "GetDpiFromDpiAwarenessContext",
    "LogicalToPhysicalPointForPerMonitorDPI", "PhysicalToLogicalPointForPerMonitorDPI",
    "SetDisplayAutoRotationPreferences", "GetDisplayAutoRotationPreferences", "EnableMouseInPointer",
    "IsMouseInPointerEnabled", "GetPointerInfo", "GetPointerType", "GetPointerFrameInfo",
    "GetPointerTouchInfo", "GetPointerPenInfo", "RegisterPointerInputTarget", "InjectTouchInput",
    "InitializeTouchInjection", "GetCurrentInputMessageSource", "GetCIMSSM",
    # ws2_32
    "GetAddrInfoExCancel", "GetAddrInfoExOverlappedResult",
}

MAX_SYSTEM_VERSION = (6, 1)  # Windows 7


def imports(objdump, exe):
    """{dll (lower case): [function, ...]} and the header's version fields."""
    out = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
    table, dll, header = {}, None, {}
    for line in out.splitlines():
        m = re.match(r"\s*DLL Name: (\S+)", line)
        if m:
            dll = m.group(1).lower()
            table.setdefault(dll, [])
            continue
        m = re.match(r"\s*[0-9a-f]+\s+[0-9]+\s+(\S+)\s*$", line)
        if m and dll:
            table[dll].append(m.group(1))
            continue
        m = re.match(r"(Major|Minor)(OSystem|Subsystem)Version\s+(\d+)", line)
        if m:
            header[m.group(1) + m.group(2)] = int(m.group(3))
        if line.startswith("The Export Tables") or line.startswith("PE File Base Relocations"):
            dll = None
    return table, header


class WindowsImports(unittest.TestCase):
    def test_executables_load_on_windows_7(self):
        checked = 0
        for rel, objdump in EXES:
            exe = os.path.join(ROOT, rel)
            if not os.path.isfile(exe) or not shutil.which(objdump):
                continue
            checked += 1
            table, header = imports(objdump, exe)
            self.assertIn("kernel32.dll", table, rel)
            for dll, funcs in table.items():
                self.assertIn(dll, WIN7_DLLS, f"{rel} imports {dll}, which Windows 7 may lack")
                newer = sorted(set(funcs) & NEWER_THAN_WIN7)
                self.assertEqual(newer, [], f"{rel} imports from {dll} functions newer than Windows 7")
            for kind in ("OSystem", "Subsystem"):
                version = (header.get("Major" + kind, 0), header.get("Minor" + kind, 0))
                self.assertLessEqual(version, MAX_SYSTEM_VERSION, f"{rel}: {kind} version {version}")
        if checked == 0:
            self.skipTest("no Windows build in build/dist-win32 or build/dist-win64")


if __name__ == "__main__":
    unittest.main()
