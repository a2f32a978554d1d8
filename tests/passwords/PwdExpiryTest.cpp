// The current password's expiry and the rule that forgets expired passwords between runs.
#include "PwdExpiry.h"
#include "MasterPass.h"
#include "PasswordsSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qv;
using namespace qvtest;

namespace {

using Log = std::vector<std::string>;

} // namespace

TEST(PwdExpiry, ATypedPasswordStartsItsExpiryOnlyWhenItOutlivesTheRun) {
    struct Case {
        bool onePassword;
        std::int32_t minutes;
        Log log;
    };
    const Case cases[] = {
        {false, 10, {}},                      // the run's end forgets it; the button stays off
        {true, 0, {"button on"}},             // no time limit: no timer runs
        {true, 1, {"timer on", "button on"}}, // a new password counts from 0 again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.onePassword << " " << c.minutes);
        TQV_Pwd pwd;
        TQV_PwdExpiry expiry(pwd);
        RecordedPwdEvents events;
        expiry.Events = &events;
        pwd.OnePassword = c.onePassword;
        pwd.ExpireMinutes = c.minutes;
        pwd.ExpiryTicks = 99;
        pwd.PasswordExpired = true;
        expiry.Accept();
        EXPECT_EQ(events.log, c.log);
        EXPECT_EQ(pwd.PasswordExpired, !c.onePassword);
        EXPECT_EQ(pwd.ExpiryTicks, c.onePassword && c.minutes > 0 ? 0 : 99);
    }
}

TEST(PwdExpiry, ExpiresOnTheFirstTickBeyondTheLifetimeInSeconds) {
    for (const std::int32_t minutes : {1, 3}) {
        SCOPED_TRACE(minutes);
        TQV_Pwd pwd;
        TQV_PwdExpiry expiry(pwd);
        RecordedPwdEvents events;
        expiry.Events = &events;
        pwd.OnePassword = true;
        pwd.HasPassword = true;
        pwd.ExpireMinutes = minutes;
        expiry.Accept();
        events.log.clear();
        for (int tick = 1; tick <= 60 * minutes; ++tick)
            expiry.Tick();
        EXPECT_FALSE(pwd.PasswordExpired) << "still held at the tick that reaches the lifetime";
        expiry.Tick();
        EXPECT_TRUE(pwd.PasswordExpired);
        EXPECT_TRUE(pwd.HasPassword) << "forgotten at the next boundary of a run";
        EXPECT_EQ(events.log, (Log{"timer off", "button off"}));
    }
}

TEST(PwdExpiry, DropExpiredPasswordsKeepsOnlyWhatMayOutliveTheRun) {
    struct Case {
        bool has, onePassword, expired;
        bool masterHas, masterExpired;
        bool keeps, masterKeeps;
    };
    const Case cases[] = {
        {true, true, false, true, false, true, true},   // both fresh
        {true, false, false, true, true, false, false}, // one run only; master expired
        {true, true, true, false, false, false, false}, // expired by time, button or method
        {false, true, false, true, false, false, true}, // nothing held stays so
    };
    for (const Case& c : cases) {
        TQV_Pwd current;
        TQV_MasterPass master;
        current.HasPassword = c.has;
        current.OnePassword = c.onePassword;
        current.PasswordExpired = c.expired;
        master.HasPassword = c.masterHas;
        master.PasswordExpired = c.masterExpired;
        DropExpiredPasswords(current, master);
        EXPECT_EQ(current.HasPassword, c.keeps);
        EXPECT_EQ(master.HasPassword, c.masterKeeps);
    }
}
