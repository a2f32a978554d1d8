// main() of the widget tests: an application on the offscreen platform, and a registry path in
// a folder of its own, so that no test can reach the user's settings. Without a session's
// runtime folder, Qt's own goes into that folder too (Qt creates it; it would otherwise warn and
// use one in /tmp).
#include "TempDir.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qvtest::TempDir settings;
    setenv("QUORVANE_REGISTRY", (settings / "registry.reg").c_str(), 1);
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        setenv("XDG_RUNTIME_DIR", (settings / "runtime").c_str(), 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
