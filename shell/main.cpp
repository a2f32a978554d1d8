// Quorvane: encrypts and decrypts whole files with a password.
#include "CommandLine.h"
#include "DesktopLauncher.h"
#include "Drives.h"
#include "FileSystem.h"
#include "Forms.h"
#include "ImageList.h"
#include "InstalledData.h"
#include "ProcessGuard.h"
#include "QtAnswers.h"
#include "RegistryFile.h"
#include "SessionEnvironment.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <string>

namespace {

// A user who has no settings file at all gets the first settings before the window reads them,
// as quorvane-register writes them. A file that is there, even a damaged one, is left as it is.
// A program run from its build folder has no installed data folder and writes nothing.
void GiveFirstSettings(const char* argv0) {
    const std::string data = qv::InstalledDataFolder(argv0);
    if (!qv::IsDirectory(data))
        return;
    std::string error;
    if (qv::WriteFirstSettings(qv::RegistryFile::DefaultPath(), data, &error) ==
        qv::FirstWriteResult::Failed)
        std::fprintf(stderr, "quorvane: the first settings were not written: %s\n", error.c_str());
}

} // namespace

int main(int argc, char** argv) {
    // Passwords are held in this process's memory; keep it out of core files.
    if (!qv::DisableCoreDumps())
        std::fprintf(stderr, "quorvane: core dumps could not be switched off\n");
    // A file-size limit fails the file in hand like a full disk; it does not kill the program.
    qv::SurviveFileSizeLimit();

    // Password texts vanish from the system's process list before anything else happens; the
    // program's arguments are those Qt leaves after taking its own options.
    qv::CommandArguments arguments = qv::TakeArguments(argc, argv);
    qv::ProvideRuntimeFolder();
    GiveFirstSettings(argv[0]);
    QApplication app(argc, argv);
    arguments.KeepThoseIn(argc, argv);
    QApplication::setApplicationName("Quorvane");
    QApplication::setDesktopFileName("quorvane");
    qv::PrepareFileTypeIcons();

    // The standard buttons of message boxes in the user's language.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale::system(), "qtbase", "_",
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    qv::QtAnswers answers;
    qv::DesktopLauncher launcher;
    const qv::DriveCheck drives;
    qv::Forms forms(answers, drives);
    QApplication::setWindowIcon(forms.MainWin->windowIcon());
    answers.SetParentWindow(forms.MainWin.get());
    forms.MainWin->SetLauncher(&launcher);
    forms.MainWin->SetArguments(std::move(arguments));
    forms.MainWin->show();
    return QApplication::exec();
}
