#include "SmbSuite.h"

LocalSmbServer* SmbSuite::s_server = nullptr;

void SmbSuite::SetUpTestSuite() {
    s_server = new LocalSmbServer(kPassword);
}

void SmbSuite::TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
}

void SmbSuite::SetUp() {
    if (!s_server->Problem().empty())
        GTEST_SKIP() << s_server->Problem();
}
