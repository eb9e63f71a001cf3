// Where the FMI 2.0 unit's values lie in the FMI 3.0 unit's variables, as a
// host finds them by name in the two model descriptions: a scalar of the
// same name, or an element of an array (channelA.out[1] is element 1 of
// channelA.out, rotation.matrix[1,0] element 2 of rotation.matrix, row
// after row). The trace tool reads it from a file made from the two
// descriptions (tools/trace/make_value_map.py).
#ifndef TARVO_TOOLS_HOST_VALUE_MAP_H
#define TARVO_TOOLS_HOST_VALUE_MAP_H

#include <string>
#include <vector>

#include "fmi2/fmi2_types.h"
#include "fmi3/fmi3_types.h"

namespace tarvo::host {

struct Fmi3Variable {
    fmi3ValueReference valueReference = 0;
    // The FMI 2.0 value reference of each element in FMI 3.0's order; one
    // for a scalar.
    std::vector<fmi2ValueReference> elements;
};

struct ValueMap {
    std::string instantiationToken;
    // Every variable that holds values of the FMI 2.0 unit: all but the
    // independent variable, which has no counterpart there.
    std::vector<Fmi3Variable> variables;
};

// Empty when every value reference of the FMI 2.0 unit, 0 to kValueCount - 1
// (model_values.h), is one element of one variable and nothing else is;
// otherwise the first fault found.
std::string valueMapFault(const ValueMap& map);

}  // namespace tarvo::host

#endif  // TARVO_TOOLS_HOST_VALUE_MAP_H
