#pragma once

#include "Support/HeadsetCommandLog.h"
#include "Support/PrivateNetwork.h"

#include <gtest/gtest.h>

namespace TalmexTest {

// Each test in a network namespace of its own, so that its agents have the
// UDP ports to themselves whoever else runs an agent on this machine, with a
// command log for the scripted plug-in.
class PrivateNetworkTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!EnterPrivateNetwork()) {
            GTEST_SKIP() << "needs a private network namespace (root)";
        }
        ASSERT_FALSE(_log.Path().empty());
    }

    HeadsetCommandLog _log;
};

} // namespace TalmexTest
