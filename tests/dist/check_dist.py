#!/usr/bin/python3
"""Checks the release bundle: exactly its files, in the encodings their readers
take, checksums that hold, the same bytes when built again from the same
sources; and signing with a throwaway certificate: the signature verifies
against its CA, a changed byte breaks it, bad certificates are refused
without touching the previous bundle, and a time stamp from a local RFC 3161
responder keeps the signature valid after the certificate ends. The signed
bundle is left in OUT/dist for the PE checks and the Wine test.

  check_dist.py SOURCE BUILD OUT [unittest arguments]
"""
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile
from pathlib import Path

import pefile

SOURCE = BUILD = OUT = None
FILES = ['DBSetup.exe', 'README_ja.txt', 'SHA256SUMS']  # the answer file is in the program
BUNDLE = ['dist/' + name for name in FILES] + ['DBSetup.zip']
SIGN_ENV = ('DBSETUP_SIGN_PFX', 'DBSETUP_SIGN_PASSWORD_FILE', 'DBSETUP_SIGN_TIMESTAMP_URL')
PASSWORD = 'throwaway pass 7Q'
# for `openssl ca` (certificates with chosen dates) and `openssl ts -reply` (the time-stamping authority)
OPENSSL_CNF = ('[ca]\ndefault_ca=ca\ndatabase=index\nnew_certs_dir=.\nrand_serial=yes\nunique_subject=no\n'
               'default_md=sha256\npolicy=any\n[any]\ncommonName=supplied\n[code]\nbasicConstraints=critical,CA:FALSE\n'
               'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n[stamps]\n'
               'basicConstraints=critical,CA:FALSE\nextendedKeyUsage=critical,timeStamping\n[tsa]\nserial=tsa-serial\n'
               'signer_cert=tsa.pem\nsigner_key=tsa.key\nsigner_digest=sha256\ndefault_policy=1.2.3.4\ndigests=sha256\n')


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


def openssl(*args, cwd: Path, data: bytes = None) -> bytes:
    return subprocess.run(['openssl', *args], input=data, cwd=cwd, check=True, capture_output=True).stdout


def make_certificates(keys: Path) -> None:
    """Two throwaway CAs: one issues code-signing certificates (valid, expired, not yet valid), the other
    a time-stamping authority's (TSA); each certificate is also written with its key as PKCS#12."""
    (keys / 'openssl.cnf').write_text(OPENSSL_CNF)
    (keys / 'index').touch()
    (keys / 'password').write_text(PASSWORD + '\n')
    (keys / 'wrong-password').write_text('not ' + PASSWORD + '\n')
    for ca, subject in (('ca', 'DBSetup Throwaway CA'), ('tsa-ca', 'Throwaway Time-Stamping CA')):
        openssl('req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', f'{ca}.key', '-out', f'{ca}.pem',
                '-days', '2', '-subj', '/CN=' + subject, '-addext', 'basicConstraints=critical,CA:TRUE',
                '-addext', 'keyUsage=critical,keyCertSign', cwd=keys)
    for name, subject, ca, extensions, dates in (
            ('signer', 'DBSetup Test Publisher', 'ca', 'code', '-days 2'),
            ('expired', 'DBSetup Test Publisher', 'ca', 'code', '-startdate 20000101000000Z -enddate 20000102000000Z'),
            ('future', 'DBSetup Test Publisher', 'ca', 'code', '-startdate 20990101000000Z -enddate 20990102000000Z'),
            ('tsa', 'Throwaway TSA', 'tsa-ca', 'stamps', '-days 2')):
        openssl('req', '-new', '-newkey', 'rsa:2048', '-nodes', '-keyout', f'{name}.key', '-out', f'{name}.csr',
                '-subj', '/CN=' + subject, cwd=keys)
        openssl('ca', '-batch', '-config', 'openssl.cnf', '-cert', f'{ca}.pem', '-keyfile', f'{ca}.key',
                '-in', f'{name}.csr', '-extensions', extensions, '-out', f'{name}.pem', *dates.split(), cwd=keys)
        openssl('pkcs12', '-export', '-inkey', f'{name}.key', '-in', f'{name}.pem', '-certfile', f'{ca}.pem',
                '-passout', 'file:password', '-out', f'{name}.pfx', cwd=keys)


class TimeStamps(http.server.BaseHTTPRequestHandler):
    """An RFC 3161 responder: `openssl ts` answers each query as the throwaway TSA."""
    def do_POST(self):
        query = self.rfile.read(int(self.headers['Content-Length']))
        reply = openssl('ts', '-reply', '-config', 'openssl.cnf', '-section', 'tsa', '-queryfile', '/dev/stdin',
                        cwd=OUT / 'keys', data=query)
        self.send_response(200)
        self.send_header('Content-Type', 'application/timestamp-reply')
        self.end_headers()
        self.wfile.write(reply)


class DistTest(unittest.TestCase):
    def test_bundle_holds_exactly_its_files(self):
        check_bundle(self, BUILD)

    def test_guide_of_res_with_crlf_and_a_byte_order_mark(self):
        # Notepad reads it as UTF-8 by its byte-order mark, whatever the ANSI code page (65001 included).
        data = (BUILD / 'dist' / 'README_ja.txt').read_bytes()
        self.assertTrue(data.startswith(b'\xef\xbb\xbf'))
        lines = (SOURCE / 'res' / 'README_ja.txt').read_text(encoding='utf-8').splitlines()
        self.assertEqual(data.decode('utf-8-sig').split('\r\n'), lines + [''])

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
            for name in BUNDLE:
                self.assertEqual((temp / 'a' / name).read_bytes(), (temp / 'b' / name).read_bytes(), name)


class SigningTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(OUT, ignore_errors=True)
        cls.keys = OUT / 'keys'
        cls.keys.mkdir(parents=True)
        make_certificates(cls.keys)
        cls.signer = dict(DBSETUP_SIGN_PFX=cls.keys / 'signer.pfx', DBSETUP_SIGN_PASSWORD_FILE=cls.keys / 'password')
        cls.made = make_dist(BUILD / 'win32' / 'DBSetup.exe', OUT, **cls.signer)
        cls.exe = OUT / 'dist' / 'DBSetup.exe'

    def verify(self, exe: Path, *more: str) -> subprocess.CompletedProcess:
        return subprocess.run(['osslsigncode', 'verify', '-CAfile', str(self.keys / 'ca.pem'),
                               '-TSA-CAfile', str(self.keys / 'tsa-ca.pem'), *more, '-in', str(exe)],
                              capture_output=True, text=True, stdin=subprocess.DEVNULL)

    def test_signed_bundle_verifies_against_the_ca(self):
        self.assertEqual(self.made.returncode, 0, self.made.stderr)
        self.assertEqual(self.made.stdout, f'make_dist: DBSetup.exe signed with {self.keys / "signer.pfx"}\n')
        # Without its signature the program is the one built; its checksum counts the certificate table too.
        check_bundle(self, OUT)
        pe = pefile.PE(str(self.exe), fast_load=True)
        self.assertEqual(pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum())
        verified = self.verify(self.exe)
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)
        self.assertIn('Signature verification: ok', verified.stdout)
        self.assertIn('Message digest algorithm  : SHA256', verified.stdout)
        self.assertIn('Subject: /CN=DBSetup Test Publisher', verified.stdout)

    def test_a_changed_byte_fails_verification(self):
        data = bytearray(self.exe.read_bytes())
        data[len(data) // 4] ^= 0x01  # in the code, well before the certificate table
        changed = OUT / 'changed.exe'
        changed.write_bytes(data)
        verified = self.verify(changed)
        changed.unlink()
        self.assertNotEqual(verified.returncode, 0)
        self.assertIn('MISMATCH', verified.stdout)

    def test_a_time_stamp_keeps_the_signature_valid_after_the_certificate_ends(self):
        with http.server.HTTPServer(('127.0.0.1', 0), TimeStamps) as responder:
            threading.Thread(target=responder.handle_request, daemon=True).start()  # one signature, one query
            made = make_dist(BUILD / 'win32' / 'DBSetup.exe', OUT / 'stamped', **self.signer,
                             DBSETUP_SIGN_TIMESTAMP_URL=f'http://127.0.0.1:{responder.server_port}/')
        self.assertEqual(made.returncode, 0, made.stderr)
        check_bundle(self, OUT / 'stamped')
        later = ('-time', str(int(time.time()) + 3 * 86400))  # the signing certificate holds for 2 days
        stamped = self.verify(OUT / 'stamped' / 'dist' / 'DBSetup.exe', *later)
        self.assertEqual(stamped.returncode, 0, stamped.stdout + stamped.stderr)
        self.assertIn('Timestamp Server Signature verification: ok', stamped.stdout)
        unstamped = self.verify(self.exe, *later)  # the same clock without a time stamp: the time stamp is what holds
        self.assertNotEqual(unstamped.returncode, 0)
        self.assertIn('certificate has expired', unstamped.stdout)

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
            ('certificate not yet valid', given(keys / 'future.pfx'), 'is not valid until'),
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
                    self.assertEqual(sorted(p.name for p in out.iterdir()), ['DBSetup.zip', 'dist'] if previous else [])
                    for name in BUNDLE if previous else ():
                        self.assertEqual((out / name).read_bytes(), (OUT / name).read_bytes(), name)


if __name__ == '__main__':
    SOURCE, BUILD, OUT = (Path(a).resolve() for a in sys.argv[1:4])
    del sys.argv[1:4]
    unittest.main(verbosity=2)
