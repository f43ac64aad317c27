"""The package's exceptions and how the service's error codes map to them."""

# The service's error codes (docs/service.md).
PARSE_ERROR = -32700
INVALID_REQUEST = -32600
METHOD_NOT_FOUND = -32601
INVALID_PARAMS = -32602
INTERNAL_ERROR = -32603
REFUSED = -32001
BOARD_LOST = -32003


class Error(Exception):
    """Anything the board, its service or this package could not do.

    ``exit_code`` is what torvan60ctl exits with for the same failure;
    ``code`` is the service's error code when the service gave one.
    """

    exit_code = 1

    def __init__(self, message, code=None, exit_code=None):
        super().__init__(message)
        self.code = code
        if exit_code is not None:
            self.exit_code = exit_code


class BoardNotFound(Error):
    """No board with that serial, or no board at all."""

    exit_code = 3


class BoardHeld(Error):
    """Another program holds the board and does not serve it (or it runs
    what a served board cannot do, a firmware update)."""

    exit_code = 3


class BoardLost(Error):
    """The board went away."""

    exit_code = 3


class Refused(Error):
    """The board refused, or an operation failed on it."""


class Timeout(Error, TimeoutError):
    """The board or its service did not finish in time."""


class UsageError(Error, ValueError):
    """A parameter the board's service or this package does not take, or
    several boards and no serial to pick one."""

    exit_code = 2


class SettingsError(Error, ValueError):
    """Settings that are no settings, or that the board did not take."""

    exit_code = 2


class BoardWarning(UserWarning):
    """What the board's service or the device object tells the operator:
    settings adjusted on loading, a name cut to what the board keeps, a
    change of motor mode, firmware other than the carried one."""


def error_for(code, message, settings=False):
    """The exception for an error answer of the service."""
    if code == BOARD_LOST:
        return BoardLost(message, code)
    if settings and code in (INVALID_PARAMS, REFUSED):
        return SettingsError(message, code, exit_code=2 if code == INVALID_PARAMS else 1)
    if code == REFUSED:
        return Refused(message, code)
    if code == INVALID_PARAMS:
        return UsageError(message, code)
    if code in (PARSE_ERROR, INVALID_REQUEST, METHOD_NOT_FOUND):
        return Error(message, code, exit_code=2)
    return Error(message, code)
