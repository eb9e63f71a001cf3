"""The command line of ./simulate: simulate Tarvo_Unit.fmu under FMPy and
write the results.

A single run (the default) runs the unit's default experiment, or the stop
time and output interval given, with an input profile for channelA.input and
channelB.input, and writes every input and output at each communication
point to results.csv and a plot to results.png. Start values are given by
variable name as NAME=VALUE.

With --checkpoint-every, a single run of the FMI 3.0 archive keeps the
unit's state and its results so far in the output folder every so many
seconds; --resume continues it from its last checkpoint.

A study (--vary or --cases) runs many cases of the same experiment on a Dask
cluster, keeps each result in its journal as it arrives, and writes one row
per case to sweep.csv and a plot to sweep.png; --resume continues a stopped
one.

Result files are written to temporary files first and then renamed: a
single run's appear only once it succeeded, a study's when it ends or stops.
"""

import argparse
import contextlib
import shlex
import shutil
import sys
import traceback
from pathlib import Path

from . import checkpoint, journal
from .result_files import temporary_beside
from .settings import (
    DEFAULT_INPUTS,
    OptionError,
    StudyError,
    build_experiment,
    parse_number,
    parse_start_values,
)
from .unit_run import UnitRefusal, is_fmi3

REPOSITORY = Path(__file__).resolve().parents[2]
DEFAULT_FMU = REPOSITORY / "build" / "Tarvo_Unit.fmu"
PORTABLE_FMU = REPOSITORY / "build" / "Tarvo_Unit-portable.fmu"
FMI3_FMU = REPOSITORY / "build" / "Tarvo_Unit-fmi3.fmu"
FMI3_PORTABLE_FMU = REPOSITORY / "build" / "Tarvo_Unit-fmi3-portable.fmu"
# The build targets that make the archives, by file name.
BUILD_TARGETS = {DEFAULT_FMU.name: "fmu", PORTABLE_FMU.name: "fmu-portable",
                 FMI3_FMU.name: "fmu-fmi3", FMI3_PORTABLE_FMU.name: "fmu-fmi3-portable"}
DEFAULT_OUTPUT_DIR = REPOSITORY / "out"
# Options that only a study takes.
STUDY_OPTIONS = ("samples", "seed", "workers", "scheduler", "tls_ca_file", "tls_cert",
                 "tls_key", "keep_series", "resume")
# Options that define what a study computes, which --resume takes from the
# journal when none is given.
DEFINING_OPTIONS = ("start_values", "stop_time", "output_interval", "inputs", "vary", "cases",
                    "samples", "seed", "keep_series")
# The longest text of a number in a results file, with its comma.
NUMBER_BYTES = 25
# Room for a plot and the files beside the results.
PLOT_BYTES = 512 * 1024


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="simulate",
        description="Simulate Tarvo_Unit.fmu under FMPy and write the inputs and outputs at "
                    "every communication point as CSV and as a PNG plot; with --vary or "
                    "--cases, run a study of many cases on a Dask cluster instead.")
    parser.add_argument("start_values", nargs="*", metavar="NAME=VALUE",
                        help="start value of a parameter or input, by variable name "
                             "(e.g. level.capacity=500); an input given here is held at "
                             "that value, its column of the input profile is ignored")
    parser.add_argument("--stop-time", metavar="T",
                        help="end of the run (default: the unit's default experiment)")
    parser.add_argument("--output-interval", metavar="DT",
                        help="communication step and sampling interval (default: the step "
                             "size of the default experiment)")
    parser.add_argument("--inputs", metavar="CSV",
                        help="input profile: a column 'time' and one per input, linearly "
                             f"interpolated (default: {DEFAULT_INPUTS})")
    parser.add_argument("--output-dir", metavar="DIR",
                        help=f"folder for the result files (default: {DEFAULT_OUTPUT_DIR})")
    archive = parser.add_mutually_exclusive_group()
    archive.add_argument("--fmu", metavar="FILE",
                         help=f"the archive to simulate (default: {DEFAULT_FMU})")
    archive.add_argument("--portable", action="store_true",
                         help=f"simulate {PORTABLE_FMU.name}, whose own correctly rounded cos "
                              "and sin give the same bits on every machine")
    parser.add_argument("--fmi3", action="store_true",
                        help=f"simulate the FMI 3.0 archive, {FMI3_FMU.name} (with --portable "
                             f"{FMI3_PORTABLE_FMU.name}): the same unit and results")
    parser.add_argument("--checkpoint-every", metavar="SECONDS",
                        help="keep a checkpoint of a single run (the unit's state and the "
                             "results so far) in the output folder every SECONDS of wall "
                             "time, from which --resume continues it; needs --fmi3")

    study = parser.add_argument_group(
        "studies", "Many cases of the same experiment, one row each in sweep.csv. "
                   "Start values, --inputs, --stop-time and --output-interval apply to "
                   "every case; a varied input is held at its value.")
    study.add_argument("--vary", action="append", default=[], metavar="NAME=VALUES",
                       help="vary a parameter or input: V1,V2,... or START:STOP:COUNT "
                            "(COUNT values, ends included); repeated, the cases are the "
                            "full grid, the first --vary changing slowest. With --samples: "
                            "uniform(A,B) or normal(MU,SIGMA)")
    study.add_argument("--cases", metavar="CSV",
                       help="one case per row, the header names the variables, '#' starts "
                            "a comment line")
    study.add_argument("--samples", metavar="N",
                       help="N random cases of the --vary distributions")
    study.add_argument("--seed", metavar="S",
                       help="seed of --samples: the same cases for the same seed "
                            "(default 0)")
    study.add_argument("--workers", metavar="N",
                       help="worker processes of the local cluster (default: one per core)")
    study.add_argument("--scheduler", metavar="ADDRESS",
                       help="run on an existing Dask cluster instead: tls://HOST:PORT "
                            "(with the three --tls options) or tcp://HOST:PORT")
    study.add_argument("--tls-ca-file", metavar="PEM",
                       help="certificate of the authority the cluster's certificates "
                            "come from")
    study.add_argument("--tls-cert", metavar="PEM", help="this client's certificate")
    study.add_argument("--tls-key", metavar="PEM", help="this client's private key")
    study.add_argument("--keep-series", action="store_true",
                       help="also write each case's time series as cases/case-NNNN.csv")
    study.add_argument("--resume", metavar="DIR",
                       help="continue the study stopped in DIR from its journal, running "
                            "only the cases it had not finished, or the single run stopped "
                            "there from its last checkpoint; its options come from the "
                            "journal or checkpoint (given again, they must be the same)")
    parser.add_argument("--verbose", action="store_true",
                        help="show the build's output and, when something fails, the "
                             "traceback")
    return parser.parse_args(argv)


def archive_path(arguments, recorded=None):
    """The archive of --fmu, --fmi3 or --portable, else the one a journal or
    checkpoint recorded, else the default one; it must exist."""
    if arguments.fmu and arguments.fmi3:
        raise OptionError("--fmi3 chooses one of the build's FMI 3.0 archives, --fmu names "
                          "an archive itself: give one of them")
    if arguments.fmu:
        fmu = Path(arguments.fmu)
    elif arguments.fmi3:
        fmu = FMI3_PORTABLE_FMU if arguments.portable else FMI3_FMU
    elif arguments.portable:
        fmu = PORTABLE_FMU
    else:
        fmu = Path(recorded) if recorded else DEFAULT_FMU
    if not fmu.is_file():
        target = BUILD_TARGETS.get(fmu.name, "fmu")
        raise OptionError(f"no FMU at {fmu} (build it with: cmake --build build --target {target})")
    return fmu


def checkpoint_seconds(arguments):
    """The seconds of --checkpoint-every, or None."""
    if arguments.checkpoint_every is None:
        return None
    seconds = parse_number(arguments.checkpoint_every, "--checkpoint-every")
    if seconds <= 0:
        raise OptionError(f"--checkpoint-every: {arguments.checkpoint_every} is not a positive "
                          "number of seconds")
    return seconds


def check_serialisable(fmu, model_description):
    """Checkpoints need the unit's serialised state, which only the FMI 3.0
    unit gives (the FMI 2.0 unit answers its serialisation with discard)."""
    if not is_fmi3(model_description):
        raise OptionError(f"--checkpoint-every: {fmu.name} is an FMI "
                          f"{model_description.fmiVersion} archive, whose unit cannot serialise "
                          "its state; add --fmi3 to run the FMI 3.0 archive, which can")
    if not model_description.coSimulation.canSerializeFMUstate:
        raise OptionError(f"--checkpoint-every: the unit of {fmu} does not declare that it can "
                          "serialise its state (canSerializeFMUState)")


def study_from_options(arguments, fmu, resuming_run=False):
    """The case table and experiment the options give (table None: a single
    run), checked before anything runs."""
    import fmpy

    from . import cases

    model_description = fmpy.read_model_description(str(fmu))
    start_values = parse_start_values(arguments.start_values, model_description)
    table = cases.build_cases(arguments, model_description, start_values)
    if table is None:
        given = [option for option in STUDY_OPTIONS if getattr(arguments, option)
                 and not (resuming_run and option == "resume")]
        if given:
            option = "--" + given[0].replace("_", "-")
            raise OptionError(f"{option} belongs to a study: give --vary or --cases")
    elif arguments.checkpoint_every is not None:
        raise OptionError("--checkpoint-every belongs to a single run: a study keeps each "
                          "case it finished in its journal")
    experiment = build_experiment(model_description, arguments, start_values,
                                  held=table.names if table else ())
    return model_description, table, experiment


def results_bytes(experiment, origin):
    """The most a run's results.csv and results.png take from origin on."""
    rows = (experiment.stop_time - origin) / experiment.output_interval + 1
    if experiment.input_profile is not None:  # a step of the inputs is a point of its own
        rows += len(experiment.input_profile)
    return int(rows * (1 + len(experiment.recorded)) * NUMBER_BYTES) + PLOT_BYTES


def check_writable(output_dir, needed):
    """A single run's folder, made if missing, that takes a file and has room
    for its results: told before the run starts."""
    try:
        output_dir.mkdir(parents=True, exist_ok=True)
    except OSError as error:
        raise OptionError(f"--output-dir: cannot create {output_dir} ({error})") from None
    try:
        temporary_beside(output_dir, ".probe").unlink()
    except OSError as error:
        raise OptionError(f"output folder {output_dir}: cannot write in it "
                          f"({error.strerror})") from None
    journal.check_space(output_dir, needed, "the run needs about {} for its results")


def run_command(output_dir):
    return shlex.join(["./simulate", "--resume", str(output_dir)])


def refuse_unfinished(output_dir, study_state, starting):
    """A new study or run with checkpoints would lose an unfinished one in
    the folder: refused."""
    if starting == "run" and study_state.header is not None and not study_state.finished:
        raise OptionError(f"output folder {output_dir} holds an unfinished study "
                          f"({len(study_state.results)} of {study_state.case_count} cases "
                          f"finished): continue it with --resume {output_dir}, or choose "
                          "another --output-dir")
    kept = checkpoint.read_checkpoint(output_dir)
    if kept is not None:
        raise OptionError(f"output folder {output_dir} holds an unfinished run (its checkpoint "
                          f"at t = {kept.time:.6g} of {kept.definition['stop_time']:g}): "
                          f"continue it with --resume {output_dir}, or move "
                          f"{checkpoint.checkpoint_path(output_dir)} away to start anew")


def start_checkpointed(arguments, output_dir, fmu, model_description, experiment, every,
                       stack):
    """A new single run with checkpoints."""
    from . import single_run

    check_serialisable(fmu, model_description)
    check_writable(output_dir, results_bytes(experiment, experiment.start_time))
    lock = journal.FolderLock(output_dir, "run")
    stack.callback(lock.release)
    refuse_unfinished(output_dir, journal.read_journal(output_dir / journal.JOURNAL_NAME), "run")
    inputs_text = arguments.inputs or str(DEFAULT_INPUTS)
    header = checkpoint.header_for(
        journal.experiment_definition(journal.file_sha256(fmu), experiment), fmu.resolve(),
        every, inputs_text)
    plan = single_run.CheckpointPlan(output_dir, header, None, run_command(output_dir))
    return single_run.run_single(fmu, model_description, experiment, output_dir, inputs_text,
                                 plan)


def resume_checkpointed(arguments, output_dir, every, stack):
    """The single run stopped in output_dir, from its last checkpoint."""
    import fmpy

    from . import single_run

    lock = journal.FolderLock(output_dir, "run")
    stack.callback(lock.release)
    kept = checkpoint.read_checkpoint(output_dir)
    if kept is None:
        raise OptionError(f"--resume {output_dir}: no run to resume there "
                          f"({checkpoint.CHECKPOINT_NAME} is gone)")
    recorded = kept.definition
    fmu = archive_path(arguments, kept.header["archive"])
    sha256 = journal.file_sha256(fmu)
    if sha256 != recorded["archive_sha256"]:
        raise OptionError(f"--resume {output_dir}: {fmu} is not the archive the run began with "
                          f"({kept.header['archive']}, SHA-256 "
                          f"{recorded['archive_sha256'][:16]}...); give that one with --fmu")
    if any(getattr(arguments, option) for option in DEFINING_OPTIONS):
        _, _, experiment = study_from_options(arguments, fmu, resuming_run=True)
        parts = journal.differences(recorded, journal.experiment_definition(sha256, experiment))
        if parts:
            raise OptionError(f"--resume {output_dir}: the options given define another run "
                              f"than its checkpoint's (they differ in {', '.join(parts)}); "
                              "resume without them, or choose another --output-dir")
    experiment = journal.experiment_of(recorded)
    # A run that ended and had renamed its results already ends again from them.
    finished_results = kept.finished and \
        not (output_dir / checkpoint.PARTIAL_NAME).exists()
    checkpoint.check_results(output_dir, kept, single_run.RESULTS_NAME if finished_results
                             else checkpoint.PARTIAL_NAME)
    journal.check_space(output_dir, results_bytes(experiment, kept.time),
                        "the run needs about {} for its results")
    header = {**kept.header, "every": every if every is not None else kept.header["every"]}
    plan = single_run.CheckpointPlan(output_dir, header, kept, run_command(output_dir))
    return single_run.run_single(fmu, fmpy.read_model_description(str(fmu)), experiment,
                                 output_dir, header["inputs"], plan)


def resume_command(arguments, output_dir):
    command = ["./simulate", "--resume", str(output_dir)]
    for option in ("workers", "scheduler", "tls_ca_file", "tls_cert", "tls_key"):
        if getattr(arguments, option) is not None:
            command += ["--" + option.replace("_", "-"), getattr(arguments, option)]
    return shlex.join(command)


def open_journal(arguments, output_dir, state, fmu, table, experiment):
    """The study's journal: the one in the folder to resume it, else a new one.
    Refuses another study's options or archive, and a new study over an
    unfinished one."""
    definition = journal.study_definition(journal.file_sha256(fmu), experiment, table,
                                          arguments.keep_series)
    path = output_dir / journal.JOURNAL_NAME
    if state.header is not None:
        recorded = state.header["definition"]
        if arguments.resume is None and state.results and not state.finished:
            raise OptionError(f"output folder {output_dir} holds an unfinished study "
                              f"({len(state.results)} of {state.case_count} cases finished): "
                              f"continue it with --resume {output_dir}, or move {path} away "
                              "to start anew")
        if arguments.resume is not None and recorded != definition:
            parts = journal.differences(recorded, definition)
            if parts == ["the archive"]:
                raise OptionError(f"--resume {output_dir}: {fmu} is not the archive the study "
                                  f"began with ({state.header['archive']}, SHA-256 "
                                  f"{recorded['archive_sha256'][:16]}...); give that one "
                                  "with --fmu")
            raise OptionError(f"--resume {output_dir}: the options given define another study "
                              f"than its journal's (they differ in {', '.join(parts)}); "
                              "resume without them, or choose another --output-dir")
    resumed = state.header is not None and arguments.resume is not None
    samples = round((experiment.stop_time - experiment.start_time) / experiment.output_interval)
    series_bytes = (samples + 1) * (1 + len(experiment.recorded)) * 25 if arguments.keep_series \
        else 0
    remaining = len(table.rows) - (len(state.results) if resumed else 0)
    journal.check_space(output_dir, journal.space_needed(remaining, experiment.outputs,
                                                         series_bytes))
    if resumed:
        return journal.Journal(path, state)
    staging = output_dir / study_module().SERIES_STAGING
    if staging.exists():
        shutil.rmtree(staging)
    return journal.Journal.create(output_dir, journal.header_for(definition, fmu.resolve()))


def study_module():
    from . import study
    return study


def run(argv=None):
    arguments = parse_arguments(argv)
    every = checkpoint_seconds(arguments)
    resuming = arguments.resume is not None
    study_given = bool(arguments.vary or arguments.cases)
    if resuming:
        output_dir = Path(arguments.resume)
        if arguments.output_dir is not None and \
                Path(arguments.output_dir).resolve() != output_dir.resolve():
            raise OptionError("--output-dir and --resume name different folders")
        defined = any(getattr(arguments, option) for option in DEFINING_OPTIONS)
        has_checkpoint = checkpoint.checkpoint_path(output_dir).exists()
        if not study_given and not has_checkpoint and (defined or every is not None):
            raise OptionError(f"--resume {output_dir}: no run to resume there (no "
                              f"{checkpoint.CHECKPOINT_NAME}); a study's options given with it "
                              "define the whole study (its --vary or --cases too), or none "
                              "of them")
        # With the study's options, a study stopped before it made its folder
        # starts there.
        if not defined and not output_dir.is_dir():
            raise OptionError(f"--resume: no folder {output_dir}")
    else:
        output_dir = Path(arguments.output_dir or DEFAULT_OUTPUT_DIR)

    with contextlib.ExitStack() as stack:
        if resuming and not study_given and has_checkpoint:
            return resume_checkpointed(arguments, output_dir, every, stack)
        state = None
        if resuming and not defined:
            # The study as its journal defines it.
            lock = journal.FolderLock(output_dir)
            stack.callback(lock.release)
            state = journal.read_journal(output_dir / journal.JOURNAL_NAME)
            if state.header is None:
                raise OptionError(f"--resume {output_dir}: no study to resume there (its "
                                  "journal is missing or empty) and no run (no "
                                  f"{checkpoint.CHECKPOINT_NAME}); give the study's options "
                                  "with --resume to start it")
            fmu = archive_path(arguments, state.header["archive"])
            table, experiment = journal.study_of(state.header["definition"])
            arguments.keep_series = state.header["definition"]["keep_series"]
        else:
            fmu = archive_path(arguments)
            model_description, table, experiment = study_from_options(arguments, fmu)
            if table is None:
                if every is not None:
                    return start_checkpointed(arguments, output_dir, fmu, model_description,
                                              experiment, every, stack)
                check_writable(output_dir, results_bytes(experiment, experiment.start_time))
                from . import single_run
                return single_run.run_single(fmu, model_description, experiment, output_dir,
                                             arguments.inputs or str(DEFAULT_INPUTS))
        study = study_module()
        choice = study.cluster_choice(arguments)
        if state is None:
            try:
                output_dir.mkdir(parents=True, exist_ok=True)
            except OSError as error:
                raise OptionError(f"--output-dir: cannot create {output_dir} "
                                  f"({error})") from None
            lock = journal.FolderLock(output_dir)
            stack.callback(lock.release)
            state = journal.read_journal(output_dir / journal.JOURNAL_NAME)
            refuse_unfinished(output_dir, state, "study")
        study_journal = open_journal(arguments, output_dir, state, fmu, table, experiment)
        stack.callback(study_journal.close)
        return study.run_study(fmu, experiment, table, choice, arguments.keep_series, output_dir,
                               study_journal, resume_command(arguments, output_dir))


def main(argv=None):
    verbose = "--verbose" in (sys.argv[1:] if argv is None else argv)
    try:
        return run(argv)
    except OptionError as error:
        print(f"simulate: error: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print("simulate: interrupted; no results written, earlier results left as they were",
              file=sys.stderr)
        return 130
    except StudyError as error:
        print(f"simulate: error: {error}", file=sys.stderr)
        return 1
    except UnitRefusal as error:
        print(f"simulate: the simulation failed: {error}", file=sys.stderr)
        return 1
    except Exception as error:
        if verbose:
            traceback.print_exc()
        print(f"simulate: the simulation failed: {type(error).__name__}: {error}"
              + ("" if verbose else " (--verbose shows where)"), file=sys.stderr)
        return 1
