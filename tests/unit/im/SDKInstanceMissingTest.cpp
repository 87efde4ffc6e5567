#include "TestSupport.h"
#include "im/SDKInstance.h"

#include <gtest/gtest.h>

namespace {

// Without the library every call names what it misses and does nothing: no callback ever runs.
TEST(ImLibraryMissing, EveryCallIsANamedNoOp)
{
    TestSupport::TempFolder empty;
    auto& sdk = nim::SDKInstance::Get();
    EXPECT_FALSE(sdk.Init(empty.Path().toStdString(), "Examora", "{}"));

    bool called = false;
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(sdk.Login("key", "account", "token", [&](const nim::LoginRes&) { called = true; }));
    sdk.Logout(3, [&](int) { called = true; });
    sdk.RegKickoutCb([&](const nim::KickoutRes&) { called = true; });
    EXPECT_TRUE(sdk.GetUuid().empty());
    const std::string printed = ::testing::internal::GetCapturedStdout();
    for (const char* function :
         {"nim_client_login", "nim_client_logout", "nim_client_reg_kickout_cb", "nim_tool_get_uuid"}) {
        EXPECT_NE(printed.find("function [ " + std::string(function) + " ] not found \n"), std::string::npos)
            << function;
    }
    EXPECT_FALSE(called);
}

} // namespace
