"""A private X server for Wine's windows."""
import os
import select
import subprocess

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
        with os.fdopen(read_fd, "rb") as pipe:
            # It writes the number and a newline at once; at its exit the pipe reads empty.
            number = pipe.readline().strip() if select.select([pipe], [], [], START_TIMEOUT)[0] else b""
        if not number:
            self.__exit__()
            raise XServerError("Xvfb did not report its display")
        return f":{number.decode()}"

    def __exit__(self, *exc) -> None:
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
