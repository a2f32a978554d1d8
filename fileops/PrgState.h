// The program state: activity flags and the table of crypted files open in their applications.
#pragma once

#include "Pwd.h"
#include "SecureMemory.h"

#include <array>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace qv {

constexpr int MaxOpenFiles = 20;

// One decrypted file handed to its application.
struct OpenFileInfoR {
    bool Used = false;    // the slot holds an open file
    pid_t Process = 0;    // the process started for the file
    bool Running = false; // the process was still running at the last look
    std::string FileName; // full path of the decrypted plain file
    // The password the file was decrypted with, masked, and whether it came from the database
    // of stored passwords: the file is encrypted again with it and, if so, filed again.
    SecureBytes Password;
    std::int32_t PasswordLength = 0;
    bool FromDatabase = false;
    // The user was told that another process still holds the file open.
    bool HeldNoticed = false;
};

struct OpFilesR {
    std::array<OpenFileInfoR, MaxOpenFiles> Slots{};
    std::int32_t Count = 0; // slots in use
};

// Bits of BusyFlags: long work in progress.
enum BusyFlag : std::uint8_t {
    EncryptingFile = 1,
    DecryptingFile = 2,
    ProcessingTree = 4,
    DeletingFiles = 8,
};

class TQV_PrgState {
public:
    TQV_PrgState() = default;
    TQV_PrgState(const TQV_PrgState&) = delete;
    TQV_PrgState& operator=(const TQV_PrgState&) = delete;

    bool AbortRequested = false; // the user asked to stop the running work
    CryptProgress Progress;      // the blocks of the file in hand, for the progress display
    OpFilesR OpFiles;
    std::uint8_t BusyFlags = 0;
    bool ListsUnread = true;   // the file lists have not been read since start-up
    bool SavePassword = false; // store each encryption password in the database
    bool ListsRaised = false;  // the progress bars are shown
    bool TargetExisted = false;
    bool ListDetails = true; // list entries carry icons and details
    // A list or tree run, the command line or a loop that hands files to their applications
    // is going on, also between its files, while it waits in a password dialog or reads the
    // database, when no bit of BusyFlags is set.
    bool RunInProgress = false;

    // Work is going on that a new command must wait for.
    bool Working() const { return BusyFlags != 0 || RunInProgress; }
};

// Marks work in BusyFlags for as long as it lives, whichever way the work ends. Inside work
// that set the same bit already, the bit stays set at its end.
class BusyScope {
public:
    BusyScope(TQV_PrgState& state, BusyFlag bit)
        : state_(state), bit_(bit), outer_((state.BusyFlags & bit) != 0) {
        state_.BusyFlags |= bit_;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope() {
        if (!outer_)
            state_.BusyFlags &= static_cast<std::uint8_t>(~bit_);
    }

private:
    TQV_PrgState& state_;
    BusyFlag bit_;
    bool outer_;
};

// Marks a run as going on for as long as it lives.
class RunScope {
public:
    explicit RunScope(TQV_PrgState& state) : state_(state), outer_(state.RunInProgress) {
        state_.RunInProgress = true;
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
    ~RunScope() { state_.RunInProgress = outer_; }

private:
    TQV_PrgState& state_;
    bool outer_;
};

} // namespace qv
