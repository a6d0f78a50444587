#!/usr/bin/python3
"""Writes the answer file as the setup package reads it: code page 932 with CRLF.

  tools/answer_file.py SOURCE TARGET
"""
import sys
from pathlib import Path


def answer_file_bytes(source: Path) -> bytes:
    return source.read_text(encoding='utf-8').replace('\n', '\r\n').encode('cp932')


if __name__ == '__main__':
    Path(sys.argv[2]).parent.mkdir(parents=True, exist_ok=True)
    Path(sys.argv[2]).write_bytes(answer_file_bytes(Path(sys.argv[1])))
