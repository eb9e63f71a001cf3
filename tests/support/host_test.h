// GoogleTest base for tests that act as a host: every test starts with an
// empty allocation ledger and ends checking that nothing stayed allocated,
// nothing was freed that was not allocated, and no message reached the
// logger without the host's componentEnvironment.
#ifndef TARVO_TESTS_SUPPORT_HOST_TEST_H
#define TARVO_TESTS_SUPPORT_HOST_TEST_H

#include <gtest/gtest.h>

#include "support/host_fixture.h"

namespace tarvo::testing {

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        allocationLedger().reset();
        strayLog().clear();
    }

    void TearDown() override {
        EXPECT_EQ(allocationLedger().outstanding(), 0u) << "blocks left allocated";
        EXPECT_EQ(allocationLedger().unknownFrees(), 0) << "frees of blocks never allocated";
        EXPECT_TRUE(strayLog().empty()) << "a message came without componentEnvironment";
        allocationLedger().reset();
    }
};

}  // namespace tarvo::testing

#endif  // TARVO_TESTS_SUPPORT_HOST_TEST_H
