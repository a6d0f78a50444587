#!/usr/bin/python3
"""Checks the release bundle: exactly its three files, in the encodings Windows
tools expect, and the same bytes when built again from the same sources."""
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

SOURCE = BUILD = None


class DistTest(unittest.TestCase):
    def test_bundle_holds_exactly_the_three_files(self):
        dist = BUILD / 'dist'
        self.assertEqual(sorted(p.name for p in dist.iterdir()),
                         ['ConfigurationFile.ini', 'DBSetup.exe', 'README_ja.txt'])
        self.assertEqual((dist / 'DBSetup.exe').read_bytes(), (BUILD / 'win32' / 'DBSetup.exe').read_bytes())
        with zipfile.ZipFile(BUILD / 'DBSetup.zip') as archive:
            self.assertEqual(sorted(archive.namelist()),
                             ['DBSetup/ConfigurationFile.ini', 'DBSetup/DBSetup.exe', 'DBSetup/README_ja.txt'])
            for name in archive.namelist():
                self.assertEqual(archive.read(name), (dist / name.split('/')[1]).read_bytes())

    def test_texts_are_shift_jis_with_crlf(self):
        for name in ('ConfigurationFile.ini', 'README_ja.txt'):
            data = (BUILD / 'dist' / name).read_bytes()
            text = data.decode('cp932')
            self.assertNotIn('\n', text.replace('\r\n', ''), name)
        guide = (BUILD / 'dist' / 'README_ja.txt').read_bytes().decode('cp932')
        for needed in ('SQLEXPRADV_x64_JPN.exe', 'ConfigurationFile.ini', '管理者', '再起動', '起動エラー'):
            self.assertIn(needed, guide)
        ini = (BUILD / 'dist' / 'ConfigurationFile.ini').read_bytes().decode('cp932')
        for setting in ('INSTANCENAME="VALTERNADB"', 'INSTANCEID="VALTERNADB"', 'FEATURES=SQLENGINE',
                        'IACCEPTSQLSERVERLICENSETERMS="True"', 'QUIETSIMPLE="True"', 'UPDATEENABLED="False"'):
            self.assertIn(setting + '\r\n', ini)

    def test_a_second_build_gives_the_same_bytes(self):
        with tempfile.TemporaryDirectory() as temp:
            temp = Path(temp)
            subprocess.run(['cmake', '-S', str(SOURCE), '-B', str(temp / 'win32'), '-G', 'Ninja',
                            '-DCMAKE_TOOLCHAIN_FILE=' + str(SOURCE / 'cmake' / 'mingw-i686.cmake'),
                            '-DCMAKE_BUILD_TYPE=Release'], check=True, stdout=subprocess.DEVNULL)
            subprocess.run(['cmake', '--build', str(temp / 'win32')], check=True, stdout=subprocess.DEVNULL)
            subprocess.run([sys.executable, str(SOURCE / 'tools' / 'make_dist.py'),
                            str(temp / 'win32' / 'DBSetup.exe'), str(SOURCE), str(temp)], check=True)
            for name in ('DBSetup.exe', 'ConfigurationFile.ini', 'README_ja.txt'):
                self.assertEqual((temp / 'dist' / name).read_bytes(), (BUILD / 'dist' / name).read_bytes(), name)
            self.assertEqual((temp / 'DBSetup.zip').read_bytes(), (BUILD / 'DBSetup.zip').read_bytes())


if __name__ == '__main__':
    SOURCE, BUILD = Path(sys.argv.pop(1)), Path(sys.argv.pop(1))
    unittest.main(verbosity=2)
