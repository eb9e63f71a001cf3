"""Checkpoints of a long single run: the unit's serialised state and the
results so far, kept in the output folder while the run goes on, so that a
run stopped at any moment (Ctrl-C, a killed process, a restarted machine)
goes on with --resume from its last checkpoint and ends with the results.csv
that an uninterrupted run writes, byte for byte.

results.partial.csv holds the lines of results.csv written so far; the run
appends to it as it goes, and it becomes results.csv when the run ends.
run.checkpoint is two lines in the form of a study's journal (the CRC-32 of
the JSON text in eight hex digits, a space, the text, a newline):

    3a5c90e1 {"checkpoint": "tarvo-run", "version": 1, "run": ID, "archive": ..., ...}
    77b0c2d4 {"run": ID, "time": T, "steps": N, "rows": R, "results_bytes": B, ...}

The first line defines the run as a journal's first line defines a study
(the archive's SHA-256, the experiment, the start values, the input
profile) and gives the seconds between checkpoints; the second says where
the run is: its model time, the regular communication points it has
passed, how many rows, bytes and which CRC-32 results.partial.csv has at
that moment, whether the run has ended, and the unit's serialised state in
base64 (which carries its own version, instantiation token, length and
CRC). A checkpoint first syncs the results to the disk, then replaces
run.checkpoint whole: a stop at any moment leaves the last complete
checkpoint, and results beyond what it counts are cut off when the run
resumes. A checkpoint that does not read back whole, or results that do not
match it, refuse the resume and change nothing.
"""

import base64
import contextlib
import os
import time
import zlib
from dataclasses import dataclass
from pathlib import Path

from . import journal
from .result_files import CsvLines
from .settings import OptionError

CHECKPOINT_NAME = "run.checkpoint"
PARTIAL_NAME = "results.partial.csv"
FORMAT = "tarvo-run"
VERSION = 1
# Bytes read at a time when the results are checked.
READ_BLOCK = 1 << 20


class CheckpointWriteError(Exception):
    """The results or a checkpoint could not be written (a full disk, an I/O
    error): the run stops, and the last checkpoint written stays whole."""


@contextlib.contextmanager
def writing(folder):
    try:
        yield
    except OSError as error:
        raise CheckpointWriteError(f"cannot write the checkpoint in {folder} "
                                   f"({error.strerror or error})") from None


@dataclass
class Checkpoint:
    """Where a run was at its last checkpoint."""
    header: dict
    time: float            # model time
    steps: int             # regular communication points passed
    rows: int              # rows of results so far
    results_bytes: int     # length of results.partial.csv
    results_crc: int       # its CRC-32
    finished: bool         # the run reached its stop time
    state: bytes           # the unit's serialised state

    @property
    def definition(self):
        return self.header["definition"]


def header_for(definition, archive_path, every, inputs_text):
    return {"checkpoint": FORMAT, "version": VERSION,
            "run": journal.study_identity(definition), "archive": str(archive_path),
            "every": every, "inputs": inputs_text, "definition": definition}


def checkpoint_path(folder):
    return Path(folder) / CHECKPOINT_NAME


def damaged(path, what):
    return OptionError(f"checkpoint {path}: {what}; it is left as it is (move it away to "
                       "start the run anew)")


def read_checkpoint(folder):
    """The folder's checkpoint, or None if it has none; refuses one that does
    not read back whole."""
    path = checkpoint_path(folder)
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        return None
    except OSError as error:
        raise OptionError(f"checkpoint {path}: cannot be read ({error.strerror})") from None
    lines = data.splitlines(keepends=True)
    if len(lines) != 2:
        raise damaged(path, "damaged (not the two lines of a checkpoint)")
    header, place = (journal.decode_line(line) for line in lines)
    if header is None or place is None:
        raise damaged(path, f"damaged (line {1 if header is None else 2}: its checksum does "
                            "not match)")
    if header.get("checkpoint") != FORMAT or header.get("version") != VERSION:
        raise damaged(path, f"not a checkpoint of this version ({FORMAT} {VERSION})")
    definition = header.get("definition")
    if not isinstance(definition, dict) or \
            header.get("run") != journal.study_identity(definition):
        raise damaged(path, "a header whose definition does not match its run")
    if place.get("run") != header["run"]:
        raise damaged(path, "a place of another run")
    try:
        return Checkpoint(header, float(place["time"]), int(place["steps"]), int(place["rows"]),
                          int(place["results_bytes"]), int(place["results_crc"]),
                          bool(place["finished"]), base64.b64decode(place["state"],
                                                                    validate=True))
    except (KeyError, TypeError, ValueError):
        raise damaged(path, "not a run's place") from None


def encode(checkpoint):
    place = {"run": checkpoint.header["run"], "time": checkpoint.time,
             "steps": checkpoint.steps, "rows": checkpoint.rows,
             "results_bytes": checkpoint.results_bytes, "results_crc": checkpoint.results_crc,
             "finished": checkpoint.finished,
             "state": base64.b64encode(checkpoint.state).decode("ascii")}
    return journal.encode_line(checkpoint.header) + journal.encode_line(place)


def check_results(folder, checkpoint, name=PARTIAL_NAME):
    """Refuses results that are shorter than the checkpoint counts or differ
    from what it counts."""
    path = Path(folder) / name
    remaining = checkpoint.results_bytes
    crc = 0
    try:
        with open(path, "rb") as file:
            while remaining:
                block = file.read(min(remaining, READ_BLOCK))
                if not block:
                    break
                crc = zlib.crc32(block, crc)
                remaining -= len(block)
    except FileNotFoundError:
        raise damaged(checkpoint_path(folder), f"its results {path} are missing") from None
    except OSError as error:
        raise OptionError(f"results {path}: cannot be read ({error.strerror})") from None
    if remaining:
        raise damaged(checkpoint_path(folder), f"its results {path} are shorter than it "
                                               f"counts ({checkpoint.results_bytes} bytes)")
    if crc != checkpoint.results_crc:
        raise damaged(checkpoint_path(folder), f"its results {path} differ from what it "
                                               "counts (their checksum does not match)")


class Keeper:
    """The checkpoints of a running run: appends each row of results to
    results.partial.csv, and writes a checkpoint whenever one is due."""

    def __init__(self, folder, header, resumed=None):
        self.folder = Path(folder)
        self.header = header
        self.every = header["every"]
        self.last = None          # the last checkpoint written
        self.last_at = time.monotonic()
        path = self.folder / PARTIAL_NAME
        with writing(self.folder):
            if resumed is None:
                self.file = open(path, "wb")  # noqa: SIM115 (open while the run goes on)
                self.lines = CsvLines(self.file)
                self.rows = 0
            else:
                # Rows written after the checkpoint are cut off.
                self.file = open(path, "r+b")  # noqa: SIM115
                self.file.truncate(resumed.results_bytes)
                self.file.seek(resumed.results_bytes)
                self.lines = CsvLines(self.file, resumed.results_bytes, resumed.results_crc)
                self.rows = resumed.rows
                self.last = resumed

    def header_line(self, columns):
        with writing(self.folder):
            self.lines.header(columns)

    def add(self, row):
        with writing(self.folder):
            self.lines.row(row)
        self.rows += 1

    def due(self):
        return time.monotonic() - self.last_at >= self.every

    def save(self, model_time, steps, state, finished=False):
        """The results so far on the disk, then the checkpoint that counts
        them; returns the seconds it took."""
        began = time.monotonic()
        checkpoint = Checkpoint(self.header, model_time, steps, self.rows, self.lines.length,
                                self.lines.crc, finished, state)
        with writing(self.folder):
            self.file.flush()
            os.fsync(self.file.fileno())
            if self.last is None:  # the results' name on the disk before a checkpoint counts it
                journal.fsync_folder(self.folder)
            journal.replace_synced(checkpoint_path(self.folder), encode(checkpoint))
        self.last = checkpoint
        self.last_at = time.monotonic()
        return self.last_at - began

    def close(self):
        with contextlib.suppress(OSError):  # what a checkpoint counts is on the disk
            self.file.close()

