#!/usr/bin/env python3
"""Writes the SHA-256 of the setup package a build pins (32 bytes, the resource
DBSetup.exe compares the package's copy with), and says which file it pinned."""
import hashlib
import sys
from pathlib import Path

package, out = Path(sys.argv[1]), Path(sys.argv[2])
with open(package, 'rb') as f:
    digest = hashlib.file_digest(f, 'sha256')
out.parent.mkdir(parents=True, exist_ok=True)
out.write_bytes(digest.digest())
print(f'DBSetup.exe pins {package.resolve()}: SHA-256 {digest.hexdigest()}')
