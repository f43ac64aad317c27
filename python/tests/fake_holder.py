"""PLACEHOLDER for `torvan60ctl --simulate serve`, to be replaced by it.

A stand-in holder for the tests of served boards: it holds a simulated
board through the package's own core (the real service answers) and relays
one client at a time between the board's socket and that service, in the
socket folder of docs/service.md. It is not the project's socket server:
it takes one client at a time, enforces none of the service's limits and
exists only until torvan60ctl serves boards itself.

Usage: fake_holder.py  (serves SIM60-000001 until stdin closes; prints
"serving <path>" once the socket answers)
"""

import collections
import json
import os
import socket
import sys
import threading

from torvan60 import _core, _served


def relay(connection, board):
    """Relays one client until it leaves."""
    pending = collections.deque()  # ids of requests sent, answered in order
    have_pending = threading.Condition()
    write_lock = threading.Lock()
    gone = threading.Event()

    def write(line):
        with write_lock:
            try:
                connection.sendall(line + b"\n")
            except OSError:
                gone.set()

    def answers():
        while not gone.is_set():
            with have_pending:
                while not pending and not gone.is_set():
                    have_pending.wait(0.1)
                if gone.is_set():
                    return
                request_id = pending.popleft()
            line = None
            while line is None and not gone.is_set():
                line = board.reply(request_id, 0.1)
            if line is not None:
                write(line)

    def notifications():
        while not gone.is_set():
            line = board.notification(0.1, False)
            if line is not None:
                write(line)

    threads = [threading.Thread(target=answers), threading.Thread(target=notifications)]
    for thread in threads:
        thread.start()
    reader = connection.makefile("rb")
    for line in reader:
        request = json.loads(line)
        board.send(line.rstrip(b"\n"))
        if "id" in request:
            with have_pending:
                pending.append(request["id"])
                have_pending.notify()
    # A client that leaves takes its subscription with it.
    board.send(b'{"jsonrpc":"2.0","method":"unsubscribe"}')
    gone.set()
    for thread in threads:
        thread.join()
    while board.notification(0, False) is not None:
        pass


def main():
    serial = "SIM60-000001"
    board = _core.LocalBoard(True, "", 1, "", "fake_holder", os.getpid())
    kind, message = board.hold(serial)
    if kind != "ok":
        sys.exit(f"fake_holder: {message}")
    folder = _served.socket_folder()
    os.makedirs(folder, mode=0o700, exist_ok=True)
    path = os.path.join(folder, serial + ".sock")
    if os.path.exists(path):
        os.unlink(path)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    os.chmod(path, 0o600)
    server.listen(4)

    def serve():
        while True:
            try:
                connection, _ = server.accept()
            except OSError:
                return
            with connection:
                relay(connection, board)

    threading.Thread(target=serve, daemon=True).start()
    print("serving", path, flush=True)
    sys.stdin.read()  # until the test closes our stdin
    server.close()
    os.unlink(path)
    board.close()


if __name__ == "__main__":
    main()
