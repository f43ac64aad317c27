"""Boards another program holds and serves (the window, torvan60ctl serve),
reached over the holder's local socket (docs/service.md).

A reader thread drains the socket as lines come, so that a slow reader of
live reports loses none while the holder keeps sending; what it keeps is
bounded, and a reader that falls too far behind is told so.
"""

import collections
import json
import os
import socket
import stat
import threading
import time

from ._errors import BoardLost

PROTOCOL = 1
# The service sends lines of at most 64 KiB; a longer one is no answer of
# a service and ends the connection.
MAX_LINE_BYTES = 64 * 1024
# About a quarter of an hour of live reports at 100 a second.
MAX_NOTIFICATIONS = 100000
# Answers nobody waits for any more, kept at most.
MAX_UNCLAIMED_REPLIES = 1000
CONNECT_TIMEOUT = 2.0
RETRY_INTERVAL = 0.05


def socket_folder():
    """Where holders put their sockets."""
    runtime = os.environ.get("XDG_RUNTIME_DIR")
    if runtime and os.path.isabs(runtime):
        return os.path.join(runtime, "torvan60")
    return os.path.join(os.environ.get("TMPDIR") or "/tmp", f"torvan60-{os.getuid()}")


def socket_path(serial):
    """The socket of the board with this serial, or None where no holder of
    ours can serve it: a serial that is no file name, or a folder that is
    not this user's alone."""
    if not serial or "/" in serial or "\0" in serial or serial in (".", ".."):
        return None
    folder = socket_folder()
    try:
        info = os.lstat(folder)
    except OSError:
        return None
    if not stat.S_ISDIR(info.st_mode) or info.st_uid != os.getuid() or info.st_mode & 0o077:
        return None
    return os.path.join(folder, serial + ".sock")


def served_by(serial, program):
    """Who serves the board, as "torvan60 (pid 4242)", and its product as
    the holder names it; None when no holder answers on its socket."""
    path = socket_path(serial)
    if path is None or not os.path.exists(path):
        return None
    try:
        transport = SocketTransport(path, serial, program)
    except (OSError, BoardLost, ValueError):
        return None
    transport.close()
    return transport.holder, transport.product


def served_boards(program):
    """The boards whose holders answer on their sockets, whatever bus they
    hold them on: [(serial, holder, product)], by serial."""
    folder = socket_folder()
    if socket_path("probe") is None:
        return []
    try:
        names = sorted(os.listdir(folder))
    except OSError:
        return []
    boards = []
    for name in names:
        if name.endswith(".sock"):
            served = served_by(name[: -len(".sock")], program)
            if served:
                boards.append((name[: -len(".sock")], *served))
    return boards


class SocketTransport:
    """One connection to a holder's socket, greeted with hello."""

    def __init__(self, path, serial, program):
        self.path = path
        self.serial = serial
        self.program = program
        self.holder = None
        self.product = ""
        self._changed = threading.Condition()
        self._send_lock = threading.Lock()
        self._socket = None
        self._reader = None
        self._open = False
        self._replies = {}
        self._notifications = collections.deque()
        self._overflowed = False
        self._closing = ""
        self._connect()

    # -- the connection --------------------------------------------------

    def _connect(self):
        connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            connection.settimeout(CONNECT_TIMEOUT)
            connection.connect(self.path)
            connection.settimeout(None)
        except OSError:
            connection.close()
            raise
        with self._changed:
            self._socket = connection
            self._open = True
            self._replies.clear()
            self._notifications.clear()
            self._overflowed = False
            self._closing = ""
        self._reader = threading.Thread(
            target=self._read, args=(connection,), name=f"torvan60 {self.serial}", daemon=True
        )
        self._reader.start()
        try:
            self._hello()
        except BaseException:
            self._disconnect()
            raise

    def _hello(self):
        request = {"jsonrpc": "2.0", "id": 0, "method": "hello", "params": {"program": self.program}}
        self.send(json.dumps(request, ensure_ascii=False).encode("utf-8"))
        line = self.reply(0, CONNECT_TIMEOUT)
        hello = json.loads(line).get("result") if line else None
        if (
            not isinstance(hello, dict)
            or hello.get("protocol") != PROTOCOL
            or hello.get("serial") != self.serial
            or not isinstance(hello.get("program"), str)
            or not isinstance(hello.get("pid"), int)
        ):
            raise ValueError(f"{self.path} does not answer as the holder of board {self.serial}")
        self.holder = f"{hello['program']} (pid {hello['pid']})"
        product = hello.get("product")
        self.product = product if isinstance(product, str) else ""

    def _disconnect(self):
        with self._changed:
            connection, self._socket = self._socket, None
            self._open = False
            self._changed.notify_all()
        if connection is not None:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            connection.close()
        reader, self._reader = self._reader, None
        if reader is not None and reader is not threading.current_thread():
            reader.join()

    def _read(self, connection):
        pending = bytearray()
        try:
            while True:
                chunk = connection.recv(65536)
                if not chunk:
                    break
                pending += chunk
                start = 0
                while True:
                    end = pending.find(b"\n", start)
                    if end < 0:
                        break
                    self._route(bytes(pending[start:end]))
                    start = end + 1
                del pending[:start]
                if len(pending) > MAX_LINE_BYTES:
                    break
        except OSError:
            pass
        with self._changed:
            if self._socket is connection:
                self._open = False
            self._changed.notify_all()

    def _route(self, line):
        try:
            message = json.loads(line)
        except ValueError:
            return
        if not isinstance(message, dict):
            return
        with self._changed:
            if message.get("method") == "closing" and isinstance(message.get("params"), dict):
                # The holder's last word before it closes: why the board
                # is lost.
                self._closing = str(message["params"].get("message", ""))
            if "method" in message:
                if len(self._notifications) >= MAX_NOTIFICATIONS:
                    self._overflowed = True
                else:
                    self._notifications.append(line)
            elif isinstance(message.get("id"), int):
                self._replies[message["id"]] = line
                if len(self._replies) > MAX_UNCLAIMED_REPLIES:
                    del self._replies[next(iter(self._replies))]
            self._changed.notify_all()

    def _lost(self):
        if self._closing:
            return BoardLost(f"board {self.serial} was lost: {self._closing}")
        return BoardLost(f"board {self.serial} was lost: its holder closed the connection")

    # -- the transport -----------------------------------------------------

    def send(self, line):
        with self._send_lock:
            connection = self._socket
            if connection is None or not self._open:
                raise self._lost()
            try:
                connection.sendall(line + b"\n")
            except OSError:
                # The holder is gone; what it said before (why) is read first.
                reader = self._reader
                if reader is not None and reader is not threading.current_thread():
                    reader.join(timeout=CONNECT_TIMEOUT)
                raise self._lost() from None

    def _wait(self, take, timeout):
        deadline = None if timeout is None else time.monotonic() + max(0.0, timeout)
        with self._changed:
            while True:
                taken = take()
                if taken is not None:
                    return taken
                left = None if deadline is None else deadline - time.monotonic()
                if left is not None and left <= 0:
                    return None
                self._changed.wait(0.25 if left is None else min(left, 0.25))

    def reply(self, request_id, timeout):
        def take():
            if request_id in self._replies:
                return self._replies.pop(request_id)
            if not self._open:
                raise self._lost()
            return None

        return self._wait(take, timeout)

    def notification(self, timeout, lost_ends):
        def take():
            if self._overflowed:
                self._overflowed = False
                self._notifications.clear()
                raise OverflowError(f"more than {MAX_NOTIFICATIONS} live reports waited unread")
            if self._notifications:
                return self._notifications.popleft()
            if not self._open and lost_ends:
                return b""
            return None

        return self._wait(take, timeout) or None

    def connected(self):
        return self._open

    def lost_reason(self):
        return self._closing

    def reconnect(self, timeout):
        """Waits until the holder serves the board again (its socket comes
        back once it found the board again)."""
        self._disconnect()
        deadline = time.monotonic() + timeout
        while True:
            try:
                self._connect()
                return True
            except (OSError, BoardLost, ValueError):
                pass
            if time.monotonic() >= deadline:
                return False
            time.sleep(RETRY_INTERVAL)

    def close(self):
        self._disconnect()
