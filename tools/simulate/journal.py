"""The journal of a study: what it finished, kept in its output folder as
each case's result arrives, so that a study stopped at any moment (Ctrl-C,
a killed client, a restarted machine, a lost cluster) goes on with
--resume and runs no finished case again.

study.journal is a text file of lines, each the CRC-32 of its JSON text in
eight hex digits, a space, the JSON text and a newline:

    1c291ca3 {"journal": "tarvo-study", "version": 1, "study": ..., "definition": {...}}
    5e0f7a12 {"study": ..., "case": 7, "status": "ok", "message": "", "final": [...], ...}

The first line defines the study: the archive's SHA-256, the experiment,
the start values, the input profile and every case's values; the study's
identity is the hash of that definition, and every later line carries it.
Results are appended and synced to the disk before they count as done. A
stop while a line is written leaves a last line without its newline or with
a wrong checksum: that line is dropped and its case runs again. Any other
damage, a line of another study or a case recorded twice refuses the
journal whole, changing nothing.

One study at a time uses a folder: it holds an exclusive lock (flock) on
.study.lock there, which the kernel releases when the process ends however
it ends. A single run with checkpoints (checkpoint.py) takes the same lock,
and writes its checkpoints as this module writes a new journal.
"""

import errno
import fcntl
import hashlib
import json
import os
import tempfile
import zlib
from dataclasses import dataclass, field
from pathlib import Path

from .result_files import current_umask
from .settings import OptionError
from .unit_run import CaseResult

JOURNAL_NAME = "study.journal"
LOCK_NAME = ".study.lock"
FORMAT = "tarvo-study"
VERSION = 1
# Prefix of the temporary files of a study, which only a study holding the
# folder's lock makes: any found under the lock were left by a study that
# was stopped.
TEMPORARY_PREFIX = ".study-"


class JournalWriteError(Exception):
    """A result could not be written to the journal (a full disk, an I/O
    error): the study stops, and the journal keeps every whole line."""


def encode_line(record):
    text = json.dumps(record, separators=(",", ":"))
    return f"{zlib.crc32(text.encode()):08x} {text}\n".encode()


def decode_line(line):
    """The record of a whole line, or None if it is not one."""
    if not line.endswith(b"\n") or len(line) < 11 or line[8:9] != b" ":
        return None
    text = line[9:-1]
    try:
        if int(line[:8], 16) != zlib.crc32(text):
            return None
        record = json.loads(text)
    except ValueError:
        return None
    return record if isinstance(record, dict) else None


def canonical(definition):
    return json.dumps(definition, sort_keys=True, separators=(",", ":"))


def study_identity(definition):
    return hashlib.sha256(canonical(definition).encode()).hexdigest()[:16]


def file_sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        for block in iter(lambda: file.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def experiment_definition(archive_sha256, experiment):
    """What makes a run's results what they are, as plain JSON values
    (numbers as the doubles they are: JSON keeps repr's shortest text)."""
    profile = experiment.input_profile
    return {
        "archive_sha256": archive_sha256,
        "start_time": experiment.start_time,
        "stop_time": experiment.stop_time,
        "output_interval": experiment.output_interval,
        "start_values": dict(experiment.start_values),
        "input_profile": None if profile is None else {
            "columns": list(profile.dtype.names),
            "rows": [[float(value) for value in row] for row in profile.tolist()]},
        "inputs": list(experiment.inputs),
        "outputs": list(experiment.outputs),
    }


def study_definition(archive_sha256, experiment, table, keep_series):
    """What makes a study's results what they are: its experiment and cases."""
    return {
        **experiment_definition(archive_sha256, experiment),
        "varied": list(table.names),
        "cases": [[float(value) for value in row] for row in table.rows],
        "keep_series": bool(keep_series),
    }


def experiment_of(definition):
    """The experiment of a definition: the same values, bit for bit, as the
    options that made it gave."""
    import numpy as np

    from .unit_run import Experiment

    profile = definition["input_profile"]
    if profile is not None:
        profile = np.array([tuple(row) for row in profile["rows"]],
                           dtype=[(name, np.float64) for name in profile["columns"]])
    return Experiment(
        start_time=definition["start_time"], stop_time=definition["stop_time"],
        output_interval=definition["output_interval"],
        start_values=dict(definition["start_values"]), input_profile=profile,
        inputs=list(definition["inputs"]), outputs=list(definition["outputs"]))


def study_of(definition):
    """The case table and experiment of a journal's definition."""
    from .cases import CaseTable

    return CaseTable(list(definition["varied"]), [tuple(row) for row in definition["cases"]]), \
        experiment_of(definition)


# What each part of a definition is called on the command line, for the
# message that refuses another study's options.
DEFINITION_PARTS = {
    "archive_sha256": "the archive", "start_time": "the start time",
    "stop_time": "--stop-time", "output_interval": "--output-interval",
    "start_values": "the start values (NAME=VALUE)", "input_profile": "--inputs",
    "inputs": "the archive's inputs", "outputs": "the archive's outputs",
    "varied": "the varied variables", "cases": "the cases", "keep_series": "--keep-series",
}


def differences(definition, other):
    return [DEFINITION_PARTS.get(key, key) for key in DEFINITION_PARTS
            if definition.get(key) != other.get(key)]


@dataclass
class JournalState:
    """What a journal holds: its header (None when it has none yet), the
    results by case number, and the length of its whole lines."""
    header: dict = None
    results: dict = field(default_factory=dict)
    whole_length: int = 0
    torn: bool = False

    @property
    def case_count(self):
        return len(self.header["definition"]["cases"]) if self.header else 0

    @property
    def finished(self):
        return self.header is not None and len(self.results) == self.case_count


def damaged(path, number, what):
    return OptionError(f"journal {path}, line {number}: {what}; it is left as it is (move it "
                       "away to start the study anew)")


def read_journal(path):
    """The state of the journal at path (empty if there is none); refuses
    a damaged one, a line of another study or a case recorded twice."""
    path = Path(path)
    try:
        data = path.read_bytes()
    except FileNotFoundError:
        return JournalState()
    except OSError as error:
        raise OptionError(f"journal {path}: cannot be read ({error.strerror})") from None
    state = JournalState()
    lines = data.splitlines(keepends=True)
    for number, line in enumerate(lines, start=1):
        record = decode_line(line)
        if record is None:
            if number < len(lines):
                raise damaged(path, number, "damaged (its checksum does not match)")
            state.torn = True  # a stop while its last line was written
            break
        if state.header is None:
            if record.get("journal") != FORMAT or record.get("version") != VERSION:
                raise damaged(path, number, "not the header of a study journal of this "
                                            f"version ({FORMAT} {VERSION})")
            definition = record.get("definition")
            if (not isinstance(definition, dict)
                    or record.get("study") != study_identity(definition)):
                raise damaged(path, number, "a header whose definition does not match its "
                                            "study")
            state.header = record
        else:
            if record.get("study") != state.header["study"]:
                raise damaged(path, number, "a result of another study")
            case = record.get("case")
            if not isinstance(case, int) or not 1 <= case <= state.case_count:
                raise damaged(path, number, f"no case {case!r} in this study")
            if case in state.results:
                raise damaged(path, number, f"case {case} recorded twice")
            try:
                state.results[case] = CaseResult(str(record["status"]), str(record["message"]),
                                                  [float(value) for value in record["final"]],
                                                  float(record["wall_s"]))
            except (KeyError, TypeError, ValueError):
                raise damaged(path, number, "not a case's result") from None
        state.whole_length += len(line)
    return state


def fsync_folder(folder):
    descriptor = os.open(folder, os.O_RDONLY | os.O_DIRECTORY)
    try:
        os.fsync(descriptor)
    finally:
        os.close(descriptor)


def write_all(descriptor, data):
    view = memoryview(data)
    while view:
        view = view[os.write(descriptor, view):]


def replace_synced(path, data):
    """Puts data at path whole or not at all: written beside it under a
    temporary name, synced, renamed over it and the rename synced. A stop at
    any moment leaves the earlier file or the new one, and at most a
    temporary file that the folder's next lock holder removes."""
    path = Path(path)
    descriptor, name = tempfile.mkstemp(prefix=TEMPORARY_PREFIX, suffix=path.suffix,
                                        dir=path.parent)
    try:
        os.fchmod(descriptor, 0o666 & ~current_umask())
        write_all(descriptor, data)
        os.fsync(descriptor)
        os.close(descriptor)
        descriptor = None
        os.replace(name, path)
        fsync_folder(path.parent)
    finally:
        if descriptor is not None:
            os.close(descriptor)
        Path(name).unlink(missing_ok=True)


class FolderLock:
    """The folder's lock, held by a study or a run with checkpoints until
    released or the process ends. The lock file names the holder: its
    process id and what it is."""

    def __init__(self, folder, holder="study"):
        self.folder = Path(folder)
        path = self.folder / LOCK_NAME
        try:
            self.descriptor = os.open(path, os.O_RDWR | os.O_CREAT, 0o666)
        except OSError as error:
            raise OptionError(f"output folder {self.folder}: cannot write in it "
                              f"({error.strerror})") from None
        try:
            fcntl.flock(self.descriptor, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            process, _, other = os.read(self.descriptor, 64).decode(errors="replace").partition(
                " ")
            os.close(self.descriptor)
            raise OptionError(f"output folder {self.folder} is in use by another "
                              f"{other.strip() or 'study'}"
                              + (f" (process {process.strip()})" if process.strip() else "")
                              + "; wait for it to end or choose another --output-dir") from None
        os.ftruncate(self.descriptor, 0)
        os.write(self.descriptor, f"{os.getpid()} {holder}\n".encode())
        for pattern in (f"{TEMPORARY_PREFIX}*", f"{TEMPORARY_PREFIX}*/{TEMPORARY_PREFIX}*"):
            for stale in self.folder.glob(pattern):
                if stale.is_file():
                    stale.unlink(missing_ok=True)

    def release(self):
        if self.descriptor is not None:
            os.close(self.descriptor)
            self.descriptor = None


class Journal:
    """The open journal of a running study: appends results, each batch
    written whole and synced before it counts."""

    def __init__(self, path, state):
        self.path = Path(path)
        self.state = state
        self.descriptor = None
        try:
            self.descriptor = os.open(self.path, os.O_WRONLY | os.O_APPEND)
            if state.torn:  # drop the torn last line before appending after it
                os.ftruncate(self.descriptor, state.whole_length)
                os.fsync(self.descriptor)
        except OSError as error:
            self.close()
            raise OptionError(f"journal {self.path}: cannot be written ({error.strerror})"
                              ) from None

    @classmethod
    def create(cls, folder, header):
        """A new journal holding only the header, in place of any earlier one."""
        folder = Path(folder)
        line = encode_line(header)
        try:
            replace_synced(folder / JOURNAL_NAME, line)
        except OSError as error:
            raise OptionError(f"output folder {folder}: cannot write the journal "
                              f"({error.strerror})") from None
        return cls(folder / JOURNAL_NAME, JournalState(header, {}, len(line)))

    def append(self, numbered_results):
        """Writes [(case number, CaseResult)] and syncs them; they count as
        done only once this returns. On a write error the journal is cut back
        to its whole lines and JournalWriteError raised."""
        study = self.state.header["study"]
        data = b"".join(encode_line({"study": study, "case": number, "status": result.status,
                                     "message": result.message, "final": list(result.final),
                                     "wall_s": result.wall_s})
                        for number, result in numbered_results)
        try:
            write_all(self.descriptor, data)
            os.fsync(self.descriptor)
        except OSError as error:
            try:
                os.ftruncate(self.descriptor, self.state.whole_length)
                os.fsync(self.descriptor)
            except OSError:
                pass  # a reader drops a torn last line all the same
            raise JournalWriteError(f"cannot write the journal {self.path} "
                                    f"({error.strerror or errno.errorcode.get(error.errno)})"
                                    ) from None
        self.state.whole_length += len(data)
        for number, result in numbered_results:
            self.state.results[number] = result

    def close(self):
        if self.descriptor is not None:
            os.close(self.descriptor)
            self.descriptor = None


def header_for(definition, archive_path):
    return {"journal": FORMAT, "version": VERSION, "study": study_identity(definition),
            "archive": str(archive_path), "definition": definition}


def space_needed(case_count, outputs, series_bytes):
    """Bytes a study's remaining cases need at most: a journal line and a
    sweep.csv row each (every number at its longest text), the plot, and
    the series when kept."""
    row = 64 + 25 * (len(outputs) + 8)
    return case_count * (2 * row + series_bytes) + 512 * 1024


def check_space(folder, needed, what="the study needs about {} (its journal and result files)"):
    """Refuses a study or run that would fill the disk before it starts."""
    try:
        status = os.statvfs(folder)
    except OSError:
        return
    free = status.f_bavail * status.f_frsize
    if free < needed:
        raise OptionError(f"output folder {folder}: {free / 1e6:.1f} MB free, "
                          + what.format(f"{needed / 1e6:.1f} MB"))
