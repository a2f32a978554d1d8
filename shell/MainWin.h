// The main window: directory tree and drive box on the left, the plain and the crypted file list
// on the right, tool bar and menus above, the status bands below. It creates the process-wide
// objects and loads the settings when it is created, runs the start-up steps once when it is
// first shown, and writes the settings back and frees the objects when it is destroyed.
#pragma once

#include "CommandLine.h"
#include "FileListBox.h"
#include "FileListView.h"
#include "FileOps.h"
#include "FileRuns.h"
#include "ImageList.h"
#include "ListEntries.h"
#include "MainLayout.h"
#include "MasterPass.h"
#include "OpenFiles.h"
#include "ProgramSettings.h"
#include "Progress.h"
#include "PwdExpiry.h"
#include "RegistrySettings.h"
#include "StartupSequence.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QTimer;
class QToolButton;

namespace Ui {
class TMainWin;
}

namespace qv {

class DriveCheck;
class Forms;
class HelpViewer;
class MasterPasswordPrompt;
class PasswordDialog;
class TQV_PasswordPrompts;
class TQV_DirCryptor;
class TQV_FileLists;
class TQV_PrgState;
class TQV_Pwd;
class TQV_PwdTable;
class UserAnswers;

// The window is the front end of the file operations: their status line, progress display and
// lists, and the owner of the timers and buttons of the two passwords' expiry.
class TMainWin : public QMainWindow,
                 public InterfaceSettings,
                 public MasterPassEvents,
                 public PwdExpiryEvents,
                 public StatusLine,
                 public ProgressDisplay,
                 public ListSelection,
                 public DirectoryWalk,
                 public WatchTimer {
    Q_OBJECT

public:
    // Told "create <class>" and "free <class>" as the process-wide objects come and go.
    using LifecycleTrace = std::function<void(const std::string&)>;

    TMainWin(UserAnswers& answers, const DriveCheck& drives, LifecycleTrace trace = {});
    ~TMainWin() override;

    Ui::TMainWin& Ui() const { return *ui_; }
    UserAnswers& Answers() const { return answers_; }
    // The other windows, once they exist.
    void SetForms(Forms* forms);
    Forms* AllForms() const { return forms_; }
    // The dialogs the operations ask through.
    struct Dialogs {
        DeleteConfirmation* Delete = nullptr;
        MasterPasswordPrompt* MasterPassword = nullptr;
        PasswordDialog* Encrypt = nullptr;
        PasswordDialog* Decrypt = nullptr;
    };
    void SetDialogs(const Dialogs& dialogs);
    // How files are handed to their applications; without one, none can be.
    void SetLauncher(AppLauncher* launcher);
    // The command line, processed once by the start-up sequence.
    void SetArguments(CommandArguments arguments) { arguments_ = std::move(arguments); }

    // The process-wide objects, from FormCreate until FormDestroy.
    TQV_DirCryptor& DirCryptor() const { return *dirCryptor_; }
    TQV_Pwd& Pwd() const { return *pwd_; }
    TQV_PwdTable& PwdTable() const { return *pwdTable_; }
    TQV_PrgState& PrgState() const { return *prgState_; }
    TQV_Settings& Settings() { return settings_; }
    const TQV_Settings& Settings() const { return settings_; }

    // Steps of the start-up sequence are added by the parts that own them.
    TQV_StartupSequence& Startup() { return startup_; }

    // Hidden listings of the directory the tree shows: its files and its subdirectories.
    TQV_FileListBox FileShow_FileListBox{TQV_FileListBox::Kind::Files};
    TQV_FileListBox DirShow_FileListBox{TQV_FileListBox::Kind::Directories};

    QTimer* Process_Timer;
    QTimer* PwdTimer;
    QTimer* MasterPwd_Timer;
    QTimer* NotifyOpenFiles_Timer;
    QMenu* PopupMenu1; // directory tree
    QMenu* PopupMenu2; // plain list
    QMenu* PopupMenu3; // crypted list
    // The icons of the file lists; both show the process's icon list once set up.
    TQV_ImageList Small_ImageList{16};
    TQV_ImageList Large_ImageList{32};

    FileListView* SourceList() const;
    FileListView* CryptedList() const;
    // The contents of the two lists, from FormCreate until FormDestroy.
    TQV_FileLists& FileLists() const { return *fileLists_; }

    void FormCreate();
    // The start-up sequence; runs once, on the first showing of the window.
    void FormActivate();
    void FormDestroy();

    void SetButtonsInStatus();
    void SetStatusBars();
    void User_DirectoryListBoxEnter();
    void User_DirectoryListBoxChange();
    void DriveComboBox1Click(int index);
    bool FormCloseQuery();
    void Exit1Click();

    void Source_ListViewEnter();
    void Crypted_ListViewEnter();

    // One file of the work list's directory, by its list caption (see TQV_FileOps).
    void EncrFile(const std::string& name);
    void DecrFile(const std::string& name);
    // The Delete command for the selected entries of the plain or the crypted list.
    void FileDel(FileListView* list);
    // The runs over the lists' selections and over the directory tree, and the stop button
    // (the work is done by FileRuns()).
    void EncrFileList();
    void DecrFileList();
    void DoForAll(Direction direction);
    void StopProcess_ButtonClick();
    TQV_FileRuns& FileRuns() const { return *fileRuns_; }
    // Files handed to their applications (the work is done by OpenFiles()).
    TQV_OpenFiles& OpenFiles() const { return *openFiles_; }
    TQV_PasswordPrompts& PasswordPrompts() const { return *prompts_; }

    // The default method.
    void SetDES();
    void SetIDEA();
    void SetTripleDES();
    void NotifyOfMethodChange();
    // The current password: expired now, the one-second tick of its timer, and the rule that
    // forgets expired passwords at the start and the end of every run.
    void SetPwdExpired();
    void PwdTimerTimer();
    void DropExpiredPasswords();
    TQV_PwdExpiry& PwdExpiry() const { return *pwdExpiry_; }
    // The master password.
    void SetMasterPwdExpired();
    void MasterPwd_TimerTimer();

    // The one way to show a message in the status line: a short settling sequence of the
    // message with blanks before it, then the message.
    void UpdateStatus(const std::string& message) override;

    // The progress bars under the lists, shown for a run and hidden after it.
    void RaiseLists() override;
    void DropLists() override;
    // Around each engine call: the 50 ms timer that fills the bars and the statistics.
    void StartProgressTimer() override;
    void StopProgressTimer() override;
    void ResetProgressBars() override;
    void EnableStopButton(bool enabled) override;
    void Process_TimerTimer();
    const TQV_ProgressMeter& Progress() const { return progress_; }

    // The file lists (the work is done by FileLists()).
    void ReadFLists();
    void UpdateFLists(const std::string& name, const std::string& newName, bool keepOther,
                      Direction direction) override;
    void RemoveListItem(FileListView* list, const std::string& caption);
    void RemoveListItem(ListSide list, const std::string& caption) override;
    // The directory the lists were read from, which is the one the tree shows.
    std::string ShownDirectory() const override;
    // ListSelection: the lists' selections as the runs take them.
    std::vector<std::string> SelectedCaptions(ListSide list) const override;
    void SelectAllItems(ListSide list) override;
    void DeselectAllItems(ListSide list) override;

    // DirectoryWalk: the tree as a tree run moves it.
    std::string TreeDirectory() const override;
    bool EnterDirectory(const std::string& directory, std::string& reason) override;
    void EnableTree(bool enabled) override;
    void LetMessagesThrough() override;
    void ReReadLists() override;

    // WatchTimer: NotifyOpenFiles_Timer.
    void StartWatching() override;
    void StopWatching() override;

    // The view style of both lists: the handler of the four menu items, and the style itself.
    void ChangeView(QAction* sender);
    void SetListViewStyle(ViewStyle style);
    // Show or hide the status area and the tool bar, as a click on their menu items does.
    void StatusBars_MenuItemClick();
    void ToolBar_MenuItemClick();

    // The layout rules: widths alone after the splitter moved, everything after a change of the
    // window's size, of the status bands, or of what is shown.
    void UpdateWidths();
    void Reresize();
    void RenderGrid2Images();

    void LoadSettings();
    void SaveSettings();

    // Opens the help file at a topic in the help window. False when it cannot be read.
    bool ShowHelpTopic(int topic);
    // The help file whole, in its application (the Help menu and tool button).
    void Contents1Click();
    // The preferences, the tip of the day and the about box.
    void ShowPreferences();
    void Tips1Click();
    void About1Click();
    // The about box's link, in the browser the registry names.
    void OpenWebAddress(const std::string& address);

    // InterfaceSettings: the window's size, the lists' columns and the status bands.
    std::int32_t WindowWidth() const override;
    std::int32_t WindowHeight() const override;
    void SetWindowWidth(std::int32_t width) override;
    void SetWindowHeight(std::int32_t height) override;
    std::int32_t ColumnWidth(List list, int column) const override;
    void SetColumnWidth(List list, int column, std::int32_t width) override;
    bool BandBreak(int band) const override;
    void SetBandBreak(int band, bool startsRow) override;
    std::int32_t BandWidth(int band) const override;
    void SetBandWidth(int band, std::int32_t width) override;
    std::string BandControl(int band) const override;
    void PutControlInBand(int band, const std::string& name) override;

    // MasterPassEvents: the master password's timer and button, and the database switched off.
    void StartMasterPwdTimer() override;
    void StopMasterPwdTimer() override;
    void EnableMasterPwdExpireButton(bool enabled) override;
    void DatabaseSwitchedOff() override;

    // PwdExpiryEvents: the current password's timer and button.
    void StartPwdTimer() override;
    void StopPwdTimer() override;
    void EnablePwdExpireButton(bool enabled) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateTimers();
    void CreatePopupMenus();
    void CreateBands();
    void PlaceControls();
    void Wire();
    void WireViews();
    void WireFileCommands();
    void WireRuns();
    void WireOpenFiles();
    FileListView* ListOf(ListSide list) const;
    bool SingleFileWork() const;
    MainLayoutControls ReadLayout() const;
    void ApplyLayout(const MainLayoutControls& controls);
    // The visibility of the status area or the tool bar follows its menu item, and the rest
    // of the window takes or gives the room at once.
    void ShowAsChecked(QWidget* area, const QAction* item);
    void StartInCurrentDirectory();
    void MoveToDrive(const QString& drive);
    void SelectMethod(std::int32_t method);
    void ShowMethod(std::int32_t method);
    void HighlightList(bool plainList);
    void ListEntered(bool plainList);
    QSize FitOnScreen(QSize size) const;
    QWidget* BandControlNamed(const std::string& name) const;
    QList<QWidget*> BandControls() const;
    SettingsHolders Holders();

    std::unique_ptr<Ui::TMainWin> ui_;
    UserAnswers& answers_;
    const DriveCheck& drives_;
    LifecycleTrace trace_;
    Forms* forms_ = nullptr;
    HelpViewer* help_ = nullptr;

    std::unique_ptr<TQV_DirCryptor> dirCryptor_;
    std::unique_ptr<TQV_Pwd> pwd_;
    std::unique_ptr<TQV_PwdTable> pwdTable_;
    std::unique_ptr<TQV_PrgState> prgState_;
    std::unique_ptr<TQV_PwdExpiry> pwdExpiry_;
    TQV_Settings settings_;
    TQV_StartupSequence startup_;
    TQV_ProgressMeter progress_;
    // Declared after the objects they work with, so that they go first.
    std::unique_ptr<TQV_FileLists> fileLists_;
    std::unique_ptr<TQV_FileOps> fileOps_;
    std::unique_ptr<TQV_PasswordPrompts> prompts_;
    std::unique_ptr<TQV_FileRuns> fileRuns_;
    std::unique_ptr<TQV_OpenFiles> openFiles_;
    std::unique_ptr<TQV_CommandLine> commandLine_;
    CommandArguments arguments_;
    DeleteConfirmation* deleteDialog_ = nullptr;
    bool shown_ = false;
    bool destroyed_ = false;
    QElapsedTimer statusPainted_; // the status line's last drawing
    QElapsedTimer messagesLet_;   // the last time long work let the window's events through
};

} // namespace qv
