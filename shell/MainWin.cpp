#include "MainWin.h"

#include "AboutInfo.h"
#include "BandBar.h"
#include "DirCryptor.h"
#include "DirectoryTree.h"
#include "DriveBox.h"
#include "Drives.h"
#include "FileListView.h"
#include "FileLists.h"
#include "FileSystem.h"
#include "Forms.h"
#include "HelpViewer.h"
#include "PanelBar.h"
#include "PasswordPrompts.h"
#include "Paths.h"
#include "Preferences.h"
#include "PrgState.h"
#include "Pwd.h"
#include "PwdExpiry.h"
#include "PwdTable.h"
#include "RegistryFile.h"
#include "TAbout.h"
#include "TComboChange.h"
#include "TPreferences.h"
#include "TTIP_Form.h"
#include "UserAnswers.h"
#include "ui_MainWin.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

// The pictures live in a static library, so they are registered by hand.
static void InitResources() {
    Q_INIT_RESOURCE(quorvane);
}

namespace qv {

namespace {

const char* const MethodChangedNotice =
    "Since your default encryption method has changed, you will be prompted to assign a new "
    "password.";

const char* const OpenFilesQuestion =
    "一些 crypted 檔案已經是解碼了和打開再輸入它們的聯合之應用程式. 如果你按下 ' OK ' "
    "然後這個程序將離開而不會加密這個已經被打開的檔案. 按下 ' 取消 ' "
    "按鈕來確認那些全部的檔案將它關閉. 中斷結束這個個別的應用程式.";

constexpr int MainHelpTopic = 20;
constexpr int DirPanelWidth = 190;
// The form's spacing: the margin inside the panels and between a picture and its label.
constexpr int FormMargin = 4;
constexpr int ListImageSize = 24;
constexpr int ProgressBarHeight = 10;
// RaiseLists makes the lists this much shorter to make room for their bars.
constexpr int RaisedBy = 16;
// How often the status line's settling sequence is drawn at most (25 times a second, as film
// is), and how often long work lets the window's events through at most: as often as the
// progress timer ticks, so that no tick is lost.
constexpr int FrameMs = 40;
constexpr int EventsMs = 50;

const QColor Blue(0, 0, 255);
const QColor Navy(0, 0, 128);

void SetTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

QTimer* MakeTimer(QObject* parent, const char* name, int interval) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(name);
    timer->setInterval(interval);
    return timer;
}

QMenu* MakeMenu(QWidget* parent, const char* name, std::initializer_list<QAction*> actions) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(name);
    for (QAction* action : actions)
        menu->addAction(action);
    return menu;
}

LayoutRect RectOf(const QWidget* widget) {
    const QRect r = widget->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void Place(QWidget* widget, const LayoutRect& r) {
    widget->setGeometry(r.Left, r.Top, r.Width, r.Height);
}

} // namespace

TMainWin::TMainWin(UserAnswers& answers, const DriveCheck& drives, LifecycleTrace trace)
    : ui_(std::make_unique<Ui::TMainWin>()), answers_(answers), drives_(drives),
      trace_(std::move(trace)) {
    InitResources();
    ui_->setupUi(this);
    CreateTimers();
    CreatePopupMenus();
    CreateBands();
    PlaceControls();

    ui_->Splitter1->setStretchFactor(0, 0);
    ui_->Splitter1->setStretchFactor(1, 1);
    ui_->Splitter1->setSizes({DirPanelWidth, std::max(width() - DirPanelWidth, 1)});
    SetTextColour(ui_->DriveComboBox1, Navy);
    SetTextColour(ui_->User_DirectoryListBox, Navy);
    ShowMethod(MethodDes);
    HighlightList(true);
    Wire();
    WireFileCommands();
    WireRuns();
    WireOpenFiles();

    startup_.Add(StartupStep::MethodButtons, [this] {
        SetButtonsInStatus();
        return true;
    });
    startup_.Add(StartupStep::StatusBars, [this] {
        SetStatusBars();
        return true;
    });
    startup_.Add(StartupStep::Layout, [this] {
        Reresize();
        return true;
    });
    startup_.Add(StartupStep::DirectoryTree, [this] {
        ui_->User_DirectoryListBox->setFocus();
        User_DirectoryListBoxEnter();
        return true;
    });
    startup_.Add(StartupStep::CommandLine, [this] {
        // Started for its arguments, the program ends after them unless a decrypted file is
        // still open in its application.
        if (!commandLine_->ProcessParameters(arguments_) || openFiles_->Count() > 0)
            return true;
        close();
        return false;
    });
    startup_.Add(StartupStep::MasterPassword, [this] {
        if (pwdTable_->MasterPass.Store)
            pwdTable_->PromptForMasterPassword();
        return true;
    });
    startup_.Add(StartupStep::TipOfTheDay, [this] {
        if (settings_.ShowTIP && forms_)
            Tips1Click();
        return true;
    });

    FormCreate();
    WireViews();
    StartInCurrentDirectory();
}

TMainWin::~TMainWin() {
    FormDestroy();
}

void TMainWin::CreateTimers() {
    Process_Timer = MakeTimer(this, "Process_Timer", 50);
    PwdTimer = MakeTimer(this, "PwdTimer", 1000);
    MasterPwd_Timer = MakeTimer(this, "MasterPwd_Timer", 1000);
    NotifyOpenFiles_Timer = MakeTimer(this, "NotifyOpenFiles_Timer", 200);
}

void TMainWin::CreatePopupMenus() {
    Ui::TMainWin& ui = *ui_;
    PopupMenu1 = MakeMenu(this, "PopupMenu1", {ui.EncriptAll1, ui.Decriptall1});
    PopupMenu2 = MakeMenu(this, "PopupMenu2", {ui.Encrypt1, ui.Open1, ui.Print1, ui.Delete1});
    PopupMenu3 = MakeMenu(this, "PopupMenu3", {ui.Decrypt1, ui.Open2, ui.Print2, ui.Delete2});
}

void TMainWin::CreateBands() {
    Ui::TMainWin& ui = *ui_;
    ui.Status_CoolBar->AddBand(ui.StatusBar2, 405, true);
    ui.Status_CoolBar->AddBand(ui.StatusBar1, 172, true);
    ui.Status_CoolBar->AddBand(ui.StatusBar3, 183, true);
    ui.Status_CoolBar->AddBand(ui.Method_Panel, 394, false);
}

void TMainWin::Wire() {
    Ui::TMainWin& ui = *ui_;
    connect(ui.DES_Button, &QToolButton::clicked, this, &TMainWin::SetDES);
    connect(ui.TDES_Button, &QToolButton::clicked, this, &TMainWin::SetTripleDES);
    connect(ui.IDEA_Button, &QToolButton::clicked, this, &TMainWin::SetIDEA);
    connect(ui.PwdExpire_Button, &QAction::triggered, this, &TMainWin::SetPwdExpired);
    connect(PwdTimer, &QTimer::timeout, this, &TMainWin::PwdTimerTimer);
    connect(ui.MasterPwdExpire_Button, &QAction::triggered, this, &TMainWin::SetMasterPwdExpired);
    connect(MasterPwd_Timer, &QTimer::timeout, this, &TMainWin::MasterPwd_TimerTimer);
    connect(ui.Exit1, &QAction::triggered, this, &TMainWin::Exit1Click);
    connect(Process_Timer, &QTimer::timeout, this, &TMainWin::Process_TimerTimer);

    connect(ui.DriveComboBox1, &QComboBox::activated, this, &TMainWin::DriveComboBox1Click);
    DirectoryTree* tree = ui.User_DirectoryListBox;
    connect(tree, &DirectoryTree::DirectoryChanged, this, &TMainWin::User_DirectoryListBoxChange);
    connect(tree, &DirectoryTree::Entered, this, &TMainWin::User_DirectoryListBoxEnter);
    connect(tree, &DirectoryTree::DirectoryRefused, this,
            [this](const QString& path, const QString& reason) {
                answers_.ShowError("Cannot enter the directory " + path.toStdString() + ": " +
                                   reason.toStdString());
            });
    connect(tree, &QWidget::customContextMenuRequested, this, [this, tree](const QPoint& pos) {
        PopupMenu1->popup(tree->viewport()->mapToGlobal(pos));
    });

    connect(ui.Source_ListView, &FileListView::Entered, this, &TMainWin::Source_ListViewEnter);
    connect(ui.Crypted_ListView, &FileListView::Entered, this, &TMainWin::Crypted_ListViewEnter);
    connect(ui.Source_ListView, &FileListView::ContextMenuRequested, PopupMenu2,
            [this](const QPoint& at) { PopupMenu2->popup(at); });
    connect(ui.Crypted_ListView, &FileListView::ContextMenuRequested, PopupMenu3,
            [this](const QPoint& at) { PopupMenu3->popup(at); });

    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { ShowHelpTopic(MainHelpTopic); });
}

// The Delete command: the lists' context menus, and the Del key in a list with the focus.
void TMainWin::WireFileCommands() {
    Ui::TMainWin& ui = *ui_;
    connect(ui.Delete1, &QAction::triggered, this, [this] { FileDel(ui_->Source_ListView); });
    connect(ui.Delete2, &QAction::triggered, this, [this] { FileDel(ui_->Crypted_ListView); });
    for (FileListView* list : {ui.Source_ListView, ui.Crypted_ListView}) {
        auto* del = new QShortcut(QKeySequence::Delete, list, nullptr, nullptr,
                                  Qt::WidgetWithChildrenShortcut);
        connect(del, &QShortcut::activated, this, [this, list] { FileDel(list); });
    }
}

// The Encrypt and Decrypt commands of the tool bar, the File menu, the lists' context menus and
// the lists' gestures; Encrypt all and Decrypt all of the tree's context menu; the stop button.
void TMainWin::WireRuns() {
    Ui::TMainWin& ui = *ui_;
    for (QAction* encrypt : {ui.Encrypt_Button, ui.Encrypt_MenuItem, ui.Encrypt1})
        connect(encrypt, &QAction::triggered, this, &TMainWin::EncrFileList);
    for (QAction* decrypt : {ui.Decrypt_Button, ui.Decrypt_MenuItem, ui.Decrypt1})
        connect(decrypt, &QAction::triggered, this, &TMainWin::DecrFileList);
    connect(ui.EncriptAll1, &QAction::triggered, this, [this] { DoForAll(Direction::Encrypt); });
    connect(ui.Decriptall1, &QAction::triggered, this, [this] { DoForAll(Direction::Decrypt); });
    connect(ui.StopProcess_Button, &QAction::triggered, this, &TMainWin::StopProcess_ButtonClick);
}

namespace {

// What an OK of the preferences asks of the window.
class WindowPreferenceEvents : public PreferencesEvents {
public:
    explicit WindowPreferenceEvents(TMainWin& window) : window_(window) {}
    void ReReadLists() override { window_.ReReadLists(); }
    void SelectMethod(std::int32_t method) override {
        if (method == MethodDes)
            window_.SetDES();
        else if (method == MethodIdea)
            window_.SetIDEA();
        else
            window_.SetTripleDES();
    }
    void ExpireMasterPassword() override { window_.SetMasterPwdExpired(); }

private:
    TMainWin& window_;
};

} // namespace

// The windows of the File and Help menus, once they exist: preferences, tips, about box, help.
void TMainWin::SetForms(Forms* forms) {
    forms_ = forms;
    Ui::TMainWin& ui = *ui_;
    connect(ui.Options2, &QAction::triggered, this, &TMainWin::ShowPreferences);
    connect(ui.Tips1, &QAction::triggered, this, &TMainWin::Tips1Click);
    connect(ui.About1, &QAction::triggered, this, &TMainWin::About1Click);
    for (QAction* help : {ui.Contents1, ui.Help_Button})
        connect(help, &QAction::triggered, this, &TMainWin::Contents1Click);
    auto topic = [this](int number) { ShowHelpTopic(number); };
    forms_->Preferences->ShowHelpTopic = topic;
    forms_->TIP_Form->ShowHelpTopic = topic;
    forms_->About->OpenLink = [this](const std::string& address) { OpenWebAddress(address); };
}

void TMainWin::ShowPreferences() {
    WindowPreferenceEvents events(*this);
    qv::ShowPreferences(*forms_->Preferences,
                        {settings_, *pwd_, *pwdExpiry_, pwdTable_->MasterPass}, events);
}

void TMainWin::Tips1Click() {
    forms_->TIP_Form->ShowTips(settings_.ShowTIP);
}

void TMainWin::About1Click() {
    forms_->About->ShowAbout(LinkAddress(QV_HOMEPAGE, settings_.HelpFile),
                             OsVersionText(KernelRelease()), MemoryText(TotalMemory()));
}

void TMainWin::OpenWebAddress(const std::string& address) {
    RegistryFile registry;
    registry.Load(RegistryFile::DefaultPath());
    const std::vector<std::string> command = BrowserCommand(registry, address);
    if (command.empty()) {
        answers_.ShowError(NoBrowserMessage);
        return;
    }
    openFiles_->StartUnwatched(command);
}

void TMainWin::Contents1Click() {
    const std::string file = AbsolutePath(settings_.HelpFile);
    openFiles_->OpenUnwatched(file, DirectoryPart(file), "open");
}

// Open and Print of the lists' context menus, and the watcher of the files opened from the
// crypted list.
void TMainWin::WireOpenFiles() {
    Ui::TMainWin& ui = *ui_;
    connect(ui.Open1, &QAction::triggered, this, [this] { openFiles_->ProcessCmd("open"); });
    connect(ui.Print1, &QAction::triggered, this, [this] { openFiles_->ProcessCmd("print"); });
    connect(ui.Open2, &QAction::triggered, this, [this] { openFiles_->ProcessDecrCmd("open"); });
    connect(ui.Print2, &QAction::triggered, this, [this] { openFiles_->ProcessDecrCmd("print"); });
    connect(NotifyOpenFiles_Timer, &QTimer::timeout, this,
            [this] { openFiles_->NotifyOpenFiles(); });
}

void TMainWin::SetLauncher(AppLauncher* launcher) {
    openFiles_->Launcher = launcher;
}

void TMainWin::StartWatching() {
    if (!NotifyOpenFiles_Timer->isActive())
        NotifyOpenFiles_Timer->start();
}

void TMainWin::StopWatching() {
    NotifyOpenFiles_Timer->stop();
}

void TMainWin::SetDialogs(const Dialogs& dialogs) {
    deleteDialog_ = dialogs.Delete;
    pwdTable_->Prompt = dialogs.MasterPassword;
    prompts_->Encrypt = dialogs.Encrypt;
    prompts_->Decrypt = dialogs.Decrypt;
}

// The view styles, the toggles of the status area and the tool bar, and the layout rules.
void TMainWin::WireViews() {
    Ui::TMainWin& ui = *ui_;
    for (QAction* item :
         {ui.Large_MenuItem, ui.Small_MenuItem, ui.List_MenuItem, ui.Details_MenuItem})
        connect(item, &QAction::triggered, this, [this, item] { ChangeView(item); });
    connect(ui.StatusBars_MenuItem, &QAction::triggered, this,
            [this] { ShowAsChecked(ui_->Status_CoolBar, ui_->StatusBars_MenuItem); });
    connect(ui.ToolBar_MenuItem, &QAction::triggered, this,
            [this] { ShowAsChecked(ui_->ToolBar1, ui_->ToolBar_MenuItem); });
    // The tool bar is shown and hidden through the View menu only, so that its check mark
    // always tells the truth.
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(ui.Status_CoolBar, &BandBar::Resized, this, &TMainWin::Reresize);
    connect(ui.Status_CoolBar, &BandBar::BandsChanged, this, &TMainWin::Reresize);
    connect(ui.Splitter1, &QSplitter::splitterMoved, this, &TMainWin::UpdateWidths);
    // The window's layouts size the panels in an order of their own, sometimes after the
    // status area has told of its new size; the panels' own resizes re-apply the rules too.
    ui.Dir_Panel->installEventFilter(this);
    ui.Grid_Panel->installEventFilter(this);
}

bool TMainWin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize &&
        (watched == ui_->Dir_Panel || watched == ui_->Grid_Panel)) {
        const auto* resize = static_cast<const QResizeEvent*>(event);
        if (resize->size().height() != resize->oldSize().height())
            Reresize();
        else
            UpdateWidths();
    }
    return QMainWindow::eventFilter(watched, event);
}

// The form's places that depend on the style: the drive box as high as the style draws it, the
// tree below it, the plain list level with the tree, and the plain list's pictures and label
// above the list. The layout rules keep these tops and work out the rest.
void TMainWin::PlaceControls() {
    Ui::TMainWin& ui = *ui_;
    QWidget* drive = ui.DriveComboBox1;
    drive->setGeometry(FormMargin, FormMargin, drive->width(), drive->sizeHint().height());
    const int top = drive->geometry().bottom() + 1 + FormMargin;
    ui.User_DirectoryListBox->move(FormMargin, top);
    ui.Source_ListView->move(FormMargin, top);
    const int imageTop = std::max(top - FormMargin - ListImageSize, 0);
    for (QLabel* image : {ui.Open_Image, ui.Open_Image_Hl, ui.Closed_Image, ui.Closed_Image_Hl})
        image->setGeometry(FormMargin, imageTop, ListImageSize, ListImageSize);
    for (QLabel* label : {ui.Avail_Label, ui.Crypted_Label}) {
        label->resize(label->sizeHint());
        label->move(FormMargin + ListImageSize + FormMargin, imageTop + FormMargin);
    }
    // Between runs a bar lies behind the bottom edge of its list.
    for (auto [bar, list] : {std::pair{ui.ProgressBar1, ui.Source_ListView},
                             std::pair{ui.ProgressBar2, ui.Crypted_ListView}}) {
        bar->setGeometry(FormMargin, bar->y(), bar->width(), ProgressBarHeight);
        bar->stackUnder(list);
    }
}

FileListView* TMainWin::SourceList() const {
    return ui_->Source_ListView;
}

FileListView* TMainWin::CryptedList() const {
    return ui_->Crypted_ListView;
}

void TMainWin::FormCreate() {
    auto created = [this](const char* name) {
        if (trace_)
            trace_(std::string("create ") + name);
    };
    dirCryptor_ = std::make_unique<TQV_DirCryptor>();
    created("TQV_DirCryptor");
    pwd_ = std::make_unique<TQV_Pwd>();
    created("TQV_Pwd");
    pwdExpiry_ = std::make_unique<TQV_PwdExpiry>(*pwd_);
    pwdExpiry_->Events = this;
    pwdTable_ = std::make_unique<TQV_PwdTable>(*pwd_, answers_);
    pwdTable_->MasterPass.Events = this;
    // Reading a large database lets the window's messages through after every chunk.
    pwdTable_->MasterPass.ChunkDone = [this] { LetMessagesThrough(); };
    created("TQV_PwdTable");
    prgState_ = std::make_unique<TQV_PrgState>();
    created("TQV_PrgState");
    // The engine looks at the stop flag after every block and lets the window's messages through
    // after every chunk, so that the progress timer and the stop button act during long files.
    pwd_->AbortRequested = &prgState_->AbortRequested;
    pwd_->ChunkDone = [this] { LetMessagesThrough(); };
    pwd_->Progress = &prgState_->Progress;
    LoadSettings();
    SetupImageList(Small_ImageList);
    SetupImageList(Large_ImageList);
    fileLists_ = std::make_unique<TQV_FileLists>(*ui_->Source_ListView, *ui_->Crypted_ListView,
                                                 FileShow_FileListBox, *prgState_, *pwd_, settings_,
                                                 Small_ImageList, Large_ImageList);
    fileLists_->Status = [this](const std::string& message) { UpdateStatus(message); };
    fileOps_ = std::make_unique<TQV_FileOps>(*pwd_, *prgState_, settings_,
                                             FileOpsFrontEnd{answers_, *this, *this, *this});
    prompts_ = std::make_unique<TQV_PasswordPrompts>(*pwd_, *pwdExpiry_, pwdTable_->MasterPass,
                                                     *prgState_, settings_, *dirCryptor_);
    fileRuns_ = std::make_unique<TQV_FileRuns>(TQV_FileRuns::Parts{*fileOps_, *prompts_, *pwdTable_,
                                                                   *pwd_, *pwdExpiry_, *prgState_,
                                                                   settings_, *dirCryptor_},
                                               RunFrontEnd{answers_, *this, *this, *this, *this});
    openFiles_ = std::make_unique<TQV_OpenFiles>(
        TQV_OpenFiles::Parts{*fileOps_, *fileRuns_, *pwdTable_, *pwd_, *prgState_, settings_,
                             *dirCryptor_},
        OpenFilesFrontEnd{answers_, *this, *this, *this, *this});
    commandLine_ = std::make_unique<TQV_CommandLine>(
        TQV_CommandLine::Parts{*fileOps_, *openFiles_, *prompts_, *pwdTable_, *pwd_, *pwdExpiry_,
                               *prgState_, settings_, *dirCryptor_},
        answers_);
    // The gestures of the lists: a double click, or a drop onto the other list.
    connect(fileLists_.get(), &TQV_FileLists::CommandRequested, this,
            [this](Direction direction) { fileRuns_->FileList(direction); });
}

void TMainWin::FormActivate() {
    startup_.Run();
}

void TMainWin::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    SaveSettings();
    NotifyOpenFiles_Timer->stop();
    commandLine_.reset();
    openFiles_.reset();
    fileRuns_.reset();
    prompts_.reset();
    fileOps_.reset();
    auto freed = [this](const char* name) {
        if (trace_)
            trace_(std::string("free ") + name);
    };
    dirCryptor_.reset();
    freed("TQV_DirCryptor");
    pwdExpiry_.reset();
    pwd_.reset();
    freed("TQV_Pwd");
    pwdTable_.reset();
    freed("TQV_PwdTable");
    prgState_.reset();
    freed("TQV_PrgState");
}

void TMainWin::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    if (const QScreen* display = screen())
        move(display->availableGeometry().center() - rect().center());
    // Run once the window has its size, after the events of the showing are through.
    QMetaObject::invokeMethod(this, &TMainWin::FormActivate, Qt::QueuedConnection);
}

void TMainWin::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Reresize();
}

void TMainWin::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TMainWin::FormCloseQuery() {
    if (prgState_->Working())
        return false;
    if (prgState_->OpFiles.Count > 0)
        return answers_.Ask(MessageKind::Information, OpenFilesQuestion, ButtonOk | ButtonCancel) ==
               ButtonOk;
    return true;
}

void TMainWin::Exit1Click() {
    close();
}

void TMainWin::StartInCurrentDirectory() {
    DriveBox* box = ui_->DriveComboBox1;
    box->Refresh();
    const QString here = QString::fromStdString(CurrentDirectory());
    const QString drive = box->DriveFor(here.isEmpty() ? QString("/") : here);
    box->SelectDrive(drive);
    ui_->User_DirectoryListBox->SetDrive(drive);
    if (here.isEmpty() || !ui_->User_DirectoryListBox->SetDirectory(here))
        ui_->User_DirectoryListBox->SetDirectory(drive);
}

void TMainWin::DriveComboBox1Click(int index) {
    DriveBox* box = ui_->DriveComboBox1;
    QString drive = box->DriveAt(index);
    if (!drives_.IsReady(drive.toStdString())) {
        box->SelectDrive(ui_->User_DirectoryListBox->Drive());
        TComboChange* dialog = forms_ ? forms_->ComboChange.get() : nullptr;
        if (!dialog || dialog->exec() != QDialog::Accepted)
            return;
        drive = dialog->ChosenDrive();
        if (!box->SelectDrive(drive)) {
            box->Refresh();
            box->SelectDrive(drive);
        }
    }
    MoveToDrive(drive);
}

void TMainWin::MoveToDrive(const QString& drive) {
    DirectoryTree* tree = ui_->User_DirectoryListBox;
    tree->SetDrive(drive);
    QString reason;
    if (!tree->SetDirectory(drive, &reason))
        answers_.ShowError("Cannot enter the directory " + drive.toStdString() + ": " +
                           reason.toStdString());
}

void TMainWin::User_DirectoryListBoxEnter() {
    if (!prgState_->ListsUnread)
        return;
    // Set first: a change of folder the window lets through while this folder is read reads
    // the lists of the new one.
    prgState_->ListsUnread = false;
    fileLists_->ReadFolder(CurrentDirectory(), FileShow_FileListBox, DirShow_FileListBox);
}

void TMainWin::User_DirectoryListBoxChange() {
    // Until the tree's first focus the lists stay empty; that focus reads them.
    if (prgState_->ListsUnread)
        TQV_FileListBox::ReadBoth(CurrentDirectory(), FileShow_FileListBox, DirShow_FileListBox);
    else
        fileLists_->ReadFolder(CurrentDirectory(), FileShow_FileListBox, DirShow_FileListBox);
}

void TMainWin::SetButtonsInStatus() {
    switch (settings_.Method) {
    case MethodIdea:
        SetIDEA();
        break;
    case MethodDes:
        SetDES();
        break;
    case MethodTripleDes:
        SetTripleDES();
        break;
    default:
        break;
    }
    const int height = ui_->Method_Panel->height();
    for (QToolButton* button : {ui_->DES_Button, ui_->TDES_Button, ui_->IDEA_Button})
        button->setFixedHeight(height);
}

void TMainWin::SetStatusBars() {
    // The progress panels share the room of their band, so the last one ends inside the window.
    const BandBar* bands = ui_->Status_CoolBar;
    for (PanelBar* bar : {ui_->StatusBar1, ui_->StatusBar2})
        bar->FillWithPanels(bands->ControlRoom(bands->BandOf(bar)));
}

void TMainWin::HighlightList(bool plainList) {
    Ui::TMainWin& ui = *ui_;
    SetTextColour(ui.Avail_Label, plainList ? Blue : Navy);
    SetTextColour(ui.Crypted_Label, plainList ? Navy : Blue);
    ui.Open_Image_Hl->setVisible(plainList);
    ui.Open_Image->setVisible(!plainList);
    ui.Closed_Image->setVisible(plainList);
    ui.Closed_Image_Hl->setVisible(!plainList);
}

void TMainWin::Source_ListViewEnter() {
    ListEntered(true);
}

void TMainWin::Crypted_ListViewEnter() {
    ListEntered(false);
}

// The list with the focus is highlighted and chooses the command: encrypting from the plain
// list, decrypting from the crypted list.
void TMainWin::ListEntered(bool plainList) {
    HighlightList(plainList);
    ui_->Encrypt_Button->setEnabled(plainList);
    ui_->Encrypt_MenuItem->setEnabled(plainList);
    ui_->Decrypt_Button->setEnabled(!plainList);
    ui_->Decrypt_MenuItem->setEnabled(!plainList);
}

void TMainWin::ShowMethod(std::int32_t method) {
    const std::pair<QToolButton*, std::int32_t> buttons[] = {{ui_->DES_Button, MethodDes},
                                                             {ui_->TDES_Button, MethodTripleDes},
                                                             {ui_->IDEA_Button, MethodIdea}};
    for (const auto& [button, code] : buttons) {
        // Checking one button of the group releases the others.
        if (code == method)
            button->setChecked(true);
        SetTextColour(button, code == method ? Blue : Qt::black);
    }
}

void TMainWin::SelectMethod(std::int32_t method) {
    settings_.Method = method;
    ShowMethod(method);
    NotifyOfMethodChange();
}

void TMainWin::SetDES() {
    SelectMethod(MethodDes);
}

void TMainWin::SetIDEA() {
    SelectMethod(MethodIdea);
}

void TMainWin::SetTripleDES() {
    SelectMethod(MethodTripleDes);
}

void TMainWin::NotifyOfMethodChange() {
    SetPwdExpired();
    UpdateStatus(MethodChangedNotice);
}

void TMainWin::SetPwdExpired() {
    pwdExpiry_->SetExpired();
}

void TMainWin::PwdTimerTimer() {
    pwdExpiry_->Tick();
}

void TMainWin::DropExpiredPasswords() {
    qv::DropExpiredPasswords(*pwd_, pwdTable_->MasterPass);
}

void TMainWin::StartPwdTimer() {
    PwdTimer->start();
}

void TMainWin::StopPwdTimer() {
    PwdTimer->stop();
}

void TMainWin::EnablePwdExpireButton(bool enabled) {
    ui_->PwdExpire_Button->setEnabled(enabled);
}

void TMainWin::EncrFile(const std::string& name) {
    fileOps_->EncrFile(dirCryptor_->Directory, name);
}

void TMainWin::DecrFile(const std::string& name) {
    fileOps_->DecrFile(dirCryptor_->Directory, name);
}

void TMainWin::FileDel(FileListView* list) {
    if (!deleteDialog_)
        return;
    fileOps_->FileDel(list == ui_->Source_ListView ? ListSide::Plain : ListSide::Crypted,
                      list->SelectedCaptions(), *dirCryptor_, *deleteDialog_);
}

void TMainWin::EncrFileList() {
    fileRuns_->EncrFileList();
}

void TMainWin::DecrFileList() {
    fileRuns_->DecrFileList();
}

void TMainWin::DoForAll(Direction direction) {
    fileRuns_->DoForAll(direction);
}

void TMainWin::StopProcess_ButtonClick() {
    fileRuns_->StopProcess();
}

void TMainWin::SetMasterPwdExpired() {
    pwdTable_->MasterPass.SetExpired();
}

void TMainWin::MasterPwd_TimerTimer() {
    pwdTable_->MasterPass.Tick();
}

void TMainWin::StartMasterPwdTimer() {
    MasterPwd_Timer->start();
}

void TMainWin::StopMasterPwdTimer() {
    MasterPwd_Timer->stop();
}

void TMainWin::EnableMasterPwdExpireButton(bool enabled) {
    ui_->MasterPwdExpire_Button->setEnabled(enabled);
}

void TMainWin::DatabaseSwitchedOff() {
    prgState_->SavePassword = false;
}

void TMainWin::UpdateStatus(const std::string& message) {
    PanelBar* line = ui_->StatusBar3;
    QLabel* panel = line->Panel(0);
    const bool shown = panel && panel->isVisible();
    bool drawn = false;
    for (const std::string& text : StatusSettlingTexts(message)) {
        line->SetPanelText(0, QString::fromStdString(text));
        // The texts are drawn as they come, but no faster than a screen shows them: drawing
        // every one of them made a run over many small files several times slower, for
        // pictures nobody saw.
        drawn = shown && (!statusPainted_.isValid() || statusPainted_.elapsed() >= FrameMs);
        if (drawn) {
            panel->repaint();
            statusPainted_.start();
        }
    }
    if (shown && !drawn)
        panel->update();
}

void TMainWin::RaiseLists() {
    Ui::TMainWin& ui = *ui_;
    for (FileListView* list : {ui.Source_ListView, ui.Crypted_ListView})
        list->resize(list->width(), std::max(list->height() - RaisedBy, 0));
    for (QProgressBar* bar : {ui.ProgressBar1, ui.ProgressBar2}) {
        bar->setValue(0);
        bar->show();
    }
    prgState_->ListsRaised = true;
}

void TMainWin::DropLists() {
    ui_->ProgressBar1->hide();
    ui_->ProgressBar2->hide();
    prgState_->ListsRaised = false;
    // The lists take their full height by the layout rules, which also holds when the window
    // was resized while the bars were shown.
    Reresize();
}

void TMainWin::StartProgressTimer() {
    progress_.Start();
    Process_Timer->start();
    // The bars of a run that a resize between two files has put behind the lists come out again
    // for this file.
    const QProgressBar* bar = ui_->ProgressBar1;
    const FileListView* list = ui_->Source_ListView;
    if (prgState_->ListsRaised && bar->y() < list->geometry().bottom() + 1)
        Reresize();
}

void TMainWin::StopProgressTimer() {
    Process_Timer->stop();
}

void TMainWin::ResetProgressBars() {
    for (QProgressBar* bar : {ui_->ProgressBar1, ui_->ProgressBar2})
        bar->setValue(bar->minimum());
}

void TMainWin::EnableStopButton(bool enabled) {
    ui_->StopProcess_Button->setEnabled(enabled);
}

void TMainWin::Process_TimerTimer() {
    Ui::TMainWin& ui = *ui_;
    const bool encrypting = (prgState_->BusyFlags & EncryptingFile) != 0;
    const TQV_ProgressMeter::Reading reading =
        progress_.Tick(prgState_->Progress.Done(), prgState_->Progress.Total(), encrypting,
                       ui.ProgressBar1->maximum());
    ui.ProgressBar1->setValue(reading.Bar1);
    ui.ProgressBar2->setValue(reading.Bar2);
    if (!reading.Statistics)
        return;
    const ProgressStatistics& s = *reading.Statistics;
    const std::pair<PanelBar*, const std::string*> fields[] = {
        {ui.StatusBar2, &s.Elapsed},    {ui.StatusBar2, &s.Remaining},
        {ui.StatusBar2, &s.Throughout}, {ui.StatusBar1, &s.Estimated},
        {ui.StatusBar1, &s.Done},       {ui.StatusBar1, &s.Size}};
    for (int i = 0; i < 6; ++i)
        fields[i].first->SetPanelText(i % 3, QString::fromStdString(*fields[i].second));
}

void TMainWin::ReadFLists() {
    fileLists_->ReadFLists();
}

void TMainWin::UpdateFLists(const std::string& name, const std::string& newName, bool keepOther,
                            Direction direction) {
    fileLists_->UpdateFLists(name, newName, keepOther, direction);
}

void TMainWin::RemoveListItem(FileListView* list, const std::string& caption) {
    fileLists_->RemoveListItem(*list, caption);
}

void TMainWin::RemoveListItem(ListSide list, const std::string& caption) {
    RemoveListItem(ListOf(list), caption);
}

std::string TMainWin::ShownDirectory() const {
    return FileShow_FileListBox.Directory();
}

FileListView* TMainWin::ListOf(ListSide list) const {
    return list == ListSide::Plain ? SourceList() : CryptedList();
}

std::vector<std::string> TMainWin::SelectedCaptions(ListSide list) const {
    return ListOf(list)->SelectedCaptions();
}

void TMainWin::SelectAllItems(ListSide list) {
    ListOf(list)->CurrentView()->selectAll();
}

void TMainWin::DeselectAllItems(ListSide list) {
    ListOf(list)->Selection()->clearSelection();
}

std::string TMainWin::TreeDirectory() const {
    return ui_->User_DirectoryListBox->Directory().toStdString();
}

bool TMainWin::EnterDirectory(const std::string& directory, std::string& reason) {
    QString why;
    const QString path = QString::fromStdString(directory);
    if (!ui_->User_DirectoryListBox->SetDirectory(path, &why)) {
        reason = why.toStdString();
        return false;
    }
    // The lists follow the tree when it moves; should they show another folder still, they are
    // read here, as the run takes its files from them.
    if (ShownDirectory() != TreeDirectory())
        ReReadLists();
    return true;
}

void TMainWin::EnableTree(bool enabled) {
    ui_->User_DirectoryListBox->setEnabled(enabled);
    ui_->DriveComboBox1->setEnabled(enabled);
}

void TMainWin::LetMessagesThrough() {
    // At most every EventsMs: a run over many small files would otherwise spend most of its
    // time drawing the window again after every file.
    if (messagesLet_.isValid() && messagesLet_.elapsed() < EventsMs)
        return;
    QCoreApplication::processEvents();
    messagesLet_.start();
}

void TMainWin::ReReadLists() {
    fileLists_->ReadFolder(TreeDirectory(), FileShow_FileListBox, DirShow_FileListBox);
}

void TMainWin::ChangeView(QAction* sender) {
    Ui::TMainWin& ui = *ui_;
    SetListViewStyle(sender == ui.Large_MenuItem   ? ViewStyle::LargeIcons
                     : sender == ui.Small_MenuItem ? ViewStyle::SmallIcons
                     : sender == ui.List_MenuItem  ? ViewStyle::List
                                                   : ViewStyle::Details);
}

void TMainWin::SetListViewStyle(ViewStyle style) {
    Ui::TMainWin& ui = *ui_;
    ui.Source_ListView->SetStyle(style);
    ui.Crypted_ListView->SetStyle(style);
    QAction* item = style == ViewStyle::LargeIcons   ? ui.Large_MenuItem
                    : style == ViewStyle::SmallIcons ? ui.Small_MenuItem
                    : style == ViewStyle::List       ? ui.List_MenuItem
                                                     : ui.Details_MenuItem;
    item->setChecked(true);
}

void TMainWin::StatusBars_MenuItemClick() {
    ui_->StatusBars_MenuItem->trigger();
}

void TMainWin::ToolBar_MenuItemClick() {
    ui_->ToolBar_MenuItem->trigger();
}

void TMainWin::ShowAsChecked(QWidget* area, const QAction* item) {
    area->setVisible(item->isChecked());
    // The window's layouts hand the room over now rather than at their next turn, so the
    // layout rules below see the panels' new sizes.
    layout()->activate();
    ui_->Client_Panel->layout()->activate();
    Reresize();
}

bool TMainWin::SingleFileWork() const {
    return prgState_ && (prgState_->BusyFlags & (EncryptingFile | DecryptingFile)) != 0;
}

MainLayoutControls TMainWin::ReadLayout() const {
    const Ui::TMainWin& ui = *ui_;
    MainLayoutControls c;
    c.LeftPanelWidth = ui.Dir_Panel->width();
    c.LeftPanelHeight = ui.Dir_Panel->height();
    c.RightPanelWidth = ui.Grid_Panel->width();
    c.DriveBox = RectOf(ui.DriveComboBox1);
    c.Tree = RectOf(ui.User_DirectoryListBox);
    c.PlainImage = RectOf(ui.Open_Image);
    c.PlainList = RectOf(ui.Source_ListView);
    c.ProgressBar1 = RectOf(ui.ProgressBar1);
    c.CryptedImage = RectOf(ui.Closed_Image);
    c.CryptedLabel = RectOf(ui.Crypted_Label);
    c.CryptedList = RectOf(ui.Crypted_ListView);
    c.ProgressBar2 = RectOf(ui.ProgressBar2);
    return c;
}

void TMainWin::ApplyLayout(const MainLayoutControls& c) {
    Ui::TMainWin& ui = *ui_;
    Place(ui.DriveComboBox1, c.DriveBox);
    Place(ui.User_DirectoryListBox, c.Tree);
    Place(ui.Source_ListView, c.PlainList);
    Place(ui.ProgressBar1, c.ProgressBar1);
    Place(ui.Closed_Image, c.CryptedImage);
    Place(ui.Closed_Image_Hl, c.CryptedImage);
    Place(ui.Crypted_Label, c.CryptedLabel);
    Place(ui.Crypted_ListView, c.CryptedList);
    Place(ui.ProgressBar2, c.ProgressBar2);
}

void TMainWin::UpdateWidths() {
    MainLayoutControls c = ReadLayout();
    qv::UpdateWidths(c);
    ApplyLayout(c);
}

void TMainWin::Reresize() {
    MainLayoutControls c = ReadLayout();
    qv::Reresize(c, SingleFileWork());
    ApplyLayout(c);
}

void TMainWin::RenderGrid2Images() {
    MainLayoutControls c = ReadLayout();
    qv::RenderGrid2Images(c);
    ApplyLayout(c);
}

SettingsHolders TMainWin::Holders() {
    return SettingsHolders{*pwd_, pwdTable_->MasterPass, settings_};
}

void TMainWin::LoadSettings() {
    RegistryFile registry;
    // A file that cannot be read holds no keys, so the first key fails below.
    registry.Load(RegistryFile::DefaultPath());
    if (!qv::LoadSettings(registry, *this, Holders()))
        answers_.ShowError(NotInstalledMessage);
}

void TMainWin::SaveSettings() {
    RegistryFile registry;
    // Without a readable registry there is no key to write into; the missing installation was
    // reported at start.
    if (!registry.Load(RegistryFile::DefaultPath()))
        return;
    std::vector<std::string> refused;
    qv::SaveSettings(registry, *this, Holders(), &refused);
    for (const std::string& name : refused)
        answers_.ShowError(
            "The setting \"" + name +
            "\" cannot be kept in the settings file (it holds a zero byte, or control "
            "characters together with bytes that are not UTF-8); its previous "
            "value stays.");
    std::string error;
    if (!registry.Save(&error))
        answers_.ShowError("The settings could not be saved: " + error);
}

bool TMainWin::ShowHelpTopic(int topic) {
    if (!help_)
        help_ = new HelpViewer(this);
    const QString file = QString::fromStdString(settings_.HelpFile);
    if (help_->ShowTopic(file, topic))
        return true;
    answers_.ShowError("The help file " + settings_.HelpFile + " cannot be opened.");
    return false;
}

std::int32_t TMainWin::WindowWidth() const {
    return width();
}

std::int32_t TMainWin::WindowHeight() const {
    return height();
}

void TMainWin::SetWindowWidth(std::int32_t width) {
    resize(FitOnScreen(QSize(width, height())));
}

void TMainWin::SetWindowHeight(std::int32_t height) {
    resize(FitOnScreen(QSize(width(), height)));
}

// A size from the settings is kept within the screen, so that the whole window can be reached,
// and no smaller than the window's least size.
QSize TMainWin::FitOnScreen(QSize size) const {
    const QSize least = minimumSizeHint();
    const QScreen* display = screen();
    const QSize most = display ? display->availableGeometry().size() : size;
    return {std::clamp(size.width(), std::min(least.width(), most.width()), most.width()),
            std::clamp(size.height(), std::min(least.height(), most.height()), most.height())};
}

std::int32_t TMainWin::ColumnWidth(List list, int column) const {
    return (list == List::Source ? SourceList() : CryptedList())->ColumnWidth(column);
}

void TMainWin::SetColumnWidth(List list, int column, std::int32_t width) {
    (list == List::Source ? SourceList() : CryptedList())->SetColumnWidth(column, width);
}

bool TMainWin::BandBreak(int band) const {
    return ui_->Status_CoolBar->BandBreak(band);
}

void TMainWin::SetBandBreak(int band, bool startsRow) {
    ui_->Status_CoolBar->SetBandBreak(band, startsRow);
}

std::int32_t TMainWin::BandWidth(int band) const {
    return ui_->Status_CoolBar->BandWidth(band);
}

void TMainWin::SetBandWidth(int band, std::int32_t width) {
    ui_->Status_CoolBar->SetBandWidth(band, width);
}

QList<QWidget*> TMainWin::BandControls() const {
    return {ui_->StatusBar2, ui_->StatusBar1, ui_->StatusBar3, ui_->Method_Panel};
}

QWidget* TMainWin::BandControlNamed(const std::string& name) const {
    // Only the status controls can sit in a band; another control's name matches nothing.
    for (QWidget* control : BandControls())
        if (control->objectName().toStdString() == name)
            return control;
    return nullptr;
}

std::string TMainWin::BandControl(int band) const {
    const BandBar* bar = ui_->Status_CoolBar;
    if (const QWidget* control = bar->BandControl(band))
        return control->objectName().toStdString();
    // An empty band is saved with a control that no band holds, in turn, so that a name that
    // matched nothing does not lose a status bar for good.
    QList<QWidget*> homeless;
    for (QWidget* control : BandControls())
        if (bar->BandOf(control) < 0)
            homeless << control;
    int place = 0;
    for (int b = 0; b < band; ++b)
        if (!bar->BandControl(b))
            ++place;
    return place < homeless.size() ? homeless[place]->objectName().toStdString() : std::string();
}

void TMainWin::PutControlInBand(int band, const std::string& name) {
    ui_->Status_CoolBar->SetBandControl(band, BandControlNamed(name));
}

} // namespace qv
