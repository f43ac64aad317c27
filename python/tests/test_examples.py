"""The README's example runs as it stands, and the move-and-record example
writes every live report of the move, in time order, from rest at the start
to rest at the target."""

import csv
import datetime
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "examples", "python")


def test_move_and_record_writes_the_whole_move(tmp_path):
    out = tmp_path / "move.csv"
    done = subprocess.run(
        [sys.executable, os.path.join(EXAMPLES, "move_and_record.py"), "1500", str(out), "--simulate"],
        capture_output=True,
        text=True,
        timeout=120,
    )
    assert done.returncode == 0, done.stderr
    with open(out, newline="", encoding="utf-8") as source:
        rows = list(csv.DictReader(source))
    times = [datetime.datetime.fromisoformat(row["time"]) for row in rows]
    positions = [int(row["position"]) for row in rows]
    assert times == sorted(times)
    assert positions[0] == 0 and positions[-1] == 1500 and int(rows[-1]["speed"]) == 0
    assert positions == sorted(positions)
    assert f"{len(rows)} reports written" in done.stdout


def test_the_readme_example_runs():
    with open(os.path.join(HERE, "..", "..", "README.md"), encoding="utf-8") as readme:
        text = readme.read()
    section = text[text.index("## Python package: torvan60") :]
    example = section[section.index("```python\n") + len("```python\n") :]
    example = example[: example.index("```")]
    done = subprocess.run([sys.executable, "-c", example], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0] == "1.23"
    assert "3000" in lines
    assert lines[-1] == "no board with serial NOPE; found: SIM60-000001"
