"""Writes the value map of the trace tool's FMI 3.0 mode: where each value
of the FMI 2.0 unit lies among the FMI 3.0 unit's variables, found by name
through the two model descriptions, as a host finds it.

A scalar of the FMI 3.0 description has the name of an FMI 2.0 variable; an
array NAME with dimensions (n) or (n, m) holds the FMI 2.0 variables NAME[i]
or NAME[i,j], row after row. Every FMI 2.0 variable must lie in exactly one
place, and the instantiation token must be the FMI 2.0 GUID; otherwise the
script names the fault and writes nothing.

    python3 tools/trace/make_value_map.py FMI2.xml FMI3.xml OUTPUT.json
"""

import argparse
import itertools
import json
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path


class MapError(Exception):
    pass


def fmi2_references(root):
    """{name: value reference} of the FMI 2.0 description's Real variables."""
    references = {}
    for variable in root.iter("ScalarVariable"):
        if variable.find("Real") is None:
            raise MapError(f"FMI 2.0 variable {variable.get('name')} is not Real")
        references[variable.get("name")] = int(variable.get("valueReference"))
    return references


def element_names(variable):
    """The FMI 2.0 names of an FMI 3.0 variable's elements, in its order."""
    name = variable.get("name")
    dimensions = variable.findall("Dimension")
    if not dimensions:
        return [name]
    if any(d.get("start") is None for d in dimensions):
        raise MapError(f"{name}: every dimension needs a fixed size")
    sizes = [range(int(d.get("start"))) for d in dimensions]
    return [f"{name}[{','.join(map(str, index))}]" for index in itertools.product(*sizes)]


def value_map(fmi2_root, fmi3_root):
    guid = fmi2_root.get("guid")
    token = fmi3_root.get("instantiationToken")
    if guid != token:
        raise MapError(f"instantiation token {token} is not the FMI 2.0 GUID {guid}")
    references = fmi2_references(fmi2_root)
    placed = set()
    variables = []
    for variable in fmi3_root.find("ModelVariables"):
        if variable.get("causality") == "independent":
            continue
        if variable.tag != "Float64":
            raise MapError(f"FMI 3.0 variable {variable.get('name')} is not Float64")
        elements = []
        for name in element_names(variable):
            if name not in references:
                raise MapError(f"{name} of FMI 3.0 variable {variable.get('name')} "
                               "is no FMI 2.0 variable")
            if name in placed:
                raise MapError(f"{name} lies in two FMI 3.0 variables")
            placed.add(name)
            elements.append(references[name])
        variables.append({"name": variable.get("name"),
                          "valueReference": int(variable.get("valueReference")),
                          "elements": elements})
    missing = sorted(set(references) - placed, key=references.get)
    if missing:
        raise MapError(f"{len(missing)} FMI 2.0 variables lie in no FMI 3.0 variable: "
                       + ", ".join(missing[:5]))
    return {"instantiationToken": token, "variables": variables}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("fmi2", type=Path, help="the FMI 2.0 modelDescription.xml")
    parser.add_argument("fmi3", type=Path, help="the FMI 3.0 modelDescription.xml")
    parser.add_argument("output", type=Path, help="the value map to write (JSON)")
    arguments = parser.parse_args()
    try:
        mapping = value_map(ElementTree.parse(arguments.fmi2).getroot(),
                            ElementTree.parse(arguments.fmi3).getroot())
    except (MapError, ElementTree.ParseError, OSError) as error:
        sys.exit(f"make_value_map: {error}")
    text = "{\"instantiationToken\": " + json.dumps(mapping["instantiationToken"]) + ",\n"
    text += " \"variables\": [\n"
    text += ",\n".join("  " + json.dumps(v) for v in mapping["variables"])
    text += "\n ]}\n"
    arguments.output.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
