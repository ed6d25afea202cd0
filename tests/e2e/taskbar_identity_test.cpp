// The application's own taskbar identity (CFG_APP_USER_MODEL_ID) as the child
// receives it. Wine keeps no identity for a process, so the launcher's own call
// is tested with a stand-in (tests/unit/app_identity_test.cpp).
#include "launcher_fixture.h"

using namespace e2e;

namespace {

TEST_F(LauncherTest, TheChildStartsWithTheApplicationsIdentityOnlyWhenOneIsConfigured) {
    const wchar_t* const id = L"ExampleLtd.QdTest.Tool";
    for (const wchar_t* record : {id, L"", static_cast<const wchar_t*>(nullptr)}) { // an empty one counts as none
        SetUp();
        installRuntime();
        if (record != nullptr) records[38] = record;
        launch(L"--qd-debug");

        const bool given = record == id;
        ChildRecord received = child();
        ASSERT_TRUE(received.present);
        EXPECT_EQ(given, (std::stoul(received.value(L"startup-flags"), nullptr, 16) & STARTF_TITLEISAPPID) != 0);
        EXPECT_EQ(given, received.value(L"startup-title") == id) << narrow(received.value(L"startup-title"));
        EXPECT_EQ(given, logBytes().find("\r\nAppUserModelID:\t" + narrow(id) + "\r\n") != std::string::npos);
    }
}

} // namespace
