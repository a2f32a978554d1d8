// Quorvane: encrypts and decrypts whole files with a password.
#include "CommandLine.h"
#include "DesktopLauncher.h"
#include "Drives.h"
#include "Forms.h"
#include "ImageList.h"
#include "ProcessGuard.h"
#include "QtAnswers.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

int main(int argc, char** argv) {
    // Passwords are held in this process's memory; keep it out of core files.
    if (!qv::DisableCoreDumps())
        std::fprintf(stderr, "quorvane: core dumps could not be switched off\n");
    // A file-size limit fails the file in hand like a full disk; it does not kill the program.
    qv::SurviveFileSizeLimit();

    // Password texts vanish from the system's process list before anything else happens; the
    // program's arguments are those Qt leaves after taking its own options.
    qv::CommandArguments arguments = qv::TakeArguments(argc, argv);
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
