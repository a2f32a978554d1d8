// Reading passwords from where quorvane-cli is told to take them, in the program's own process.
#include "PasswordInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace qv;
using namespace qv::cli;

// A variable's value is overwritten where it stands once read, since the environment block the
// process started with stays readable for as long as it runs; the variable is gone afterwards.
// putenv puts the test's own buffer into the environment, as the block of a starting process is.
TEST(PasswordInput, AnEnvironmentVariableIsOverwrittenInPlaceOnceRead) {
    struct Case {
        const char* value;
        bool accepted;
    };
    for (const Case c : {Case{"secret-pass", true}, Case{"short", false},
                         Case{"far-too-long-for-any-method-at-all", false}}) {
        SCOPED_TRACE(c.value);
        char entry[64] = "QV_TEST_SECRET=";
        std::strcat(entry, c.value);
        ASSERT_EQ(putenv(entry), 0);

        SecureBytes password;
        std::string error;
        PasswordRules rules;
        EXPECT_EQ(
            ReadPassword({PasswordSource::Environment, "QV_TEST_SECRET"}, rules, password, error),
            c.accepted)
            << error;
        if (c.accepted) {
            EXPECT_EQ(std::string(password.begin(), password.end()), c.value);
        }
        const char* value = entry + std::strlen("QV_TEST_SECRET=");
        EXPECT_TRUE(std::all_of(value, value + std::strlen(c.value), [](char b) { return b == 0; }))
            << "the value's bytes are still in the environment block";
        EXPECT_EQ(std::getenv("QV_TEST_SECRET"), nullptr);
    }
}
