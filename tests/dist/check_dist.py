#!/usr/bin/python3
"""Checks the release bundle: exactly its files, in the encodings Windows tools
expect, checksums that hold, the same bytes when built again from the same
sources; and signing with a throwaway certificate: the signature verifies
against its CA, a changed byte breaks it, and bad certificates are refused
without touching the previous bundle. The signed bundle is left in
OUT/dist for the PE checks and the Wine test.

  check_dist.py SOURCE BUILD OUT [unittest arguments]
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

import pefile

SOURCE = BUILD = OUT = None
FILES = ['ConfigurationFile.ini', 'DBSetup.exe', 'README_ja.txt', 'SHA256SUMS']
SIGN_ENV = ('DBSETUP_SIGN_PFX', 'DBSETUP_SIGN_PASSWORD_FILE', 'DBSETUP_SIGN_TIMESTAMP_URL')
PASSWORD = 'throwaway pass 7Q'


def make_dist(exe: Path, out: Path, **sign) -> subprocess.CompletedProcess:
    env = {k: v for k, v in os.environ.items() if k not in SIGN_ENV}
    env.update({k: str(v) for k, v in sign.items()})
    return subprocess.run([sys.executable, str(SOURCE / 'tools' / 'make_dist.py'), str(exe), str(SOURCE), str(out)],
                          env=env, capture_output=True, text=True, stdin=subprocess.DEVNULL)


def unsigned_program(path: Path) -> bytes:
    """The program without its signature, if it has one."""
    if pefile.PE(str(path), fast_load=True).OPTIONAL_HEADER.DATA_DIRECTORY[4].Size == 0:
        return path.read_bytes()
    with tempfile.TemporaryDirectory() as temp:
        stripped = Path(temp) / 'DBSetup.exe'
        subprocess.run(['osslsigncode', 'remove-signature', '-in', str(path), '-out', str(stripped)],
                       check=True, capture_output=True)
        return stripped.read_bytes()


def check_bundle(test: unittest.TestCase, out: Path) -> None:
    """Exactly its files, the program built from these sources, checksums that hold, and a zip of them."""
    dist = out / 'dist'
    test.assertEqual(sorted(p.name for p in dist.iterdir()), FILES)
    test.assertEqual(unsigned_program(dist / 'DBSetup.exe'), (BUILD / 'win32' / 'DBSetup.exe').read_bytes())
    sums = subprocess.run(['sha256sum', '--strict', '-c', 'SHA256SUMS'], cwd=dist, capture_output=True, text=True)
    test.assertEqual(sums.returncode, 0, sums.stdout + sums.stderr)
    test.assertEqual(sorted(sums.stdout.split('\n')[:-1]), [f'{name}: OK' for name in FILES if name != 'SHA256SUMS'])
    with zipfile.ZipFile(out / 'DBSetup.zip') as archive:
        test.assertEqual(sorted(archive.namelist()), ['DBSetup/' + name for name in FILES])
        for name in archive.namelist():
            test.assertEqual(archive.read(name), (dist / name.split('/')[1]).read_bytes(), name)


def openssl(*args, cwd: Path) -> None:
    subprocess.run(['openssl', *args], cwd=cwd, check=True, capture_output=True)


def make_certificates(keys: Path) -> None:
    """A throwaway CA and, signed by it, a code-signing certificate and an expired one, each in PKCS#12."""
    (keys / 'leaf.cnf').write_text('[leaf]\nbasicConstraints=critical,CA:FALSE\n'
                                   'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n')
    (keys / 'password').write_text(PASSWORD + '\n')
    (keys / 'wrong-password').write_text('not ' + PASSWORD + '\n')
    openssl('req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', 'ca.key', '-out', 'ca.pem', '-days', '2',
            '-subj', '/CN=DBSetup Throwaway CA', '-addext', 'basicConstraints=critical,CA:TRUE',
            '-addext', 'keyUsage=critical,keyCertSign', cwd=keys)
    openssl('req', '-new', '-newkey', 'rsa:2048', '-nodes', '-keyout', 'leaf.key', '-out', 'leaf.csr',
            '-subj', '/CN=DBSetup Test Publisher', cwd=keys)
    for name, serial, days in (('signer', '2', '2'), ('expired', '3', '-1')):
        openssl('x509', '-req', '-in', 'leaf.csr', '-CA', 'ca.pem', '-CAkey', 'ca.key', '-set_serial', serial,
                '-days', days, '-extfile', 'leaf.cnf', '-extensions', 'leaf', '-out', f'{name}.pem', cwd=keys)
        openssl('pkcs12', '-export', '-inkey', 'leaf.key', '-in', f'{name}.pem', '-certfile', 'ca.pem',
                '-passout', 'file:password', '-out', f'{name}.pfx', cwd=keys)


class DistTest(unittest.TestCase):
    def test_bundle_holds_exactly_its_files(self):
        check_bundle(self, BUILD)

    def test_texts_are_shift_jis_with_crlf(self):
        for name in ('ConfigurationFile.ini', 'README_ja.txt'):
            data = (BUILD / 'dist' / name).read_bytes()
            text = data.decode('cp932')
            self.assertNotIn('\n', text.replace('\r\n', ''), name)
        guide = (BUILD / 'dist' / 'README_ja.txt').read_bytes().decode('cp932')
        for needed in ('SQLEXPRADV_x64_JPN.exe', 'ConfigurationFile.ini', '管理者', '再起動', '起動エラー',
                       '確認済みの発行元', 'デジタル署名'):
            self.assertIn(needed, guide)
        ini = (BUILD / 'dist' / 'ConfigurationFile.ini').read_bytes().decode('cp932')
        for setting in ('INSTANCENAME="VALTERNADB"', 'INSTANCEID="VALTERNADB"', 'FEATURES=SQLENGINE',
                        'IACCEPTSQLSERVERLICENSETERMS="True"', 'QUIETSIMPLE="True"', 'UPDATEENABLED="False"'):
            self.assertIn(setting + '\r\n', ini)

    def test_a_second_build_gives_the_same_bytes(self):
        """The unsigned program and bundle; a signature holds a signing time, so it differs each time."""
        with tempfile.TemporaryDirectory() as temp:
            temp = Path(temp)
            subprocess.run(['cmake', '-S', str(SOURCE), '-B', str(temp / 'win32'), '-G', 'Ninja',
                            '-DCMAKE_TOOLCHAIN_FILE=' + str(SOURCE / 'cmake' / 'mingw-i686.cmake'),
                            '-DCMAKE_BUILD_TYPE=Release'], check=True, stdout=subprocess.DEVNULL)
            subprocess.run(['cmake', '--build', str(temp / 'win32')], check=True, stdout=subprocess.DEVNULL)
            self.assertEqual((temp / 'win32' / 'DBSetup.exe').read_bytes(),
                             (BUILD / 'win32' / 'DBSetup.exe').read_bytes())
            for out, exe in ((temp / 'a', temp / 'win32' / 'DBSetup.exe'), (temp / 'b', BUILD / 'win32' / 'DBSetup.exe')):
                made = make_dist(exe, out)
                self.assertEqual(made.returncode, 0, made.stderr)
                self.assertEqual(made.stdout, 'make_dist: DBSETUP_SIGN_PFX not set: DBSetup.exe is NOT signed\n')
            for name in FILES:
                self.assertEqual((temp / 'a' / 'dist' / name).read_bytes(), (temp / 'b' / 'dist' / name).read_bytes(), name)
            self.assertEqual((temp / 'a' / 'DBSetup.zip').read_bytes(), (temp / 'b' / 'DBSetup.zip').read_bytes())


class SigningTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(OUT, ignore_errors=True)
        cls.keys = OUT / 'keys'
        cls.keys.mkdir(parents=True)
        make_certificates(cls.keys)
        cls.made = make_dist(BUILD / 'win32' / 'DBSetup.exe', OUT, DBSETUP_SIGN_PFX=cls.keys / 'signer.pfx',
                             DBSETUP_SIGN_PASSWORD_FILE=cls.keys / 'password')
        cls.exe = OUT / 'dist' / 'DBSetup.exe'

    def verify(self, exe: Path) -> subprocess.CompletedProcess:
        return subprocess.run(['osslsigncode', 'verify', '-CAfile', str(self.keys / 'ca.pem'), '-in', str(exe)],
                              capture_output=True, text=True, stdin=subprocess.DEVNULL)

    def test_signed_bundle_verifies_against_the_ca(self):
        self.assertEqual(self.made.returncode, 0, self.made.stderr)
        self.assertEqual(self.made.stdout, f'make_dist: DBSetup.exe signed with {self.keys / "signer.pfx"}\n')
        check_bundle(self, OUT)
        verified = self.verify(self.exe)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        self.assertIn('Signature verification: ok', verified.stdout)
        self.assertIn('Message digest algorithm  : SHA256', verified.stdout)
        self.assertIn('Subject: /CN=DBSetup Test Publisher', verified.stdout)
        current = re.search(r'Current message digest +: (\w+)', verified.stdout)
        calculated = re.search(r'Calculated message digest +: (\w+)', verified.stdout)
        self.assertEqual(current.group(1), calculated.group(1))

    def test_a_changed_byte_fails_verification(self):
        data = bytearray(self.exe.read_bytes())
        data[len(data) // 4] ^= 0x01  # in the code, well before the certificate table
        changed = OUT / 'changed.exe'
        changed.write_bytes(data)
        verified = self.verify(changed)
        changed.unlink()
        self.assertNotEqual(verified.returncode, 0)
        self.assertIn('MISMATCH', verified.stdout)

    def test_bad_input_fails_in_one_line_and_keeps_the_previous_bundle(self):
        keys = self.keys

        def given(pfx, password=keys / 'password', **more):
            return dict(DBSETUP_SIGN_PFX=pfx, DBSETUP_SIGN_PASSWORD_FILE=password, **more)
        cases = (
            ('wrong password', given(keys / 'signer.pfx', keys / 'wrong-password'), 'wrong password for'),
            ('missing certificate', given(keys / 'none.pfx'), 'cannot read the certificate file'),
            # root reads any file whatever its mode: a folder stands in for an unreadable one
            ('unreadable certificate', given(keys), 'cannot read the certificate file'),
            ('not PKCS#12', given(keys / 'ca.pem'), 'is not a PKCS#12 file'),
            ('expired certificate', given(keys / 'expired.pfx'), 'expired on'),
            ('missing password file', given(keys / 'signer.pfx', keys / 'none'), 'cannot read the password file'),
            ('time-stamp server unreachable',
             given(keys / 'signer.pfx', DBSETUP_SIGN_TIMESTAMP_URL='http://127.0.0.1:9/'), 'could not sign'),
        )
        for name, settings, reason in cases:
            for previous in (True, False):
                with self.subTest(name, previous=previous), tempfile.TemporaryDirectory() as out:
                    out = Path(out)
                    if previous:
                        shutil.copytree(OUT / 'dist', out / 'dist')
                        shutil.copyfile(OUT / 'DBSetup.zip', out / 'DBSetup.zip')
                    made = make_dist(BUILD / 'win32' / 'DBSetup.exe', out, **settings)
                    self.assertNotEqual(made.returncode, 0)
                    self.assertEqual(made.stdout, '')
                    self.assertEqual(len(made.stderr.splitlines()), 1, made.stderr)
                    self.assertIn(reason, made.stderr)
                    self.assertNotIn(PASSWORD, made.stderr)
                    left = sorted(p.name for p in out.iterdir())
                    if previous:
                        self.assertEqual(left, ['DBSetup.zip', 'dist'])
                        for file in FILES:
                            self.assertEqual((out / 'dist' / file).read_bytes(), (OUT / 'dist' / file).read_bytes())
                        self.assertEqual((out / 'DBSetup.zip').read_bytes(), (OUT / 'DBSetup.zip').read_bytes())
                    else:
                        self.assertEqual(left, [])


if __name__ == '__main__':
    SOURCE, BUILD, OUT = (Path(a).resolve() for a in sys.argv[1:4])
    del sys.argv[1:4]
    unittest.main(verbosity=2)
