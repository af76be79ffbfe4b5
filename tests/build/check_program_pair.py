#!/usr/bin/python3
"""fontctl.exe and fontctl-utf8.exe are one program with two manifests.

Every section but the resources is the same, byte for byte and at the same
address, and so are the headers but for the fields that the size of the
resources sets. fontctl.exe's manifest asks for asInvoker without uiAccess
and sets nothing else; fontctl-utf8.exe's asks the same and adds only the
UTF-8 active code page.

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

# Header fields that follow from the size of the resources.
RESOURCE_SIZED_FIELDS = {"SizeOfInitializedData", "SizeOfImage", "CheckSum"}

failures = []


def fail(message):
    failures.append(message)
    print(f"FAIL: {message}")


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


def sections(image):
    return {section.Name.rstrip(b"\0").decode(): (section.VirtualAddress, section.Misc_VirtualSize,
                                                  section.get_data()) for section in image.sections}


def header_fields(image):
    fields = {f"FILE_HEADER.{k}": v for k, v in image.FILE_HEADER.dump_dict().items()}
    fields.update({f"OPTIONAL_HEADER.{k}": v for k, v in image.OPTIONAL_HEADER.dump_dict().items()
                   if k not in RESOURCE_SIZED_FIELDS})
    for index, directory in enumerate(image.OPTIONAL_HEADER.DATA_DIRECTORY):
        if directory.name != "IMAGE_DIRECTORY_ENTRY_RESOURCE":
            fields[f"DATA_DIRECTORY[{index}]"] = (directory.VirtualAddress, directory.Size)
    return fields


def main(fontctl_path, utf8_path):
    fontctl, utf8 = pefile.PE(fontctl_path), pefile.PE(utf8_path)

    ours, theirs = sections(fontctl), sections(utf8)
    if ours.keys() != theirs.keys():
        fail(f"different sections: {sorted(ours)} and {sorted(theirs)}")
    for name in sorted(ours.keys() & theirs.keys() - {".rsrc"}):
        if ours[name] != theirs[name]:
            fail(f"section {name} differs")

    ours, theirs = header_fields(fontctl), header_fields(utf8)
    for field in sorted(ours.keys() | theirs.keys()):
        if ours.get(field) != theirs.get(field):
            fail(f"header field {field} differs: {ours.get(field)} and {theirs.get(field)}")

    for path, image, expected in ((fontctl_path, fontctl, REQUEST_AS_INVOKER),
                                  (utf8_path, utf8, REQUEST_AS_INVOKER + UTF8_CODE_PAGE)):
        found = manifest_elements(image)
        if found is None:
            fail(f"{path}: no RT_MANIFEST resource with ID 1")
        elif found != expected:
            extra = [element for element in found if element not in expected]
            missing = [element for element in expected if element not in found]
            fail(f"{path}: the manifest holds {extra} beyond and lacks {missing}")

    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
