"""Ctrl-C during a run of pages: the run killed at once, the page in hand never cut in two.

Python runs its signal handlers on the main thread, and only once a call into the library has
returned: a page call would hold Ctrl-C until its page is done. The signal's byte on Python's
wakeup descriptor reaches a watching thread at once, which kills the run; the page call then
returns, and KeyboardInterrupt is raised only once the page is whole, so the caller can keep
what the scanner finished.
"""

import contextlib
import os
import signal
import socket
import threading
from types import FrameType, TracebackType
from typing import Callable, Iterator, Optional, Type


class KillOnCtrlC:
    """While entered on the main thread, Ctrl-C calls `kill` at once; elsewhere it does nothing."""

    def __init__(self, kill: Callable[[], None]) -> None:
        self._kill = kill
        self._active = False
        self._noted = False

    def __enter__(self) -> "KillOnCtrlC":
        if threading.current_thread() is not threading.main_thread():
            return self
        self._reader, self._writer = socket.socketpair()
        self._writer.setblocking(False)
        self._previous_fd = signal.set_wakeup_fd(self._writer.fileno(), warn_on_full_buffer=False)
        self._watcher = threading.Thread(target=self._watch, name="kovzaft2-ctrl-c", daemon=True)
        self._watcher.start()
        self._active = True
        return self

    def __exit__(self, kind: Optional[Type[BaseException]], error: Optional[BaseException],
                 trace: Optional[TracebackType]) -> None:
        if not self._active:
            return
        self._active = False
        signal.set_wakeup_fd(self._previous_fd)
        self._writer.close()  # the watcher reads the end and stops
        self._watcher.join()
        self._reader.close()

    @contextlib.contextmanager
    def held(self) -> Iterator[None]:
        """Ctrl-C within is noted, not raised, until the end: KeyboardInterrupt comes then,
        in place of any failure the kill caused."""
        if not self._active:
            yield
            return
        previous = signal.signal(signal.SIGINT, self._note)
        try:
            yield
        finally:
            if previous is not None:
                signal.signal(signal.SIGINT, previous)
            if self._noted:
                # Also in place of the failure the kill gave the page call.
                self._noted = False
                raise KeyboardInterrupt

    def _note(self, number: int, frame: Optional[FrameType]) -> None:
        self._noted = True

    def _watch(self) -> None:
        while True:
            try:
                received = self._reader.recv(64)
            except OSError:
                return
            if not received:
                return
            if signal.SIGINT in received:
                self._kill()
            # Whoever watched the descriptor before is told as well.
            if self._previous_fd != -1:
                with contextlib.suppress(OSError):
                    os.write(self._previous_fd, received)
