// The steps the main window runs once, when it is first shown, in a fixed order. Each part of
// the program adds the step it owns; the order comes from the step, not from when it was added.
#pragma once

#include <functional>
#include <map>

namespace qv {

enum class StartupStep {
    MethodButtons,  // show the default method
    StatusBars,     // divide the status bars' panels
    Layout,         // lay the window out
    DirectoryTree,  // focus the directory tree, which reads the file lists the first time
    CommandLine,    // process the command line; may end the program
    MasterPassword, // ask for the master password when passwords are stored
    TipOfTheDay,    // show the tip of the day when wanted
};

class TQV_StartupSequence {
public:
    // A step answers false when the program is ending and the later steps must not run.
    using Step = std::function<bool()>;

    void Add(StartupStep when, Step step) { steps_[when] = std::move(step); }
    bool Has(StartupStep when) const { return steps_.count(when) != 0; }

    // Runs the steps in their order, the first time only. Returns whether it ran them now.
    bool Run() {
        if (ran_)
            return false;
        ran_ = true;
        for (auto& [when, step] : steps_)
            if (!step())
                break;
        return true;
    }
    bool Ran() const { return ran_; }

private:
    std::map<StartupStep, Step> steps_;
    bool ran_ = false;
};

} // namespace qv
