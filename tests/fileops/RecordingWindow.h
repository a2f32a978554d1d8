// A recorder standing in for the window's status line, progress display and lists, and a
// scripted delete confirmation, for the tests of the operations on files.
#pragma once

#include "FileRuns.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace qvtest {

using Log = std::vector<std::string>;
using Names = std::vector<std::string>;

// What the operations do to the window, in order.
class RecordingWindow : public qv::StatusLine,
                        public qv::ProgressDisplay,
                        public qv::ListSelection {
public:
    Log log;
    std::string shown;
    // The captions each list has selected: plain, crypted.
    std::vector<std::string> selected[2];
    // Runs when the progress timer stops, which is right after the engine returned.
    std::function<void()> afterEngine;

    void UpdateStatus(const std::string& message) override { log.push_back("status " + message); }
    void StartProgressTimer() override { log.push_back("timer on"); }
    void StopProgressTimer() override {
        log.push_back("timer off");
        if (afterEngine)
            afterEngine();
    }
    void ResetProgressBars() override { log.push_back("bars reset"); }
    void EnableStopButton(bool enabled) override {
        log.push_back(enabled ? "stop on" : "stop off");
    }
    void RaiseLists() override { log.push_back("bars shown"); }
    void DropLists() override { log.push_back("bars hidden"); }
    std::string ShownDirectory() const override { return shown; }
    void UpdateFLists(const std::string& name, const std::string& newName, bool keepOther,
                      qv::Direction direction) override {
        log.push_back("update " + name + (newName.empty() ? "" : " as " + newName) +
                      (keepOther ? ", keeping the source's entry" : "") +
                      (direction == qv::Direction::Encrypt ? " (encrypted)" : " (decrypted)"));
    }
    void RemoveListItem(qv::ListSide list, const std::string& caption) override {
        log.push_back((list == qv::ListSide::Plain ? "remove plain " : "remove crypted ") +
                      caption);
    }

    std::vector<std::string> SelectedCaptions(qv::ListSide list) const override {
        return selected[Index(list)];
    }
    void SelectAllItems(qv::ListSide list) override {
        log.push_back(list == qv::ListSide::Plain ? "select all plain" : "select all crypted");
    }
    void DeselectAllItems(qv::ListSide list) override { selected[Index(list)].clear(); }

    static int Index(qv::ListSide list) { return list == qv::ListSide::Plain ? 0 : 1; }

    Log ListChanges() const {
        Log changes;
        for (const std::string& entry : log)
            if (entry.rfind("update ", 0) == 0 || entry.rfind("remove ", 0) == 0)
                changes.push_back(entry);
        return changes;
    }
    bool Saw(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
};

class ScriptedDeleteDialog : public qv::DeleteConfirmation {
public:
    std::deque<qv::DeleteAnswer> next;
    Log asked;
    std::function<void()> onAsk;

    qv::DeleteAnswer Ask(const std::string& path) override {
        asked.push_back(path);
        if (onAsk)
            onAsk();
        if (next.empty())
            return qv::DeleteAnswer::Cancel;
        const qv::DeleteAnswer answer = next.front();
        next.pop_front();
        return answer;
    }
};

} // namespace qvtest
