#include "im/SDKInstance.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The replaying library reports each login's steps, then its result three more times, and each
// logout twice: the callables hear the steps and one result, and nothing after.
TEST(ImWrapperReplay, ResultsAfterTheLastOneReachNoCallable)
{
    auto& sdk = nim::SDKInstance::Get();
    ASSERT_TRUE(sdk.Init(EXAMORA_REPLAY_DIR "/", "Examora", "{}", "libnim_replay.so"));

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        std::vector<nim::LoginRes> steps;
        ASSERT_TRUE(sdk.Login("key", "account", "token",
                              [&](const nim::LoginRes& result) { steps.push_back(result); }));
        ASSERT_EQ(steps.size(), 3U);
        EXPECT_EQ(steps[0].login_step_, 1);
        EXPECT_EQ(steps[2].login_step_, 3);
        EXPECT_EQ(steps[2].res_code_, 200);

        std::vector<int> logouts;
        sdk.Logout(3, [&](int code) { logouts.push_back(code); });
        EXPECT_EQ(logouts, std::vector<int>{200});
    }
}

} // namespace
