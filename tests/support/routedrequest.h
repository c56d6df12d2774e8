/* Test helper for the tests of requests through the request router (the
 * router's own and those of the certificate demands on its servers): a
 * fixture with a complete agent key and the agent's parameters aimed at the
 * loopback servers, reset again afterwards. Tests only. */
#ifndef VQ_TESTS_ROUTEDREQUEST_H
#define VQ_TESTS_ROUTEDREQUEST_H

#include "support/agentkey.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <string>

namespace vqt {

/* What a test puts in an answer slot before the call: still there when the
 * call delivered nothing. Never freed. */
extern char *const kPoison;

/* Replaces one of the agent's parameter texts (freed by
 * ResetAgentParameters) with a copy of `text`; NULL leaves none. */
void SetParamText(char **slot, const char *text);

/* Before each test: the complete agent key with the fixture's temporary
 * folder, the parameters reset, both servers on `protocol` ("http" or
 * "https") at the loopback servers' port for it, no distribution server,
 * no proxy, product code VQEE. Afterwards the parameters are reset and the
 * key is deleted. */
class RoutedRequestTest : public ::testing::Test {
protected:
    RoutedRequestTest(const char *protocol, const char *tempTag);
    void SetUp() override;
    void TearDown() override;

    /* Requests go through the authenticating loopback proxy, with its
     * credentials, bypassed for local names. */
    void useProxy();

    ScratchDir temp_;
    AgentKeyScope scope_;

private:
    const char *protocol_;
};

} // namespace vqt

#endif
