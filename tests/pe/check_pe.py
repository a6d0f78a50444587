#!/usr/bin/python3
"""Checks the built DBSetup.exe: a 32-bit, large-address-aware GUI program within
38 KiB unsigned that imports only system DLLs, none of the calls it looks up at
run time, and carries exactly its icon, and the version block, manifest and
answer file of res/ (the manifest naming no supported OS). That a signed copy
differs only by its certificate table is checked where it is made (tests/dist).

  check_pe.py DBSetup.exe [unittest arguments]
"""
import re
import struct
import sys
import unittest
from pathlib import Path
from xml.etree import ElementTree

import pefile

EXE = None

# A clean Windows has these, and it imports from each; libgcc or libstdc++ DLLs would stop the program starting.
SYSTEM_DLLS = {'KERNEL32.DLL', 'USER32.DLL', 'ADVAPI32.DLL', 'MSVCRT.DLL'}
# Looked up at run time, so that Windows without them still starts the program.
RUNTIME_ONLY = {'IsWow64Process', 'SetDefaultDllDirectories', 'SetDllDirectoryA', 'WinVerifyTrust',
                'WTHelperProvDataFromStateData', 'WTHelperGetProvSignerFromChain', 'CertGetNameStringW'}
# Not known DLLs: loaded at run time from the system folder, never imported (a planted copy would be taken).
LOADED_AT_RUN_TIME = (b'wintrust.dll', b'crypt32.dll')
RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24
RES = Path(__file__).resolve().parents[2] / 'res'


def resources(pe: pefile.PE) -> list:
    """(type, name, language, data) of every resource."""
    return [(kind.id, name.id, language.id,
             pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size))
            for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries
            for name in kind.directory.entries
            for language in name.directory.entries]


class PeTest(unittest.TestCase):
    def setUp(self):
        self.pe = pefile.PE(EXE)

    def test_is_a_32_bit_gui_program(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE['IMAGE_FILE_MACHINE_I386'])
        self.assertEqual(self.pe.OPTIONAL_HEADER.Magic, 0x10B)  # PE32
        self.assertEqual(self.pe.OPTIONAL_HEADER.Subsystem,
                         pefile.SUBSYSTEM_TYPE['IMAGE_SUBSYSTEM_WINDOWS_GUI'])
        self.assertTrue(self.pe.FILE_HEADER.IMAGE_FILE_LARGE_ADDRESS_AWARE)
        self.assertLessEqual(Path(EXE).stat().st_size, 38 * 1024)

    def test_imports_only_system_dlls_and_nothing_looked_up_at_run_time(self):
        imported = {entry.dll.decode().upper(): {i.name.decode() for i in entry.imports if i.name}
                    for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertEqual(set(imported), SYSTEM_DLLS)
        self.assertFalse(RUNTIME_ONLY & set().union(*imported.values()))
        self.assertIn('SystemFunction036', imported['ADVAPI32.DLL'])  # RtlGenRandom, for its folder's name
        for name in LOADED_AT_RUN_TIME:
            self.assertIn(name, Path(EXE).read_bytes())

    def test_carries_exactly_icon_version_manifest_and_the_answer_file(self):
        kinds = sorted((kind, name) for kind, name, _, _ in resources(self.pe))
        self.assertEqual(kinds, [(RT_ICON, 1), (RT_ICON, 2), (RT_RCDATA, 1), (RT_GROUP_ICON, 128),
                                 (RT_VERSION, 1), (RT_MANIFEST, 1)])
        # Handed to the setup package byte for byte: code page 932 with CRLF, as it reads it.
        answers = (RES / 'ConfigurationFile.ini').read_text(encoding='utf-8').replace('\n', '\r\n').encode('cp932')
        self.assertEqual([data for kind, _, _, data in resources(self.pe) if kind == RT_RCDATA], [answers])

    def test_icon_images_are_32_and_16_pixels_in_16_colours(self):
        # Each image starts with a BITMAPINFOHEADER, whose height counts the mask too.
        headers = [struct.unpack_from('<iiHH', data, 4)
                   for kind, _, _, data in resources(self.pe) if kind == RT_ICON]
        self.assertEqual(sorted((width, height // 2, bits) for width, height, _, bits in headers),
                         [(16, 16, 4), (32, 32, 4)])

    def test_version_block_is_the_one_of_res(self):
        rc = (RES / 'DBSetup.rc').read_text(encoding='utf-8')
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        for key, ms, ls in (('FILEVERSION', fixed.FileVersionMS, fixed.FileVersionLS),
                            ('PRODUCTVERSION', fixed.ProductVersionMS, fixed.ProductVersionLS)):
            a, b, c, d = map(int, re.search(key + r' (\d+), (\d+), (\d+), (\d+)', rc).groups())
            self.assertEqual((ms, ls), (a << 16 | b, c << 16 | d), key)
        tables = [table for info in self.pe.FileInfo[0] if info.Key == b'StringFileInfo' for table in info.StringTable]
        self.assertEqual([t.LangID.decode() for t in tables], re.findall(r'BLOCK "([0-9a-fA-F]{8})"', rc))
        self.assertEqual({k.decode(): v.decode() for k, v in tables[0].entries.items()},
                         dict(re.findall(r'VALUE "(\w+)", "([^"]*)"', rc)))
        language, code_page = (int(n, 0) for n in re.search(r'VALUE "Translation", (\w+), (\w+)', rc).groups())
        translations = [var.entry for info in self.pe.FileInfo[0] if info.Key == b'VarFileInfo' for var in info.Var]
        self.assertEqual(translations, [{b'Translation': f'0x{language:04x} 0x{code_page:04x}'}])

    def test_manifest_is_the_one_of_res_and_names_no_os(self):
        manifest = next(data for kind, _, _, data in resources(self.pe) if kind == RT_MANIFEST)
        self.assertEqual(manifest, (RES / 'DBSetup.manifest').read_bytes())
        # A supported OS would change the version Windows reports to the program.
        read = ElementTree.fromstring(manifest)
        self.assertEqual(read.findall('.//{*}compatibility') + read.findall('.//{*}supportedOS'), [])
        # The setup package needs administrator rights, and the installer asks for them once.
        self.assertEqual([e.get('level') for e in read.findall('.//{*}requestedExecutionLevel')], ['requireAdministrator'])


if __name__ == '__main__':
    EXE = sys.argv.pop(1)
    unittest.main(verbosity=2)
