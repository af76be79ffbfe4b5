#!/usr/bin/python3
"""fontctl.exe and fontctl-utf8.exe: which Windows functions each imports, and
their manifests.

fontctl.exe hands paths to the narrow (A) file and font functions, in the
ANSI code page, and fontctl-utf8.exe to the wide (W) ones, in UTF-16: each
imports its own form of every one of them and not one of the other form.
Both read the Unicode command line (GetCommandLineW) and never the one that
Windows converts with best fit (GetCommandLineA), read why a search or a copy
failed (GetLastError), compare file names as the file system does
(CompareStringOrdinal, on UTF-16) and resolve full paths in UTF-16
(GetFullPathNameW: its narrow form converts with best fit). Both set, at
start, the error mode that fails a call on a drive without a disk instead of
showing a message box (SetErrorMode), and load DLLs from the system folder
only (SetDefaultDllDirectories, looked up by name with GetProcAddress, since
Windows 7 has it only with an update). Only fontctl.exe converts between the
code page and UTF-16 (WideCharToMultiByte for its command line,
MultiByteToWideChar for names it compares) and asks for lead bytes of the
code page; fontctl-utf8.exe does its UTF-8 conversions itself. fontctl.exe's manifest asks for asInvoker without uiAccess and sets
nothing else; fontctl-utf8.exe's asks the same and adds only the UTF-8 active
code page.

Usage: check_program_pair.py FONTCTL_EXE FONTCTL_UTF8_EXE
"""
import sys
import xml.etree.ElementTree as ElementTree

import pefile

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
SETTINGS_2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"

# Each element of a manifest: its path of tags, its attributes and its text.
REQUEST_AS_INVOKER = [
    ((f"{ASM_V1}assembly",), (("manifestVersion", "1.0"),), ""),
    ((f"{ASM_V1}assembly", f"{ASM_V3}trustInfo"), (), ""),
    ((f"{ASM_V1}assembly", f"{ASM_V3}trustInfo", f"{ASM_V3}security"), (), ""),
    ((f"{ASM_V1}assembly", f"{ASM_V3}trustInfo", f"{ASM_V3}security", f"{ASM_V3}requestedPrivileges"), (), ""),
    ((f"{ASM_V1}assembly", f"{ASM_V3}trustInfo", f"{ASM_V3}security", f"{ASM_V3}requestedPrivileges",
      f"{ASM_V3}requestedExecutionLevel"), (("level", "asInvoker"), ("uiAccess", "false")), ""),
]
UTF8_CODE_PAGE = [
    ((f"{ASM_V1}assembly", f"{ASM_V3}application"), (), ""),
    ((f"{ASM_V1}assembly", f"{ASM_V3}application", f"{ASM_V3}windowsSettings"), (), ""),
    ((f"{ASM_V1}assembly", f"{ASM_V3}application", f"{ASM_V3}windowsSettings", f"{SETTINGS_2019}activeCodePage"),
     (), "UTF-8"),
]

# The functions that take a path (or, PostMessage, none, but come in both
# forms all the same), by library, without their A or W.
TWO_FORMS = {
    "kernel32.dll": ["CreateFile", "DeleteFile", "FindFirstFile", "GetFileAttributes"],
    "shlwapi.dll": ["PathFileExists"],
    "gdi32.dll": ["AddFontResource", "AddFontResourceEx", "RemoveFontResource", "RemoveFontResourceEx"],
    "user32.dll": ["PostMessage"],
}

# What each program imports (library, function) and what it must not.
COMMON = {("kernel32.dll", name) for name in ("GetCommandLineW", "FindClose", "GetLastError", "CompareStringOrdinal",
                                               "GetFullPathNameW", "GetCurrentProcessId", "SetErrorMode",
                                               "GetModuleHandleW", "GetProcAddress", "ReadFile", "WriteFile",
                                               "FlushFileBuffers", "SetFileInformationByHandle",
                                               "GetFileInformationByHandleEx", "ReOpenFile", "CloseHandle")}
# CopyFile and MoveFile work by name: the copy is made and renamed through a
# handle that this run holds.
NEVER = {("kernel32.dll", name) for name in ("GetCommandLineA", "GetFullPathNameA", "CopyFileA", "CopyFileW",
                                              "MoveFileExA", "MoveFileExW")}
# Looked up by name: the image holds it as a string of its own.
LOOKED_UP = b"\0SetDefaultDllDirectories\0"
NARROW_ONLY = {("kernel32.dll", name) for name in ("WideCharToMultiByte", "MultiByteToWideChar", "IsDBCSLeadByte")}


def forms(suffix):
    return {(dll, name + suffix) for dll, names in TWO_FORMS.items() for name in names}


EXPECTED = {
    "fontctl.exe": (forms("A") | COMMON | NARROW_ONLY, forms("W") | NEVER),
    "fontctl-utf8.exe": (forms("W") | COMMON, forms("A") | NEVER | NARROW_ONLY),
}

failures = []


def fail(message):
    failures.append(message)
    print(f"FAIL: {message}")


def imports(image):
    """Every (library, function) that the image imports by name."""
    found = set()
    for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().lower()
        found |= {(dll, function.name.decode()) for function in entry.imports if function.name}
    return found


def manifest_elements(image):
    """The elements of the RT_MANIFEST resource with ID 1."""
    for kind in image.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            continue
        for name in kind.directory.entries:
            if name.id == 1:
                data = name.directory.entries[0].data.struct
                text = image.get_data(data.OffsetToData, data.Size)
                return elements(ElementTree.fromstring(text))
    return None


def elements(node, path=()):
    path = path + (node.tag,)
    found = [(path, tuple(sorted(node.attrib.items())), (node.text or "").strip())]
    for child in node:
        found += elements(child, path)
    return found


def main(fontctl_path, utf8_path):
    for path, program, manifest in ((fontctl_path, "fontctl.exe", REQUEST_AS_INVOKER),
                                    (utf8_path, "fontctl-utf8.exe", REQUEST_AS_INVOKER + UTF8_CODE_PAGE)):
        image = pefile.PE(path)
        found = imports(image)
        required, forbidden = EXPECTED[program]
        for dll, function in sorted(required - found):
            fail(f"{path} does not import {function} from {dll}")
        for dll, function in sorted(forbidden & found):
            fail(f"{path} imports {function} from {dll}")

        with open(path, "rb") as file:
            looked_up = LOOKED_UP in file.read()
        if not looked_up and ("kernel32.dll", "SetDefaultDllDirectories") not in found:
            fail(f"{path} neither imports nor looks up SetDefaultDllDirectories")

        elements_found = manifest_elements(image)
        if elements_found is None:
            fail(f"{path}: no RT_MANIFEST resource with ID 1")
        elif elements_found != manifest:
            extra = [element for element in elements_found if element not in manifest]
            missing = [element for element in manifest if element not in elements_found]
            fail(f"{path}: the manifest holds {extra} beyond and lacks {missing}")

    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
