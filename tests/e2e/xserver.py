"""A private X server for Wine's windows."""
import os
import subprocess
import time

START_TIMEOUT = 20


class XServerError(RuntimeError):
    pass


class Xvfb:
    """A private X server; -displayfd lets it pick a free display itself."""

    def __enter__(self) -> str:
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
            pass_fds=(write_fd,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        )
        os.close(write_fd)
        try:
            number = self._read_display(read_fd)
        except Exception:
            self.__exit__()
            raise
        finally:
            os.close(read_fd)
        return f":{number}"

    @staticmethod
    def _read_display(fd: int) -> str:
        deadline = time.monotonic() + START_TIMEOUT
        data = b""
        os.set_blocking(fd, False)
        while not data.endswith(b"\n"):
            if time.monotonic() > deadline:
                raise XServerError("Xvfb did not start")
            try:
                chunk = os.read(fd, 16)
            except BlockingIOError:
                time.sleep(0.05)
                continue
            if not chunk:
                raise XServerError("Xvfb exited before reporting its display")
            data += chunk
        return data.decode().strip()

    def __exit__(self, *exc) -> None:
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
