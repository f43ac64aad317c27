# The typed API of torvan60; keep it in step with __init__.py and the README.
import datetime
import os
from typing import Any, Callable, Iterator, Literal, NamedTuple, TypedDict

__version__: str

class Error(Exception):
    exit_code: int
    code: int | None
    def __init__(self, message: str, code: int | None = ..., exit_code: int | None = ...) -> None: ...

class BoardNotFound(Error): ...
class BoardHeld(Error): ...
class BoardLost(Error): ...
class Refused(Error): ...
class Timeout(Error, TimeoutError): ...
class UsageError(Error, ValueError): ...
class SettingsError(Error, ValueError): ...
class BoardWarning(UserWarning): ...

class BoardInfo(NamedTuple):
    serial: str
    product: str
    path: str
    state: Literal["free", "held", "served"]

class Inputs(TypedDict):
    sleep: bool
    step: bool
    dir: bool
    bin1: bool
    bin2: bool
    end_switch: bool
    bootloader_override: bool

class Status(TypedDict):
    voltage: float  # V, filtered as the window shows it
    temperature: float  # degC, filtered
    current: float  # A
    driver_state: int
    driver_text: str
    faults: int  # flags
    fault_texts: list[str]
    inputs: Inputs
    mode: int
    position: int  # steps
    speed: int  # steps/s
    time: datetime.datetime  # when the report came in, with its UTC offset

class Identity(TypedDict):
    serial: str
    product: str
    name: str
    unique_id: str
    bootloader_version: str
    application_version: str
    carried_version: str
    bootloader_active: bool
    signature_valid: bool
    firmware: Literal["up to date", "outdated", "boot loader", "corrupt"]

class FirmwareCheck(TypedDict):
    bootloader_version: str
    application_version: str
    carried_version: str
    running: Literal["application", "boot loader"]
    signature_valid: bool
    up_to_date: bool

class Pwm(TypedDict):
    a: int
    b: int
    freq: int
    actual_freq: int
    timers: list[int]

# A settings file's groups ("DriverSettings", "TrajectorySettings") and keys.
Settings = dict[str, dict[str, Any]]

def list_boards(simulate: bool | str | None = ..., simulate_boards: int | None = ...) -> list[BoardInfo]: ...
def open(
    serial: str | None = ...,
    simulate: bool | str | None = ...,
    simulate_boards: int | None = ...,
    trace: str | os.PathLike[str] | None = ...,
) -> Board: ...

class Board:
    serial: str
    @property
    def served_by(self) -> str | None: ...
    @property
    def identity(self) -> Identity: ...
    def close(self) -> None: ...
    def __enter__(self) -> Board: ...
    def __exit__(self, *exc: object) -> Literal[False]: ...
    def status(self) -> Status: ...
    def enable(self) -> bool: ...
    def sleep(self) -> None: ...
    def reset_faults(self) -> None: ...
    def move_to(
        self,
        target: int,
        wait: bool = ...,
        timeout: float | None = ...,
        max_speed: int | None = ...,
        accel: int | None = ...,
        decel: int | None = ...,
    ) -> int | None: ...
    def run(self, speed: int, max_speed: int | None = ..., accel: int | None = ..., decel: int | None = ...) -> None: ...
    def stop(self) -> int: ...
    def home(self) -> None: ...
    def pwm(self, a: int = ..., b: int = ..., freq: int = ...) -> Pwm: ...
    def pwm_stop(self, leave_dc_mode: bool = ...) -> None: ...
    def stream(self, count: int | None = ...) -> Iterator[Status]: ...
    def settings(self, detail: bool = ...) -> Settings: ...
    def apply_settings(
        self, settings: str | bytes | os.PathLike[str] | Settings, save: bool = ..., developer_currents: bool = ...
    ) -> Settings: ...
    def diff_settings(
        self, other: str | bytes | os.PathLike[str] | Settings | Board, developer_currents: bool = ...
    ) -> list[dict[str, Any]]: ...
    def set_name(self, name: str, save: bool = ...) -> str: ...
    def firmware_check(self) -> FirmwareCheck: ...
    def firmware_update(self, progress: Callable[[int], object] | None = ...) -> FirmwareCheck: ...
