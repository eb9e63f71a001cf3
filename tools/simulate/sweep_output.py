"""The results of a study: sweep.csv (one row per case) and sweep.png (each
output's final value against the varied variables, failed cases marked).
A case not finished yet (None among the results) has the status pending in
sweep.csv and no mark in sweep.png."""

import csv

from .result_files import number_text

# Distinct outputs in panels, as in results.png: channelX.out[2..6] repeat
# out[0] and out[1].
OUTPUT_GROUPS = [
    ("channel vectors", ["channelA.out[0]", "channelA.out[1]",
                         "channelB.out[0]", "channelB.out[1]"]),
    ("quantised values", ["channelA.quantised", "channelB.quantised"]),
    ("quantised states", ["channelA.quantisedState", "channelB.quantisedState"]),
    ("pose", ["pose.angle", "pose.vector[0]", "pose.vector[1]"]),
    ("level", ["level.used"]),
]
# More varied variables than this get no column of panels of their own.
MOST_PANEL_COLUMNS = 6


def sweep_header(table, outputs):
    return ["case"] + table.names + ["status", "message"] + outputs + ["wall_s"]


def write_sweep_csv(path, table, results, outputs):
    with open(path, "w", newline="", encoding="utf-8") as file:
        writer = csv.writer(file)
        writer.writerow(sweep_header(table, outputs))
        for number, (values, result) in enumerate(zip(table.rows, results, strict=True), start=1):
            row = [number] + [number_text(value) for value in values]
            if result is None:
                writer.writerow(row + ["pending", ""] + [""] * (len(outputs) + 1))
                continue
            final = ([number_text(value) for value in result.final] if result.final
                     else [""] * len(outputs))
            writer.writerow(row + [result.status, result.message] + final
                            + [number_text(result.wall_s)])


def plot_sweep(path, table, results, outputs):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np

    groups = [(label, [name for name in names if name in outputs])
              for label, names in OUTPUT_GROUPS]
    groups = [(label, names) for label, names in groups if names]
    columns = table.names[:MOST_PANEL_COLUMNS]
    single = len(table.names) == 1
    figure, axes = plt.subplots(len(groups), len(columns), squeeze=False, sharex="col",
                                figsize=(9 if single else 3.4 * len(columns) + 0.8,
                                         1.9 * len(groups)),
                                layout="constrained")
    ok = np.array([result is not None and result.status == "ok" for result in results])
    failed = np.array([result is not None and result.status != "ok" for result in results])
    values = np.array(table.rows, dtype=float).reshape(len(table.rows), len(table.names))
    final = np.full((len(results), len(outputs)), np.nan)
    for row, result in enumerate(results):
        if result is not None and result.final:
            final[row] = result.final

    for column, name in enumerate(columns):
        x = values[:, column]
        order = np.argsort(x[ok], kind="stable")
        for row, (label, names) in enumerate(groups):
            axis = axes[row][column]
            for output in names:
                y = final[ok, outputs.index(output)]
                if single:
                    axis.plot(x[ok][order], y[order], ".-", label=output, linewidth=1.0,
                              markersize=4)
                else:
                    axis.plot(x[ok], y, ".", label=output, markersize=3, alpha=0.7)
            if failed.any():
                # Failed cases have no final values: a cross on the lower edge.
                axis.plot(x[failed], np.zeros(failed.sum()), "x", color="red", markersize=6,
                          transform=axis.get_xaxis_transform(), clip_on=False,
                          label="failed")
            axis.grid(True, alpha=0.3)
            if column == 0:
                axis.set_ylabel(label)
            if column == len(columns) - 1:
                axis.legend(loc="center left", bbox_to_anchor=(1.01, 0.5), fontsize="small")
        axes[-1][column].set_xlabel(name)

    finished = sum(result is not None for result in results)
    title = f"Tarvo_Unit: final values of {len(results)} cases"
    if finished < len(results):
        title = f"Tarvo_Unit: final values of {finished} of {len(results)} cases so far"
    if failed.any():
        title += f", {int(failed.sum())} failed (red crosses)"
    if len(table.names) > len(columns):
        title += f"; against the first {len(columns)} of {len(table.names)} varied variables"
    figure.suptitle(title)
    figure.savefig(path, dpi=80)
    plt.close(figure)
