// Pictures of the main window in states a person cannot reach from the outside on demand: the
// file lists in the details and the large-icon style, and the progress bars raised while a file
// is being encrypted. Run in a folder of sample files, with QUORVANE_REGISTRY naming a registry
// file of its own, under a display (Xvfb):
//   window_pictures OUTPUT-FOLDER
// It writes details.png, large-icons.png, progress.png (the bars as a run raises them),
// progress-resized.png (the window resized while the file is being encrypted), and the two
// dialogs of single-file work: delete-dialog.png and delete-dialog-long-path.png (the delete
// confirmation for a file of the folder, and for one deep below it) and master-password.png (the
// master-password dialog, the first box typed in); the password dialogs of a run as they ask for
// a file deep in the folder, encrypt-dialog.png and decrypt-dialog.png; and run.png, the window
// halfway through a real list run over report.pdf (which is encrypted by it); preferences.png,
// tip.png and about.png, the three windows of the File and Help menus.
#include "CryptFile.h"
#include "Drives.h"
#include "FileListView.h"
#include "Forms.h"
#include "ImageList.h"
#include "PrgState.h"
#include "Pwd.h"
#include "PwdTable.h"
#include "TAbout.h"
#include "TDecrypt.h"
#include "TDelDialog.h"
#include "TEncrypt.h"
#include "TMasterPwd_Form.h"
#include "TPreferences.h"
#include "TTIP_Form.h"
#include "UserAnswers.h"
#include "ui_MainWin.h"

#include "FileListModel.h"
#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include <functional>

#include <cstdio>

namespace {

// Messages go to the terminal; a picture run never waits for a person.
class PrintedAnswers : public qv::UserAnswers {
public:
    qv::Button Ask(qv::MessageKind, const std::string& text, unsigned buttons) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return buttons & qv::ButtonCancel ? qv::ButtonCancel : qv::ButtonOk;
    }
};

bool Save(QWidget& window, const QDir& folder, const char* name) {
    QCoreApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("Saved %s\n", qPrintable(path));
    return true;
}

void Select(qv::FileListView* list, const QString& caption) {
    const QModelIndexList found = list->Model()->match(list->Model()->index(0, 0), Qt::DisplayRole,
                                                       caption, 1, Qt::MatchExactly);
    if (!found.isEmpty())
        list->Selection()->select(found.first(),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_pictures OUTPUT-FOLDER\n");
        return 2;
    }
    qv::PrepareFileTypeIcons();
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    PrintedAnswers answers;
    const qv::DriveCheck drives;
    qv::Forms forms(answers, drives);
    qv::TMainWin& win = *forms.MainWin;
    win.Settings().ShowTIP = false;
    win.show();
    if (!QTest::qWaitFor([&] { return win.Startup().Ran(); }, 10000)) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }
    QTest::qWait(500); // the tree reads its folders in the background

    bool ok = Save(win, folder, "details.png");
    win.SetListViewStyle(qv::ViewStyle::LargeIcons);
    ok = Save(win, folder, "large-icons.png") && ok;
    win.SetListViewStyle(qv::ViewStyle::Details);

    // A file of 400 KiB half encrypted, two seconds into it.
    Select(win.SourceList(), "report.pdf");
    win.SourceList()->setFocus();
    win.RaiseLists();
    win.PrgState().BusyFlags = qv::EncryptingFile;
    win.UpdateStatus("Encrypting file report.pdf ...");
    win.PrgState().Progress.BlocksTotal = 51201;
    win.PrgState().Progress.BlocksDone = 25600;
    win.StartProgressTimer();
    while (win.Progress().Ticks() < 40)
        win.Process_TimerTimer();
    ok = Save(win, folder, "progress.png") && ok;
    win.resize(win.width() - 60, win.height() + 40);
    ok = Save(win, folder, "progress-resized.png") && ok;
    win.StopProgressTimer();
    win.PrgState().BusyFlags = 0;
    win.DropLists();

    // The dialogs as they stand when they ask, shown without their modal loops.
    qv::TDelDialog& del = *forms.DelDialog;
    del.SetPath(QDir::current().filePath("letter.txt").toStdString());
    del.show();
    ok = Save(del, folder, "delete-dialog.png") && ok;
    del.hide();
    del.SetPath(QDir::current()
                    .filePath("Letters/2026/December/to the tax office about the "
                              "second instalment.txt")
                    .toStdString());
    del.show();
    ok = Save(del, folder, "delete-dialog-long-path.png") && ok;
    del.hide();
    qv::TMasterPwd_Form& master = *forms.MasterPwd_Form;
    master.Begin(win.PwdTable());
    master.show();
    QTest::keyClicks(master.Ui().MaskEdit1, "opal-kwartz");
    ok = Save(master, folder, "master-password.png") && ok;
    master.hide();

    // The password dialogs during a run over several files, the database in use.
    qv::PasswordDialogSetup setup;
    setup.Directory = QDir::current().filePath("Letters/2026/December").toStdString();
    setup.FileName = "to the tax office.odt";
    setup.MethodName = qv::MethodName(qv::MethodIdea);
    setup.EnterText = qv::EncryptEnterText(qv::MethodIdea);
    setup.ListBoxEnabled = true;
    setup.SaveBoxEnabled = true;
    qv::TEncrypt& encrypt = *forms.Encrypt;
    encrypt.ShowCancelAll(true);
    encrypt.Begin(setup);
    encrypt.show();
    QTest::keyClicks(encrypt.Ui().MaskEdit1, "secret-12");
    ok = Save(encrypt, folder, "encrypt-dialog.png") && ok;
    encrypt.hide();
    setup.FileName += ".cry";
    setup.MethodName = "3xDES";
    setup.EnterText = qv::DecryptEnterText("3xDES");
    qv::TDecrypt& decrypt = *forms.Decrypt;
    decrypt.ShowCancelAll(true);
    decrypt.Begin(setup);
    decrypt.show();
    ok = Save(decrypt, folder, "decrypt-dialog.png") && ok;
    decrypt.hide();

    // The preferences (passwords stored, the master password expiring), the tip of the day and
    // the about box, each pictured from inside its modal loop and then closed.
    auto picture = [&](QDialog& dialog, const char* name, const std::function<void()>& open) {
        QTimer::singleShot(300, &dialog, [&, name] {
            ok = Save(dialog, folder, name) && ok;
            dialog.reject();
        });
        open();
    };
    win.PwdTable().MasterPass.Store = true;
    win.PwdTable().MasterPass.Expires = true;
    win.PwdTable().MasterPass.ExpireMinutes = 10;
    picture(*forms.Preferences, "preferences.png", [&] { win.ShowPreferences(); });
    picture(*forms.TIP_Form, "tip.png", [&] { win.Tips1Click(); });
    picture(*forms.About, "about.png", [&] { win.About1Click(); });

    // A real list run: report.pdf encrypted with a password held for the program, the picture
    // taken halfway through the file.
    const std::string password = "secret-12";
    qv::TQV_Pwd& pwd = win.Pwd();
    pwd.SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()), password.size());
    pwd.HasPassword = true;
    pwd.OnePassword = true;
    pwd.PasswordExpired = false;
    Select(win.SourceList(), "report.pdf");
    win.SourceList()->setFocus();
    int chunks = 0;
    bool taken = false;
    pwd.ChunkDone = [&] {
        QCoreApplication::processEvents();
        if (++chunks == 20) {
            while (win.Progress().Ticks() < 40)
                win.Process_TimerTimer();
            taken = Save(win, folder, "run.png");
        }
    };
    win.EncrFileList();
    ok = taken && ok;
    return ok ? 0 : 1;
}
