"""Reads the manifest out of a Windows program where Windows looks for it (resource type 24, id
1) and finds each setting in the element and namespace where Windows reads it: Windows 10 and 11
without compatibility shims, no elevation, Qt's DPI awareness, long paths; and no code page, as
file1.txt stays in the ANSI one that other programs read it in."""
import sys
import xml.etree.ElementTree as ElementTree

import pefile

ASM3 = "{urn:schemas-microsoft-com:asm.v3}"
SMI = "{http://schemas.microsoft.com/SMI/20%s/WindowsSettings}"
SETTINGS = f"{ASM3}application/{ASM3}windowsSettings/"
EXPECTED = [
    "{urn:schemas-microsoft-com:compatibility.v1}compatibility/*/*"
    "[@Id='{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}']",
    f"{ASM3}trustInfo/*/*/{ASM3}requestedExecutionLevel[@level='asInvoker'][@uiAccess='false']",
    SETTINGS + SMI % "05" + "dpiAware[.='true/pm']",
    SETTINGS + SMI % "16" + "dpiAwareness[.='PerMonitorV2']",
    SETTINGS + SMI % "16" + "longPathAware[.='true']",
]

program = pefile.PE(sys.argv[1])
found = [language.data.struct for kind in program.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == 24
         for name in kind.directory.entries if name.id == 1 for language in name.directory.entries]
if len(found) != 1:
    sys.exit(f"FAIL: {sys.argv[1]} holds {len(found)} manifests, not one")
manifest = ElementTree.fromstring(program.get_data(found[0].OffsetToData, found[0].Size))
missing = [path for path in EXPECTED if manifest.find(path) is None]
if missing or manifest.find(".//{*}activeCodePage") is not None:
    sys.exit(f"FAIL: the manifest of {sys.argv[1]} lacks {missing} or sets activeCodePage")
