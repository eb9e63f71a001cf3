"""The command line of ./simulate: simulate Tarvo_Unit.fmu under FMPy and
write the results.

A single run (the default) runs the unit's default experiment, or the stop
time and output interval given, with an input profile for channelA.input and
channelB.input, and writes every input and output at each communication
point to results.csv and a plot to results.png. Start values are given by
variable name as NAME=VALUE.

A study (--vary or --cases) runs many cases of the same experiment on a Dask
cluster and writes one row per case to sweep.csv and a plot to sweep.png.

Result files appear only once the run or study has ended: they are written
to temporary files first and then renamed.
"""

import argparse
import sys
import traceback
from pathlib import Path

from .settings import DEFAULT_INPUTS, OptionError, StudyError, build_experiment, parse_start_values
from .unit_run import UnitRefusal

REPOSITORY = Path(__file__).resolve().parents[2]
DEFAULT_FMU = REPOSITORY / "build" / "Tarvo_Unit.fmu"
PORTABLE_FMU = REPOSITORY / "build" / "Tarvo_Unit-portable.fmu"
DEFAULT_OUTPUT_DIR = REPOSITORY / "out"
# Options that only a study takes.
STUDY_OPTIONS = ("samples", "seed", "workers", "scheduler", "tls_ca_file", "tls_cert",
                 "tls_key", "keep_series")


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
    parser.add_argument("--inputs", metavar="CSV", default=str(DEFAULT_INPUTS),
                        help="input profile: a column 'time' and one per input, linearly "
                             "interpolated (default: %(default)s)")
    parser.add_argument("--output-dir", metavar="DIR", default=str(DEFAULT_OUTPUT_DIR),
                        help="folder for the result files (default: %(default)s)")
    archive = parser.add_mutually_exclusive_group()
    archive.add_argument("--fmu", metavar="FILE",
                         help=f"the archive to simulate (default: {DEFAULT_FMU})")
    archive.add_argument("--portable", action="store_true",
                         help=f"simulate {PORTABLE_FMU.name}, whose own correctly rounded cos "
                              "and sin give the same bits on every machine")

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
    parser.add_argument("--verbose", action="store_true",
                        help="show the build's output and, when something fails, the "
                             "traceback")
    return parser.parse_args(argv)


def run(argv=None):
    arguments = parse_arguments(argv)
    import fmpy

    from . import cases

    fmu = Path(arguments.fmu or (PORTABLE_FMU if arguments.portable else DEFAULT_FMU))
    if not fmu.is_file():
        target = "fmu-portable" if arguments.portable else "fmu"
        raise OptionError(f"no FMU at {fmu} (build it with: cmake --build build --target {target})")
    model_description = fmpy.read_model_description(str(fmu))
    start_values = parse_start_values(arguments.start_values, model_description)
    table = cases.build_cases(arguments, model_description, start_values)
    if table is None:
        given = [option for option in STUDY_OPTIONS if getattr(arguments, option)]
        if given:
            option = "--" + given[0].replace("_", "-")
            raise OptionError(f"{option} belongs to a study: give --vary or --cases")
    else:
        from . import study
        choice = study.cluster_choice(arguments)
    experiment = build_experiment(model_description, arguments, start_values,
                                  held=table.names if table else ())

    output_dir = Path(arguments.output_dir)
    try:
        output_dir.mkdir(parents=True, exist_ok=True)
    except OSError as error:
        raise OptionError(f"--output-dir: cannot create {output_dir} ({error})") from None

    if table is None:
        from . import single_run
        return single_run.run_single(fmu, model_description, experiment, output_dir,
                                     arguments.inputs)
    return study.run_study(fmu, experiment, table, choice, arguments.keep_series, output_dir)


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
