// The export table for test programs linked against the unit's objects.
#ifndef TARVO_TESTS_SUPPORT_LINKED_API_H
#define TARVO_TESTS_SUPPORT_LINKED_API_H

#include "host/fmi_api.h"

namespace tarvo::testing {

inline const host::FmiApi& linkedFmiApi() {
    static const host::FmiApi api = [] {
        host::FmiApi table;
#define TARVO_API_LINK(name) table.name = &::name;
        TARVO_FMI_EXPORTS(TARVO_API_LINK)
#undef TARVO_API_LINK
        return table;
    }();
    return api;
}

}  // namespace tarvo::testing

#endif  // TARVO_TESTS_SUPPORT_LINKED_API_H
