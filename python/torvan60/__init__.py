"""Drive Torvan60 motor driver boards from Python.

The same core as the window and torvan60ctl: a board is opened by the same
rules, driven through the same service and answers the same way, on the
USB bus or on simulated boards. A board another program holds and serves
(the window, torvan60ctl serve) is reached through its service, with the
same API (a firmware update excepted).

    import torvan60
    with torvan60.open(simulate=True) as board:
        board.move_to(3000)
        print(board.status()["position"])

The module runs what the core needs on a thread of its own; no event loop
is run by the caller. Blocking calls let other Python threads run, and
Ctrl-C (KeyboardInterrupt) during move_to() or stream() stops the motor
before it is raised.

Reports (status(), stream()) are dicts with the service's fields; their
"time", when the report came in, is a timezone-aware datetime.
"""

import contextlib
import datetime
import json
import os
import sys
import threading
import time
import typing
import warnings

try:
    from . import _core
except ImportError as missing:
    raise ImportError(
        "torvan60: its compiled module torvan60._core cannot be loaded into this Python "
        f"({sys.executable}, {sys.version_info[0]}.{sys.version_info[1]}): {missing}. The module runs only on the "
        "Python it was built for: build the target torvan60_python (cmake --build build --target torvan60_python) "
        "with -DPython3_EXECUTABLE=<this interpreter>, or use the interpreter it was built for (see the README)"
    ) from missing
from ._errors import (
    BoardHeld,
    BoardLost,
    BoardNotFound,
    BoardWarning,
    Error,
    Refused,
    SettingsError,
    Timeout,
    UsageError,
)
from ._rpc import CALL_TIMEOUT, DeferredInterrupts, InterruptWatch, Link, LocalTransport
from ._served import SocketTransport, served_boards, served_by, socket_path

__all__ = [
    "Board",
    "BoardHeld",
    "BoardInfo",
    "BoardLost",
    "BoardNotFound",
    "BoardWarning",
    "Error",
    "Refused",
    "SettingsError",
    "Timeout",
    "UsageError",
    "list_boards",
    "open",
]

__version__ = _core.version

# How long the board may take to come to rest, with margin.
STOP_TIMEOUT = 15.0
# After a loss during a move, how long the board is given to come back so
# that it can be stopped.
RECONNECT_AFTER_LOSS = 3.0
# A subscribed board sends about 100 live reports a second; none for this
# long means something is wrong.
LIVE_TIMEOUT = 5.0
# An update of the whole application with its restarts.
UPDATE_TIMEOUT = 120.0

# Serials of the boards this process holds, so that a second open() of one
# is refused as on the USB bus.
_held_here = set()
_held_lock = threading.Lock()


class BoardInfo(typing.NamedTuple):
    """A board on the bus. state: "free", "held" (by another program) or
    "served" (held by a program that serves it: open() reaches it)."""

    serial: str
    product: str
    path: str
    state: str


def _program():
    """How this program names itself to a holder: by its script, or as
    "python" where there is none (python -c, an interactive session)."""
    script = sys.argv[0] if sys.argv else ""
    return os.path.basename(script) if script and not script.startswith("-") else "python"


def _local_board(simulate, simulate_boards, serial="", trace=None):
    """A board handle of the core for the options, as torvan60ctl reads
    them: simulate True or a scenario name, simulate_boards N (implies
    simulate)."""
    if simulate is not None and not isinstance(simulate, (bool, str)):
        raise UsageError("simulate must be True, False or a scenario name")
    if simulate_boards is not None and (isinstance(simulate_boards, bool) or not isinstance(simulate_boards, int)):
        raise UsageError("simulate_boards must be a whole number")
    scenario = simulate if isinstance(simulate, str) else ""
    if isinstance(simulate, str) and not simulate:
        raise UsageError("simulate needs a scenario name, or True")
    try:
        return _core.LocalBoard(
            _simulated(simulate, simulate_boards), scenario, 1 if simulate_boards is None else simulate_boards, os.fspath(trace) if trace else "", _program(), os.getpid()
        )
    except ValueError as error:
        raise UsageError(str(error)) from None


def _simulated(simulate, simulate_boards):
    return bool(simulate) or simulate_boards is not None


def _entries(local, simulated):
    """The bus's boards with the held ones' holders, then, off a simulated
    bus, the boards other programs serve from buses of their own (the
    window on a simulated board): [(serial, product, path, held, holder)].
    Boards this process holds count as held by nobody that serves them."""
    entries = []
    with _held_lock:
        here = set(_held_here)
    for serial, product, path, held in local.boards():
        held = held or serial in here
        served = served_by(serial, _program()) if held and serial not in here else None
        entries.append((serial, product, path, held, served[0] if served else None))
    if not simulated:
        listed = {entry[0] for entry in entries}
        for serial, holder, product in served_boards(_program()):
            if serial not in listed and serial not in here:
                entries.append((serial, product, socket_path(serial), True, holder))
    return entries


def list_boards(simulate=None, simulate_boards=None):
    """The matching boards on the bus (or the simulated ones), free ones
    first in bus order, then held ones."""
    local = _local_board(simulate, simulate_boards)
    try:
        entries = _entries(local, _simulated(simulate, simulate_boards))
    finally:
        local.close()
    return [
        BoardInfo(serial, product, path, "served" if holder else "held" if held else "free")
        for serial, product, path, held, holder in entries
    ]


def open(serial=None, simulate=None, simulate_boards=None, trace=None):
    """Opens the board with this serial, or the only free or served one,
    as torvan60ctl does, and waits until it can be driven: its identity,
    settings and first live reports read (a board in its boot loader: its
    identity). trace: a file to append every HID report to.

    BoardNotFound, BoardHeld, BoardLost, UsageError (several boards and no
    serial, options that are not taken) or Error when it cannot be opened.
    """
    local = _local_board(simulate, simulate_boards, serial or "", trace)
    try:
        if serial:
            with _held_lock:
                if serial in _held_here:
                    raise BoardHeld(f"board {serial} is already open in this program")
        entries = _entries(local, _simulated(simulate, simulate_boards))
        served = {entry[0]: entry[4] for entry in entries if entry[4]}
        outcome, chosen, holder, message = _core.choose_board(
            [(entry[0], entry[3]) for entry in entries], served, serial or "", "serial="
        )
        if outcome != "chosen":
            raise {"not_found": BoardNotFound, "held": BoardHeld, "ambiguous": UsageError}[outcome](message)
        if holder:
            local.close()
            path = socket_path(chosen)
            try:
                transport = SocketTransport(path, chosen, _program())
            except (OSError, ValueError) as error:
                raise BoardHeld(f"board {chosen} is held by {holder}, whose service does not answer: {error}") from None
            return Board(Link(transport, chosen), holder=transport.holder)
        with _held_lock:
            if chosen in _held_here:
                raise BoardHeld(f"board {chosen} is already open in this program")
            _held_here.add(chosen)
        try:
            kind, message = local.hold(chosen)
            if kind != "ok":
                raise {"not_found": BoardNotFound, "lost": BoardLost}.get(kind, Error)(message)
            board = Board(Link(LocalTransport(local), chosen), local=local)
        except BaseException:
            with _held_lock:
                _held_here.discard(chosen)
            raise
        board._warn_notices()
        if local.questions():
            warnings.warn(
                "the board's firmware differs from the carried one; update it with firmware_update()",
                BoardWarning,
                stacklevel=2,
            )
        return board
    except BaseException:
        local.close()
        raise


def _report(live):
    """A live report with its readings as floats (JSON writes 24.0 as 24)
    and its time as a datetime."""
    for field in ("voltage", "temperature", "current"):
        if isinstance(live.get(field), int):
            live[field] = float(live[field])
    when = live.get("time")
    if isinstance(when, str):
        try:
            live["time"] = datetime.datetime.fromisoformat(when)
        except ValueError:
            pass
    return live


def _profile(params, max_speed, accel, decel):
    for key, value in (("max_speed", max_speed), ("accel", accel), ("decel", decel)):
        if value is not None:
            params[key] = value
    return params


class Board:
    """One opened board. Use it as a context manager, or close() it."""

    def __init__(self, link, local=None, holder=None):
        self._link = link
        self._local = local
        self._holder = holder
        self._live_lock = threading.Lock()
        self._closed = False
        self.serial = link.serial

    # -- life --------------------------------------------------------------

    def close(self):
        """Lets the board go: a board this process holds is closed, sending
        nothing (it keeps doing what it does); a served one stays with its
        holder."""
        if self._closed:
            return
        self._closed = True
        self._link.transport.close()
        if self._local is not None:
            with _held_lock:
                _held_here.discard(self.serial)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass

    def __repr__(self):
        where = f"served by {self._holder}" if self._holder else "held here"
        return f"<torvan60.Board {self.serial} ({where})>"

    @property
    def served_by(self):
        """The program that holds the board and serves it to this one, as
        "torvan60 (pid 4242)", or None when this process holds it."""
        return self._holder

    def _call(self, method, params=None, timeout=CALL_TIMEOUT, settings=False):
        if self._closed:
            raise Error(f"board {self.serial} is closed")
        try:
            return self._link.call(method, params, timeout, settings)
        finally:
            self._warn_notices()

    def _warn_notices(self):
        if self._local is not None:
            for text in self._local.take_notices():
                warnings.warn(text, BoardWarning, stacklevel=3)

    # -- identity and state ------------------------------------------------

    @property
    def identity(self):
        """name, unique_id, serial, product, bootloader_version,
        application_version, carried_version, bootloader_active,
        signature_valid, firmware ("up to date", "outdated", "boot loader",
        "corrupt")."""
        return self._call("identity")

    def status(self):
        """The newest live report: voltage (V), temperature (degC), current
        (A), driver_state, driver_text, faults (flags), fault_texts, inputs
        (the seven pins), mode, position (steps), speed (steps/s), time."""
        return _report(self._call("status"))

    # -- driver ------------------------------------------------------------

    def enable(self):
        """Wakes the driver; whether the motor's power is there."""
        return bool(self._call("enable").get("motor_power_ok"))

    def sleep(self):
        """Puts the driver to sleep."""
        self._call("sleep")

    def reset_faults(self):
        """Clears the fault flags; Refused when a fault remains."""
        self._call("reset_faults")

    # -- motion ------------------------------------------------------------

    def move_to(self, target, wait=True, timeout=30.0, max_speed=None, accel=None, decel=None):
        """Moves to target (steps) along the board's speed profile, or the
        one given, waking a sleeping driver. With wait, returns the
        position reached; a fault or the end switch ends the move (Refused,
        after a stop), and so does the timeout (Timeout, after a stop;
        None: twice the profile's time and 5 s more). Without wait, returns
        None once the move is sent. A target outside the position limits of
        the settings (PosLimitLower to PosLimitUpper) raises UsageError and
        nothing moves; the profile given is this move's only."""
        params = _profile({"target": target}, max_speed, accel, decel)
        if not wait:
            self._call("move", params)
            return None
        with self._live_reader():
            motion = self._call("settings.get").get("TrajectorySettings", {})
            started = self._call("move", params)
            if timeout is None:
                timeout = _profile_time(motion, started, target, max_speed, accel, decel)
            try:
                # The reports from now on show the move.
                with self._subscribed():
                    return self._await_move(target, motion, timeout)
            except KeyboardInterrupt as interrupt:
                stopped = self._stop_motion(lost=False)
                if stopped is not None and hasattr(interrupt, "add_note"):
                    interrupt.add_note(f"board {self.serial} stopped at position {stopped}")
                raise

    def _await_move(self, target, motion, timeout):
        end_switch = bool(motion.get("EnableEndSwitch"))
        normally_closed = bool(motion.get("NCTypeSwitch"))

        def pressed(live):
            closed = bool(live.get("inputs", {}).get("end_switch"))
            return end_switch and (not closed if normally_closed else closed)

        deadline = time.monotonic() + timeout
        live = None
        reports = 0
        outcome = "timeout"
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            try:
                report = self._link.next_live(min(left, 1.0))
            except BoardLost:
                outcome = "lost"
                break
            if report is None:
                continue
            live = report
            reports += 1
            # The first report after the command may still show the state
            # before it.
            if reports >= 2 and (
                live.get("faults") or pressed(live) or (live.get("position") == target and live.get("speed") == 0)
            ):
                outcome = "done"
                break
        faults = live.get("faults", 0) if live else 0
        at = live.get("position") if live else None
        if outcome == "done" and not faults and not pressed(live):
            return at
        # A holder that closed said what became of the motor, and does not
        # come back to be asked.
        if outcome == "lost" and self._link.lost_reason():
            raise BoardLost(self._link.lost_message(" during the move"))
        stopped = self._stop_motion(lost=outcome == "lost")
        if outcome == "lost":
            raise BoardLost(
                f"board {self.serial} was lost during the move; "
                + ("it came back and was stopped" if stopped is not None else "it could not be stopped")
            )
        if outcome == "timeout":
            raise Timeout(f"the move did not finish in time; stopped at position {stopped}")
        if faults:
            texts = " ".join(live.get("fault_texts", []))
            raise Refused(f"the move ended by a fault at position {at}: fault 0x{faults:X}: {texts}")
        raise Refused(f"the move ended at the end switch at position {at}")

    def _stop_motion(self, lost):
        """Brakes to rest after Ctrl-C, a fault, a timeout or a loss; a
        second Ctrl-C does not cut the braking short. The position it
        stopped at, or None when it could not be stopped."""
        with DeferredInterrupts():
            if lost and not self._link.transport.reconnect(RECONNECT_AFTER_LOSS):
                return None
            try:
                return self._call("stop", timeout=STOP_TIMEOUT).get("position")
            except Error:
                return None

    def run(self, speed, max_speed=None, accel=None, decel=None):
        """Runs at speed (steps/s; negative: backwards) until stop()."""
        self._call("run", _profile({"speed": speed}, max_speed, accel, decel))

    def stop(self):
        """Brakes any motion to rest; the position it stopped at."""
        with DeferredInterrupts():
            return self._call("stop", timeout=STOP_TIMEOUT).get("position")

    def home(self):
        """Makes the present position zero."""
        self._call("home")

    def pwm(self, a=0, b=0, freq=20000):
        """DC motor mode: duties a and b in percent (-100 to 100) at freq Hz
        (10 to 100000). The PWM as the board runs it: a, b, freq,
        actual_freq, timers; a change of mode is told as a BoardWarning."""
        result = self._call("pwm", {"a": a, "b": b, "freq": freq})
        self._warn(result.pop("warnings", []))
        return result

    def pwm_stop(self, leave_dc_mode=False):
        """Both outputs to 0 and the driver asleep; leave_dc_mode hands the
        outputs back to the stepper."""
        result = self._call("pwm", {"action": "off" if leave_dc_mode else "stop"})
        self._warn(result.pop("warnings", []))

    def stream(self, count=None):
        """Yields every live report from the first iteration on, none lost,
        in the order they came: count of them, or until the loop ends.
        Ctrl-C while it runs stops the motor before KeyboardInterrupt goes
        on, whether it came while the stream waited or in the loop's body."""
        if count is not None and count < 0:
            raise UsageError("count must not be negative")
        with InterruptWatch() as interrupts:
            try:
                with self._live_reader(), self._subscribed():
                    received = 0
                    while count is None or received < count:
                        live = self._link.next_live(LIVE_TIMEOUT)
                        if live is None:
                            raise Timeout(f"board {self.serial} sent no live report for {LIVE_TIMEOUT:g} s")
                        received += 1
                        yield _report(live)
            finally:
                if interrupts.seen:
                    self._stop_motion(lost=False)

    @contextlib.contextmanager
    def _live_reader(self):
        # One reader of the live reports at a time: each takes them all.
        if not self._live_lock.acquire(blocking=False):
            raise Error(f"the live reports of board {self.serial} are read already (by a stream or a move)")
        try:
            yield
        finally:
            self._live_lock.release()

    @contextlib.contextmanager
    def _subscribed(self):
        self._call("subscribe")
        try:
            yield
        finally:
            if not self._closed and self._link.transport.connected():
                try:
                    self._call("unsubscribe")
                except Error:
                    pass

    # -- settings ----------------------------------------------------------

    def settings(self, detail=False):
        """The board's settings under the groups and keys of a settings file
        ("DriverSettings", "TrajectorySettings"); detail adds the settings
        line and the register image."""
        return self._call("settings.get", {"detail": True} if detail else None)

    def apply_settings(self, settings, save=False, developer_currents=False):
        """Writes settings to the board, reads them back and returns the
        board's settings. A settings file's path is loaded by the window's
        rules: missing keys get their defaults. A dict like the one
        settings() gives changes the keys it names only, the board keeps
        the rest. Values out of range are adjusted, each told as a
        BoardWarning. SettingsError for what is no settings or what the
        board did not take; save keeps them over restarts."""
        settings, whole_file = self._settings_arg(settings)
        result = self._call(
            "settings.set",
            {
                "settings": settings,
                "whole_file": whole_file,
                "save": bool(save),
                "developer_currents": bool(developer_currents),
            },
            settings=True,
        )
        self._warn(result.get("warnings", []))
        return result.get("settings", {})

    def diff_settings(self, other, developer_currents=False):
        """What differs between other (a settings file's path, a dict of
        settings, or another Board) and this board, as the board holds the
        values: a list of {"key", "a" (other), "b" (this board), "unit"},
        empty when they agree. A file is taken whole (missing keys at their
        defaults); a dict or a board by the keys it names. Nothing is
        written."""
        if isinstance(other, Board):
            other = other.settings()
        settings, whole_file = self._settings_arg(other)
        result = self._call(
            "settings.diff",
            {"settings": settings, "whole_file": whole_file, "developer_currents": bool(developer_currents)},
            settings=True,
        )
        return result.get("differences", [])

    @staticmethod
    def _settings_arg(settings):
        """A settings argument as settings.set takes it, and whether it is a
        whole file."""
        if isinstance(settings, (str, bytes, os.PathLike)):
            try:
                return json.loads(_core.read_settings_file(os.fsdecode(settings))), True
            except ValueError as error:
                raise SettingsError(str(error)) from None
        if not isinstance(settings, dict):
            raise SettingsError("settings must be a settings file's path or a dict of its groups")
        return settings, False

    def set_name(self, name, save=False):
        """Names the board; the name as the board keeps it (32 bytes of
        UTF-8: a longer one is cut, with a BoardWarning)."""
        kept = self._call("name", {"name": name, "save": bool(save)}).get("name", "")
        if kept != name:
            self._warn([f'the board keeps 32 bytes; the name is cut to "{kept}"'])
        return kept

    def _warn(self, texts):
        for text in texts:
            warnings.warn(text, BoardWarning, stacklevel=3)

    # -- firmware ----------------------------------------------------------

    def firmware_check(self):
        """The board's firmware against the carried image:
        bootloader_version, application_version, carried_version, running
        ("application" or "boot loader"), signature_valid, up_to_date."""
        return self._call("firmware.check")

    def firmware_update(self, progress=None):
        """Updates the board's firmware to the carried image, as the window
        does (the board restarts into its boot loader and back), calling
        progress(percent) as the upload goes. Returns firmware_check()
        afterwards. Only on a board this process holds: a served board's
        holder updates it (BoardHeld)."""
        if self._local is None:
            raise BoardHeld(f"board {self.serial} is held by {self._holder}; update its firmware there")
        if self._closed:
            raise Error(f"board {self.serial} is closed")
        kind, message = self._local.firmware_update(progress)
        self._warn_notices()
        if kind == "lost":
            raise BoardLost(message)
        if kind not in ("updated", "current"):
            raise Error(message)
        return self.firmware_check()


def _profile_time(motion, started, target, max_speed, accel, decel):
    """Twice the time of the move's speed profile, and 5 s more for a loaded
    machine, as torvan60ctl allows it."""

    def value(key, given):
        return float(given or motion.get(key) or 1)

    speed = value("MaxSpeed", max_speed)
    distance = abs(float(target) - float(started.get("from", 0)))
    return 2 * (distance / speed + speed / value("MaxAccel", accel) + speed / value("MaxDecel", decel)) + 5
