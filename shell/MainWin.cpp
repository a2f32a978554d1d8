#include "MainWin.h"

#include "BandBar.h"
#include "DirCryptor.h"
#include "DirectoryTree.h"
#include "DriveBox.h"
#include "Drives.h"
#include "FileListView.h"
#include "Forms.h"
#include "HelpViewer.h"
#include "PanelBar.h"
#include "PrgState.h"
#include "Pwd.h"
#include "PwdTable.h"
#include "RegistryFile.h"
#include "TComboChange.h"
#include "UserAnswers.h"
#include "ui_MainWin.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
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

} // namespace

TMainWin::TMainWin(UserAnswers& answers, const DriveCheck& drives, LifecycleTrace trace)
    : ui_(std::make_unique<Ui::TMainWin>()), answers_(answers), drives_(drives),
      trace_(std::move(trace)) {
    InitResources();
    ui_->setupUi(this);
    CreateTimers();
    CreatePopupMenus();
    CreateBands();

    ui_->Splitter1->setStretchFactor(0, 0);
    ui_->Splitter1->setStretchFactor(1, 1);
    ui_->Splitter1->setSizes({DirPanelWidth, std::max(width() - DirPanelWidth, 1)});
    SetTextColour(ui_->DriveComboBox1, Navy);
    SetTextColour(ui_->User_DirectoryListBox, Navy);
    ShowMethod(MethodDes);
    HighlightList(true);
    Wire();

    startup_.Add(StartupStep::MethodButtons, [this] {
        SetButtonsInStatus();
        return true;
    });
    startup_.Add(StartupStep::StatusBars, [this] {
        SetStatusBars();
        return true;
    });
    startup_.Add(StartupStep::DirectoryTree, [this] {
        ui_->User_DirectoryListBox->setFocus();
        User_DirectoryListBoxEnter();
        return true;
    });
    startup_.Add(StartupStep::MasterPassword, [this] {
        if (pwdTable_->MasterPass.Store)
            pwdTable_->PromptForMasterPassword();
        return true;
    });

    FormCreate();
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
    connect(ui.MasterPwdExpire_Button, &QAction::triggered, this, &TMainWin::SetMasterPwdExpired);
    connect(MasterPwd_Timer, &QTimer::timeout, this, &TMainWin::MasterPwd_TimerTimer);
    connect(ui.Exit1, &QAction::triggered, this, &TMainWin::Exit1Click);

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
    pwdTable_ = std::make_unique<TQV_PwdTable>(*pwd_, answers_);
    pwdTable_->MasterPass.Events = this;
    // Reading a large database lets the window's messages through after every chunk.
    pwdTable_->MasterPass.ChunkDone = [] { QCoreApplication::processEvents(); };
    created("TQV_PwdTable");
    prgState_ = std::make_unique<TQV_PrgState>();
    created("TQV_PrgState");
    LoadSettings();
}

void TMainWin::FormActivate() {
    startup_.Run();
}

void TMainWin::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    SaveSettings();
    auto freed = [this](const char* name) {
        if (trace_)
            trace_(std::string("free ") + name);
    };
    dirCryptor_.reset();
    freed("TQV_DirCryptor");
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

void TMainWin::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TMainWin::FormCloseQuery() {
    if (prgState_->BusyFlags != 0)
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
    FileShow_FileListBox.Read(CurrentDirectory());
    prgState_->ListsUnread = false;
}

void TMainWin::User_DirectoryListBoxChange() {
    const std::string directory = CurrentDirectory();
    FileShow_FileListBox.Read(directory);
    DirShow_FileListBox.Read(directory);
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
    const int width = ui_->Status_CoolBar->width() / 3;
    for (PanelBar* bar : {ui_->StatusBar1, ui_->StatusBar2})
        for (int panel = 0; panel < 3; ++panel)
            bar->SetPanelWidth(panel, width);
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
    pwd_->PasswordExpired = true;
    PwdTimer->stop();
    ui_->PwdExpire_Button->setEnabled(false);
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
    ui_->StatusBar3->SetPanelText(0, QString::fromStdString(message));
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
    qv::SaveSettings(registry, *this, Holders());
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
