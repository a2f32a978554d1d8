// How long the current password is held: its expiry by time and by the tool-bar button, and the
// rule by which the batch logic forgets expired passwords between runs.
#pragma once

#include "Pwd.h"

namespace qv {

class TQV_MasterPass;

// What the owner of the current password's timer and expire button does when the password
// changes state. The desktop program's main window implements it with its 1000 ms PwdTimer and
// its PwdExpire_Button.
class PwdExpiryEvents {
public:
    virtual ~PwdExpiryEvents() = default;
    // Start the one-second timer that calls TQV_PwdExpiry::Tick (restarting it when it runs).
    virtual void StartPwdTimer() = 0;
    virtual void StopPwdTimer() = 0;
    virtual void EnablePwdExpireButton(bool enabled) = 0;
};

// The expiry of the password held in a TQV_Pwd: ExpireMinutes is its lifetime ("Expire"; 0
// means no time limit), ExpiryTicks the seconds counted since it was typed, and it expires only
// while OnePassword keeps it beyond its run.
class TQV_PwdExpiry {
public:
    explicit TQV_PwdExpiry(TQV_Pwd& pwd) : pwd_(pwd) {}

    PwdExpiryEvents* Events = nullptr; // may stay null

    // A password dialog closed with OK. With OnePassword on the password is fresh and the expire
    // button is enabled; with a lifetime above 0 minutes the count starts from 0 and the timer
    // runs. With OnePassword off the run's end forgets the password anyway, so nothing starts.
    void Accept();
    // One tick of the one-second timer: the password expires on the first tick whose count
    // exceeds 60 x ExpireMinutes, one tick after a master password of the same lifetime.
    void Tick();
    // Expires the password now (timer, button, change of method): the timer stops and the
    // button is disabled. HasPassword stays; DropExpiredPasswords forgets the password at the
    // next boundary of a run.
    void SetExpired();
    // After a run: the expire button of the current password, and the master password's, are
    // disabled when that password is no longer held.
    void DisableButtonsOfDropped(const TQV_MasterPass& master) const;

private:
    TQV_Pwd& pwd_;
};

// The retention rule at the start and at the end of every run: the current password stays held
// only while OnePassword is on and it has not expired, the master password only while it has not
// expired.
void DropExpiredPasswords(TQV_Pwd& current, TQV_MasterPass& master);

} // namespace qv
