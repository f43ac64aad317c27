"""The board's service as a client speaks to it (docs/service.md): JSON-RPC
2.0, one UTF-8 JSON object per line, over a transport that is either the
service of a board this process holds or the local socket of the program
that holds it.

A transport routes what comes back: answers by their ids, notifications in
order. It has send(line), reply(id, timeout), notification(timeout,
lost_ends), connected(), lost_reason() (what the holder said as it closed,
or ""), reconnect(timeout) and close(); a timeout of None waits without
limit. Its waits let other Python threads run and end on
Ctrl-C with KeyboardInterrupt.
"""

import itertools
import json
import signal
import threading

from ._errors import BoardLost, Error, Timeout, error_for

CALL_TIMEOUT = 30.0


class Link:
    """Requests and live reports of one board over one transport. Calls may
    come from several threads at once; live reports go to one reader."""

    def __init__(self, transport, serial):
        self.transport = transport
        self.serial = serial
        self._ids = itertools.count(1)

    def call(self, method, params=None, timeout=CALL_TIMEOUT, settings=False):
        """The result of one request; the service's error as an exception
        (settings: its refusals as SettingsError)."""
        request_id = next(self._ids)
        request = {"jsonrpc": "2.0", "id": request_id, "method": method}
        if params:
            request["params"] = params
        self.transport.send(json.dumps(request, ensure_ascii=False, separators=(",", ":")).encode("utf-8"))
        line = self.transport.reply(request_id, timeout)
        if line is None:
            raise Timeout(f"the board's service did not answer {method} in time")
        reply = json.loads(line)
        error = reply.get("error")
        if error is not None:
            raise error_for(error.get("code"), str(error.get("message", "")), settings)
        result = reply.get("result")
        return result if isinstance(result, dict) else {}

    def lost_reason(self):
        """What the holder said as it closed, or ""."""
        return self.transport.lost_reason()

    def lost_message(self, during=""):
        """Why the board is gone, for a BoardLost."""
        reason = self.lost_reason()
        return f"board {self.serial} was lost{during}" + (f": {reason}" if reason else "")

    def next_live(self, timeout, lost_ends=True):
        """The next live report after subscribe, or None after timeout
        seconds. BoardLost once the board is gone (when lost_ends)."""
        while True:
            try:
                line = self.transport.notification(timeout, lost_ends)
            except OverflowError as overflow:
                raise Error(f"live reports of board {self.serial} were lost: {overflow}") from None
            if line is None:
                if lost_ends and not self.transport.connected():
                    raise BoardLost(self.lost_message())
                return None
            message = json.loads(line)
            if message.get("method") == "live" and isinstance(message.get("params"), dict):
                return message["params"]


class _OwnInterruptHandler:
    """Puts a Ctrl-C (SIGINT) handler of its own in place while it is
    entered, and the one there was back afterwards, unless the program set
    another meanwhile. Only the main thread receives signals, so elsewhere
    it does nothing."""

    def __enter__(self):
        self._previous = None
        if threading.current_thread() is threading.main_thread():
            try:
                self._previous = signal.signal(signal.SIGINT, self._on_interrupt)
            except ValueError:
                self._previous = None  # an interpreter that does not handle signals
        return self

    def _restore(self):
        if self._previous is not None and signal.getsignal(signal.SIGINT) == self._on_interrupt:
            signal.signal(signal.SIGINT, self._previous)

    def _pass_on(self, signum, frame):
        """What the handler there was does (Python's raises
        KeyboardInterrupt)."""
        if callable(self._previous):
            self._previous(signum, frame)
        elif self._previous != signal.SIG_IGN:
            raise KeyboardInterrupt


class DeferredInterrupts(_OwnInterruptHandler):
    """Within it, Ctrl-C does not cut short what must finish (the braking of
    a move): it is kept and passed on at the end."""

    def __enter__(self):
        self._caught = False
        return super().__enter__()

    def _on_interrupt(self, signum, frame):
        self._caught = True

    def __exit__(self, kind, value, traceback):
        self._restore()
        if self._caught and kind is None:
            self._pass_on(signal.SIGINT, None)
        return False


class InterruptWatch(_OwnInterruptHandler):
    """Notes whether Ctrl-C came while it was entered, passing it on at
    once."""

    def __enter__(self):
        self.seen = False
        return super().__enter__()

    def _on_interrupt(self, signum, frame):
        self.seen = True
        self._pass_on(signum, frame)

    def __exit__(self, *exc):
        self._restore()
        return False


class LocalTransport:
    """The service of a board this process holds, on the module's Qt
    thread."""

    def __init__(self, board):
        self.board = board

    def send(self, line):
        self.board.send(line)

    def reply(self, request_id, timeout):
        return self.board.reply(request_id, timeout)

    def notification(self, timeout, lost_ends):
        return self.board.notification(timeout, lost_ends)

    def connected(self):
        return self.board.connected()

    def lost_reason(self):
        return ""

    def reconnect(self, timeout):
        return self.board.await_identified(timeout)

    def close(self):
        self.board.close()
