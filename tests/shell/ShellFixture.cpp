#include "ShellFixture.h"

#include "FileListView.h"
#include "FileSystem.h"
#include "FirstSettings.h"
#include "Pwd.h"
#include "RegistryEdit.h"
#include "RegistryKeys.h"

#include "FileListModel.h"
#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace qvtest {

void ShellTest::SetUp() {
    savedDirectory_ = qv::CurrentDirectory();
    if (const char* path = std::getenv("QUORVANE_REGISTRY"))
        savedRegistry_ = path;
    registry = dir / "registry.reg";
    setenv("QUORVANE_REGISTRY", registry.c_str(), 1);
    WriteRegistry(FirstText());

    work = dir / "work";
    mkdir(work.c_str(), 0755);
    mkdir((work + "/Letters").c_str(), 0755);
    WriteText(work + "/report.txt", "quarterly figures");
    WriteText(work + "/budget.xls.cry", "QV98");
    WriteText(work + "/.profile", "hidden");
    ASSERT_EQ(chdir(work.c_str()), 0);
    work = qv::CurrentDirectory();
}

void ShellTest::TearDown() {
    if (chdir(savedDirectory_.c_str()) != 0)
        ADD_FAILURE() << "cannot go back to " << savedDirectory_;
    setenv("QUORVANE_REGISTRY", savedRegistry_.c_str(), 1);
}

std::string ShellTest::FirstText() const {
    // Without the tip of the day, which would stop every start in its dialog.
    return WithValue(qv::FirstRegistry(dir / "share", "/usr/bin/xdg-open %1").Serialize(),
                     qv::keys::Options, "ShowTIP", "dword:00000000");
}

void ShellTest::WriteRegistry(const std::string& text) const {
    WriteText(registry, text);
}

std::string ShellTest::ReadRegistry() const {
    return ReadText(registry);
}

std::unique_ptr<qv::Forms> ShellTest::Start() {
    return std::make_unique<qv::Forms>(
        answers, drives, [this](const std::string& event) { trace.push_back(event); },
        [this](QWidget* window) { created.push_back(window); });
}

void ShellTest::ShowAndActivate(qv::TMainWin& window) {
    window.show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Startup().Ran(); }, 5000));
    QCoreApplication::processEvents();
}

void WindowTest::SetUp() {
    ShellTest::SetUp();
    forms = Start();
    win = forms->MainWin.get();
    ShowAndActivate(*win);
}

void WindowTest::TearDown() {
    forms.reset();
    ShellTest::TearDown();
}

void WindowTest::HoldPassword(const std::string& password) {
    win->Pwd().SetTypedPassword(reinterpret_cast<const std::uint8_t*>(password.data()),
                                password.size());
    win->Pwd().HasPassword = true;
}

void WindowTest::SelectOnly(qv::FileListView* list, const std::string& caption) {
    const QModelIndexList found =
        list->Model()->match(list->Model()->index(0, 0), Qt::DisplayRole,
                             QString::fromStdString(caption), -1, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << caption;
    list->Selection()->select(found.first(),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->CurrentView()->setFocus();
    QTest::qWait(1);
}

std::vector<std::string> Captions(const qv::FileListView* list) {
    std::vector<std::string> captions;
    for (int row = 0; row < list->Model()->rowCount(); ++row)
        captions.push_back(list->Model()->Text(row, 0).toStdString());
    return captions;
}

WhenShown::WhenShown(QWidget* window, std::function<void()> act)
    : window_(window), act_(std::move(act)) {
    auto* poll = new QTimer(this);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, this, [this, poll] {
        if (done_ || !window_->isVisible())
            return;
        done_ = true;
        poll->stop();
        act_();
    });
    poll->start();
}

WhenShown::~WhenShown() {
    EXPECT_TRUE(done_) << window_->objectName().toStdString() << " was never shown";
}

} // namespace qvtest
