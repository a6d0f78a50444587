#!/usr/bin/env python3
"""Lays out the release bundle: DBSetup.exe (which carries the setup package's
answer file), the Japanese guide (UTF-8 with a byte-order mark, which Notepad
reads as UTF-8 whatever the ANSI code page, with CRLF), the setup package where
the build pins one, and SHA256SUMS, and a zip of them whose bytes depend only
on the files' contents.

DBSetup.exe is signed (Authenticode, SHA-256) when the environment names a
code-signing certificate:
  DBSETUP_SIGN_PFX             a PKCS#12 file
  DBSETUP_SIGN_PASSWORD_FILE   a file holding its password (never passed on a command line)
  DBSETUP_SIGN_TIMESTAMP_URL   optional RFC 3161 time-stamp server
The bundle is laid out beside dist/ and swapped in only when complete, so a
failed run leaves the previous bundle as it was."""
import hashlib
import os
import shutil
import ssl
import subprocess
import sys
import time
import zipfile
from pathlib import Path

ZIP_TIME = (2017, 1, 1, 0, 0, 0)  # fixed, so two builds of one commit match
SUMS = 'SHA256SUMS'
PACKAGE = 'SQLEXPRADV_x64_JPN.exe'


class SignError(Exception):
    pass


def readable(path: str, what: str) -> None:
    try:
        with open(path, 'rb') as f:
            f.read(1)
    except OSError as e:
        raise SignError(f'cannot read the {what} {path}: {e.strerror}') from None


def openssl(*args, data=None) -> subprocess.CompletedProcess:
    return subprocess.run(['openssl', *args], input=data, capture_output=True, stdin=None if data else subprocess.DEVNULL)


def check_certificate(pfx: str, password_file: str) -> None:
    """Refuses what osslsigncode would fail on less clearly, and a certificate
    outside its dates: a signature made then is not trusted, time-stamp or not."""
    readable(pfx, 'certificate file')
    readable(password_file, 'password file')
    # -legacy: PKCS#12 files exported by Windows often use RC2, which OpenSSL 3 keeps there.
    leaf = openssl('pkcs12', '-legacy', '-in', pfx, '-passin', 'file:' + password_file, '-nokeys', '-clcerts')
    if leaf.returncode != 0:
        if b'Mac verify error' in leaf.stderr:
            raise SignError(f'wrong password for the certificate file {pfx}')
        raise SignError(f'{pfx} is not a PKCS#12 file (or is damaged)')
    if b'BEGIN CERTIFICATE' not in leaf.stdout:
        raise SignError(f'{pfx} holds no certificate with a private key')
    dates = openssl('x509', '-noout', '-startdate', '-enddate', data=leaf.stdout).stdout.decode()
    start, end = (line.partition('=')[2] for line in dates.splitlines())
    if time.time() < ssl.cert_time_to_seconds(start):
        raise SignError(f"the certificate in {pfx} is not valid until {start}: check this machine's clock")
    if time.time() > ssl.cert_time_to_seconds(end):
        raise SignError(f'the certificate in {pfx} expired on {end}: get a new one')


def sign(exe: Path) -> None:
    pfx = os.environ['DBSETUP_SIGN_PFX']
    password_file = os.environ.get('DBSETUP_SIGN_PASSWORD_FILE')
    if not password_file:
        raise SignError('DBSETUP_SIGN_PFX is set but DBSETUP_SIGN_PASSWORD_FILE is not')
    check_certificate(pfx, password_file)
    command = ['osslsigncode', 'sign', '-pkcs12', pfx, '-readpass', password_file, '-h', 'sha256',
               '-n', 'DBSetup']
    url = os.environ.get('DBSETUP_SIGN_TIMESTAMP_URL')
    if url:
        command += ['-ts', url]
    signed = exe.with_name(exe.name + '.signed')
    result = subprocess.run(command + ['-in', str(exe), '-out', str(signed)],
                            stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if result.returncode != 0:
        lines = [line for line in (result.stderr + result.stdout).splitlines() if line.strip()]
        raise SignError(f'osslsigncode could not sign: {lines[0] if lines else "no reason given"}')
    signed.replace(exe)


def lay_out(exe: str, source: str, dist: Path, package: str) -> None:
    res = Path(source) / 'res'
    dist.mkdir(parents=True)
    shutil.copyfile(exe, dist / 'DBSetup.exe')
    if package:  # beside the program, by the name it looks for
        shutil.copyfile(package, dist / PACKAGE)
    text = (res / 'README_ja.txt').read_text(encoding='utf-8')
    (dist / 'README_ja.txt').write_bytes(text.replace('\n', '\r\n').encode('utf-8-sig'))


def sha256(path: Path) -> str:
    with open(path, 'rb') as f:  # a package of 1.5 GB is read in pieces
        return hashlib.file_digest(f, 'sha256').hexdigest()


def write_sums(dist: Path) -> None:
    lines = [f'{sha256(p)}  {p.name}\n' for p in sorted(dist.iterdir())]
    (dist / SUMS).write_text(''.join(lines), encoding='ascii')


def write_zip(dist: Path, target: Path) -> None:
    with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as archive:
        for path in sorted(dist.iterdir()):
            entry = zipfile.ZipInfo('DBSetup/' + path.name, ZIP_TIME)
            entry.external_attr = 0o644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            with open(path, 'rb') as source, archive.open(entry, 'w', force_zip64=path.stat().st_size >= 1 << 31) as target:
                shutil.copyfileobj(source, target, 1 << 20)


def main(exe: str, source: str, out: str, package: str = '') -> int:
    out = Path(out)
    dist, stage, zip_stage = out / 'dist', out / 'dist.new', out / 'DBSetup.zip.new'
    shutil.rmtree(stage, ignore_errors=True)
    try:
        lay_out(exe, source, stage, package)
        if os.environ.get('DBSETUP_SIGN_PFX'):
            sign(stage / 'DBSetup.exe')
            print(f'make_dist: DBSetup.exe signed with {os.environ["DBSETUP_SIGN_PFX"]}')
        else:
            print('make_dist: DBSETUP_SIGN_PFX not set: DBSetup.exe is NOT signed')
        write_sums(stage)
        write_zip(stage, zip_stage)
    except SignError as e:
        print(f'make_dist: signing failed: {e}', file=sys.stderr)
        shutil.rmtree(stage, ignore_errors=True)
        return 1
    shutil.rmtree(dist, ignore_errors=True)
    stage.rename(dist)
    zip_stage.replace(out / 'DBSetup.zip')
    return 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:5]))
