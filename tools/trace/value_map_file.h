// The value map (host/value_map.h) as a file: JSON that
// make_value_map.py writes from the two model descriptions, so that no
// build of the trace tool needs an XML parser.
//
//   {"instantiationToken": "{...}",
//    "variables": [{"name": "pose.offset", "valueReference": 14,
//                   "elements": [14, 15]}, ...]}
//
// elements: the FMI 2.0 value reference of each element of the FMI 3.0
// variable, in its order; one for a scalar.
#ifndef TARVO_TOOLS_TRACE_VALUE_MAP_FILE_H
#define TARVO_TOOLS_TRACE_VALUE_MAP_FILE_H

#include <string>

#include "host/value_map.h"

namespace tarvo::trace {

// A TraceError names the file and what is wrong when it is no such map, or
// when the map does not cover the FMI 2.0 unit's values once each.
host::ValueMap readValueMap(const std::string& path);

}  // namespace tarvo::trace

#endif  // TARVO_TOOLS_TRACE_VALUE_MAP_FILE_H
