#!/usr/bin/python3
"""Checks the built DBSetup.exe: a 32-bit GUI program within 32 KiB unsigned
that imports only system DLLs, none of the calls it looks up at run time, and
carries exactly its icon, version block and manifest (administrator rights,
DPI awareness, no supported OS). Given a signed copy too, checks that it
differs only by its certificate table.

  check_pe.py DBSetup.exe [SIGNED.exe] [unittest arguments]
"""
import struct
import sys
import unittest
from pathlib import Path
from xml.etree import ElementTree

import pefile

EXE = SIGNED = None

# A clean Windows has these; libgcc or libstdc++ DLLs would stop the program starting.
SYSTEM_DLLS = {'KERNEL32.DLL', 'USER32.DLL', 'ADVAPI32.DLL', 'MSVCRT.DLL'}
# Looked up at run time, so that Windows without them still starts the program.
RUNTIME_ONLY = {'IsWow64Process', 'SetDefaultDllDirectories', 'SetDllDirectoryA', 'WinVerifyTrust',
                'WTHelperProvDataFromStateData', 'WTHelperGetProvSignerFromChain', 'CertGetNameStringW'}
# Not known DLLs: loaded at run time from the system folder, never imported (a planted copy would be taken).
LOADED_AT_RUN_TIME = (b'wintrust.dll', b'crypt32.dll')
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
ASM = {'v3': 'urn:schemas-microsoft-com:asm.v3'}
SECURITY = pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_SECURITY']


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
        self.assertLessEqual(Path(EXE).stat().st_size, 32 * 1024)

    def test_imports_only_system_dlls_and_nothing_looked_up_at_run_time(self):
        imported = {entry.dll.decode().upper(): {i.name.decode() for i in entry.imports if i.name}
                    for entry in self.pe.DIRECTORY_ENTRY_IMPORT}
        self.assertLessEqual(set(imported), SYSTEM_DLLS)
        self.assertFalse(RUNTIME_ONLY & set().union(*imported.values()))
        for name in LOADED_AT_RUN_TIME:
            self.assertIn(name, Path(EXE).read_bytes())

    def test_carries_exactly_icon_version_and_manifest(self):
        kinds = sorted((kind, name) for kind, name, _, _ in resources(self.pe))
        self.assertEqual(kinds, [(RT_ICON, 1), (RT_ICON, 2), (RT_GROUP_ICON, 128),
                                 (RT_VERSION, 1), (RT_MANIFEST, 1)])

    def test_icon_images_are_32_and_16_pixels_in_16_colours(self):
        # Each image starts with a BITMAPINFOHEADER, whose height counts the mask too.
        headers = [struct.unpack_from('<iiHH', data, 4)
                   for kind, _, _, data in resources(self.pe) if kind == RT_ICON]
        self.assertEqual(sorted((width, height // 2, bits) for width, height, _, bits in headers),
                         [(16, 16, 4), (32, 32, 4)])

    def test_version_block_is_japanese_15_2_0_13(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        version = (15 << 16 | 2, 0 << 16 | 13)
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), version)
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), version)
        tables = [table for info in self.pe.FileInfo[0] if info.Key == b'StringFileInfo'
                  for table in info.StringTable]
        self.assertEqual([t.LangID for t in tables], [b'041104b0'])
        for key in (b'FileVersion', b'ProductVersion'):
            self.assertEqual(tables[0].entries[key], b'15, 2, 0, 13', key)
        translations = [var.entry for info in self.pe.FileInfo[0] if info.Key == b'VarFileInfo' for var in info.Var]
        self.assertEqual(translations, [{b'Translation': '0x0411 0x04b0'}])

    def test_manifest_asks_for_administrator_is_dpi_aware_and_names_no_os(self):
        manifest = ElementTree.fromstring(next(data for kind, _, _, data in resources(self.pe) if kind == RT_MANIFEST))
        levels = manifest.findall('v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel', ASM)
        self.assertEqual([level.get('level') for level in levels], ['requireAdministrator'])
        # Per monitor V2 where Windows has it (10 1703 on), else V1 (8.1 on); Windows 8 takes true/pm as system DPI.
        settings = manifest.findall('v3:application/v3:windowsSettings/*', ASM)
        self.assertEqual([(setting.tag, setting.text) for setting in settings],
                         [('{http://schemas.microsoft.com/SMI/2005/WindowsSettings}dpiAware', 'true/pm'),
                          ('{http://schemas.microsoft.com/SMI/2016/WindowsSettings}dpiAwareness',
                           'PerMonitorV2, PerMonitor')])
        # A supported OS would change the version Windows reports to the program.
        self.assertEqual(manifest.findall('.//{*}compatibility') + manifest.findall('.//{*}supportedOS'), [])


class SignedPeTest(unittest.TestCase):
    # Then the signed copy passes every check above as the program does.
    def test_only_the_certificate_table_was_added(self):
        if SIGNED is None:
            self.skipTest('no signed copy given')
        pe = pefile.PE(SIGNED)
        signed, unsigned = Path(SIGNED).read_bytes(), Path(EXE).read_bytes()
        self.assertEqual(pefile.PE(EXE).OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].Size, 0)
        table = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
        # At the end of the file (its offset is a file offset), after at most 7 zero bytes of alignment.
        self.assertEqual(table.VirtualAddress % 8, 0)
        self.assertIn(table.VirtualAddress - len(unsigned), range(8))
        self.assertEqual(signed[len(unsigned):table.VirtualAddress], bytes(table.VirtualAddress - len(unsigned)))
        self.assertEqual(table.VirtualAddress + table.Size, len(signed))
        length, revision, kind = struct.unpack_from('<IHH', signed, table.VirtualAddress)
        self.assertEqual((revision, kind), (0x0200, 0x0002))  # WIN_CERT_REVISION_2_0, PKCS#7 SignedData
        self.assertIn(table.Size - length, range(8))
        # Before it, only the checksum and the directory entry differ; the checksum is right.
        changed = {pe.OPTIONAL_HEADER.get_field_absolute_offset('CheckSum') + i for i in range(4)}
        changed |= {table.get_file_offset() + i for i in range(8)}
        self.assertEqual({i for i in range(len(unsigned)) if signed[i] != unsigned[i]} - changed, set())
        self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum())


if __name__ == '__main__':
    EXE = sys.argv.pop(1)
    if len(sys.argv) > 1 and sys.argv[1].lower().endswith('.exe'):
        SIGNED = sys.argv.pop(1)
    unittest.main(verbosity=2)
