"""Result files: CSV numbers that read back as the same double, and files that
appear only when a run or study ends (written beside their place under a
temporary name, then renamed)."""

import csv
import os
import shutil
import tempfile
import zlib
from pathlib import Path


class CsvLines:
    """The lines of a results CSV file, written to a binary file: a header of
    column names, then one row of numbers per communication point. Counts
    the bytes written and their CRC-32, going on from a length and CRC
    given (a checkpoint records them)."""

    def __init__(self, file, length=0, crc=0):
        self.file = file
        self.length = length
        self.crc = crc
        self.writer = csv.writer(self)

    def write(self, text):
        data = text.encode("utf-8")
        self.file.write(data)
        self.length += len(data)
        self.crc = zlib.crc32(data, self.crc)

    def header(self, columns):
        self.writer.writerow(columns)

    def row(self, values):
        # repr gives the shortest text that reads back as the same double.
        self.writer.writerow([repr(float(value)) for value in values])


def write_results_csv(path, result, columns):
    with open(path, "wb") as file:
        lines = CsvLines(file)
        lines.header(columns)
        for row in result:
            lines.row(row[column] for column in columns)


def number_text(value):
    """A number as it goes into a CSV file: the shortest text of the same double."""
    return repr(float(value))


def current_umask():
    umask = os.umask(0)
    os.umask(umask)
    return umask


def temporary_beside(directory, suffix, prefix=".simulate-"):
    """An empty file in the result folder, with the permissions of a new file."""
    handle, name = tempfile.mkstemp(prefix=prefix, suffix=suffix, dir=directory)
    os.close(handle)
    os.chmod(name, 0o666 & ~current_umask())
    return Path(name)


def temporary_folder_beside(directory, prefix=".simulate-"):
    """An empty folder in the result folder, with the permissions of a new one."""
    name = Path(tempfile.mkdtemp(prefix=prefix, dir=directory))
    os.chmod(name, 0o777 & ~current_umask())
    return name


def replace_folder(temporary, target):
    """Puts a finished folder in the place of an earlier one."""
    if target.exists():
        retired = Path(tempfile.mkdtemp(prefix=".simulate-old-", dir=target.parent))
        os.replace(target, retired / target.name)
        os.replace(temporary, target)
        shutil.rmtree(retired, ignore_errors=True)
    else:
        os.replace(temporary, target)
