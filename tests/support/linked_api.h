// The export table for test programs linked against the unit's objects.
#ifndef TARVO_TESTS_SUPPORT_LINKED_API_H
#define TARVO_TESTS_SUPPORT_LINKED_API_H

#include "host/fmi_api.h"

namespace tarvo::testing {

inline const host::Fmi2Api& linkedFmiApi() {
    static const host::Fmi2Api api = [] {
        host::Fmi2Api table;
#define TARVO_API_LINK(name) table.name = &::name;
        TARVO_FMI2_EXPORTS(TARVO_API_LINK)
#undef TARVO_API_LINK
        return table;
    }();
    return api;
}

}  // namespace tarvo::testing

#endif  // TARVO_TESTS_SUPPORT_LINKED_API_H
