#!/usr/bin/env python3
"""Lays out the release bundle: DBSetup.exe, the answer file and the Japanese
guide (Shift_JIS with CRLF, as Windows tools expect), and a zip of them whose
bytes depend only on the files' contents."""
import shutil
import sys
import zipfile
from pathlib import Path

ZIP_TIME = (2017, 1, 1, 0, 0, 0)  # fixed, so two builds of one commit match


def main(exe: str, source: str, out: str) -> None:
    res = Path(source) / 'res'
    dist = Path(out) / 'dist'
    if dist.exists():
        shutil.rmtree(dist)
    dist.mkdir(parents=True)
    shutil.copyfile(exe, dist / 'DBSetup.exe')
    ini = (res / 'ConfigurationFile.ini').read_text(encoding='utf-8')
    (dist / 'ConfigurationFile.ini').write_bytes(ini.replace('\n', '\r\n').encode('cp932'))
    guide = (res / 'README_ja.txt').read_text(encoding='utf-8')
    (dist / 'README_ja.txt').write_bytes(guide.replace('\n', '\r\n').encode('cp932'))
    with zipfile.ZipFile(Path(out) / 'DBSetup.zip', 'w', zipfile.ZIP_DEFLATED) as archive:
        for path in sorted(dist.iterdir()):
            entry = zipfile.ZipInfo('DBSetup/' + path.name, ZIP_TIME)
            entry.external_attr = 0o644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, path.read_bytes())


if __name__ == '__main__':
    main(*sys.argv[1:4])
