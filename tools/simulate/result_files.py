"""Result files: CSV numbers that read back as the same double, and files that
appear only when a run or study ends (written beside their place under a
temporary name, then renamed)."""

import csv
import os
import shutil
import tempfile
from pathlib import Path


def write_results_csv(path, result, columns):
    with open(path, "w", newline="", encoding="utf-8") as file:
        writer = csv.writer(file)
        writer.writerow(columns)
        for row in result:
            # repr gives the shortest text that reads back as the same double.
            writer.writerow([repr(float(row[column])) for column in columns])


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
