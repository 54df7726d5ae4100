#pragma once

#include "LocalSmbServer.h"

#include <gtest/gtest.h>

// A fixture whose suite shares one smbd (it takes a second or two to start),
// with the share's user "root" and kPassword. Its tests are skipped, with the
// reason, when the server could not be started.
class SmbSuite : public ::testing::Test {
public:
    static constexpr const char* kUser = "root";
    static constexpr const char* kPassword = "sharepw";

protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static LocalSmbServer& Server() { return *s_server; }

private:
    static LocalSmbServer* s_server;
};
