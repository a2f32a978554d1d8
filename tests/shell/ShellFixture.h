// A fixture for the main window's tests: a registry of its own with the first values, a work
// folder with a few files as the current directory, scripted answers and scripted drives.
#pragma once

#include "Drives.h"
#include "Forms.h"
#include "PanelBar.h"
#include "ScriptedAnswers.h"
#include "TempDir.h"

#include <QWidget>

namespace qv {
class FileListView;
}

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace qvtest {

class ScriptedDrives : public qv::DriveCheck {
public:
    std::set<std::string> notReady;
    mutable std::vector<std::string> asked;
    bool IsReady(const std::string& drive) const override {
        asked.push_back(drive);
        return notReady.count(drive) == 0;
    }
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The registry text that an installation writes, with the tip of the day off.
    std::string FirstText() const;
    void WriteRegistry(const std::string& text) const;
    std::string ReadRegistry() const;

    // Creates the program's windows; trace and created record what came into being.
    std::unique_ptr<qv::Forms> Start();
    // Shows the main window and waits until the start-up sequence has run.
    static void ShowAndActivate(qv::TMainWin& window);

    TempDir dir;
    std::string work;     // the current directory during the test
    std::string registry; // the registry file the program reads
    ScriptedAnswers answers;
    ScriptedDrives drives;
    std::vector<std::string> trace;
    std::vector<QWidget*> created;

private:
    std::string savedDirectory_;
    std::string savedRegistry_;
};

// The program's windows started and the main window shown, for tests of what it does.
class WindowTest : public ShellTest {
protected:
    void SetUp() override;
    void TearDown() override; // the windows go first, writing the settings

    // Holds password as if typed in a dialog, for this run only.
    void HoldPassword(const std::string& password);
    // Selects the entry with this caption alone and gives its list the keyboard focus, which
    // enables the list's commands.
    void SelectOnly(qv::FileListView* list, const std::string& caption);

    std::unique_ptr<qv::Forms> forms;
    qv::TMainWin* win = nullptr;
};

// Every text a status bar's panel is given, in order.
class PanelRecorder {
public:
    PanelRecorder(qv::PanelBar* bar, int panel) {
        QObject::connect(bar, &qv::PanelBar::PanelTextChanged, &context_,
                         [this, panel](int index, const QString& text) {
                             if (index == panel)
                                 texts.push_back(text.toStdString());
                         });
    }
    bool Saw(const std::string& text) const {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    std::vector<std::string> texts;

private:
    QObject context_;
};

// The captions of a list's entries, in list order.
std::vector<std::string> Captions(const qv::FileListView* list);

// Plays the user in a modal window: act runs once, as soon as window is shown. Create it before
// the command that opens the window; a window that never comes is reported when it goes.
class WhenShown : public QObject {
public:
    WhenShown(QWidget* window, std::function<void()> act);
    ~WhenShown() override;

private:
    QWidget* window_;
    std::function<void()> act_;
    bool done_ = false;
};

template <typename T>
T* Find(const QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

} // namespace qvtest
