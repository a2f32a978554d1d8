// The master-password dialog, driven with keys and clicks over a database in a temporary folder.
#include "PasswordsSupport.h"
#include "TMasterPwd_Form.h"
#include "TypeText.h"

#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace qv;
using namespace qvtest;

namespace {

const std::string TooShort = "太少密碼的字元符號輸入." + std::string(8, ' ');
const std::string TooLong = "太多密碼的字元符號輸入." + std::string(9, ' ');
const std::string Mismatch = "證實失敗了." + std::string(9, ' ');
const std::string Wrong = "不正確無效的密碼.";

class MasterPwdFormTest : public DatabaseTest {
protected:
    MasterPwdFormTest() {
        table.Prompt = &form;
        table.MasterPass.HasPassword = false;
    }

    // Shows the dialog for the table without its modal loop, the focus in the first box.
    void Open() {
        form.Begin(table);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        ASSERT_EQ(form.focusWidget(), form.Ui().MaskEdit1);
    }

    // Types both boxes, the confirmation last, and presses Enter there.
    void Submit(const std::string& first, const std::string& second) {
        TypeInto(form.Ui().MaskEdit1, first);
        TypeInto(form.Ui().MaskEdit2, second);
        QTest::keyClick(form.Ui().MaskEdit2, Qt::Key_Return);
    }

    bool Accepted() const { return !form.isVisible() && form.Answer() == MasterPwdAnswer::Ok; }

    // Runs the real modal prompt; actions play the user once the dialog is up.
    void Prompt(const std::function<void()>& actions) {
        QTimer::singleShot(0, &form, [&] {
            actions();
            if (form.isVisible()) { // a script that left it open must not hang the test
                ADD_FAILURE() << "the dialog is still open";
                form.reject();
            }
        });
        table.PromptForMasterPassword();
    }

    TMasterPwd_Form form{answers};
};

} // namespace

TEST_F(MasterPwdFormTest, ASixToSixteenCharacterPasswordTypedTwiceIsAccepted) {
    struct Case {
        std::string first;
        std::string second;
        std::string message; // "" when accepted
    };
    const Case cases[] = {
        {"abcde", "abcde", TooShort},
        {"0123456789abcdefg", "0123456789abcdefg", TooLong},
        {"abcdef", "abcdeF", Mismatch},
        {"abcdef", "abcdef", ""},
        {"0123456789abcdef", "0123456789abcdef", ""},
        {"\u5BC6\u78BC\u5BC6\u78BC\u5BC6", "\u5BC6\u78BC\u5BC6\u78BC\u5BC6", ""}, // 15 bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first + " / " + c.second);
        answers.shown.clear();
        Open();
        Submit(c.first, c.second);
        if (c.message.empty()) {
            EXPECT_TRUE(answers.shown.empty());
            EXPECT_TRUE(Accepted());
            // Without a database any well-formed password becomes the master password.
            EXPECT_EQ(Text(table.MasterPass.TypedPassword()), c.first);
            EXPECT_TRUE(form.Ui().MaskEdit1->text().isEmpty());
            continue;
        }
        ASSERT_EQ(answers.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(answers.shown[0].kind, MessageKind::Error);
        EXPECT_EQ(answers.shown[0].buttons, ButtonOk);
        // The dialog stays open with its boxes as they were.
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.Ui().MaskEdit1->text().toStdString(), c.first);
        EXPECT_EQ(form.Ui().MaskEdit2->text().toStdString(), c.second);
        form.Ui().SubmitLater_Button->click();
    }
}

TEST_F(MasterPwdFormTest, EnterInTheFirstBoxMovesOnAndAClickIntoTheSecondChecks) {
    Open();
    QTest::keyClicks(form.Ui().MaskEdit1, "abcdefgh");
    QTest::keyClick(form.Ui().MaskEdit1, Qt::Key_Return);
    EXPECT_EQ(form.focusWidget(), form.Ui().MaskEdit2);
    EXPECT_TRUE(answers.shown.empty());
    EXPECT_TRUE(form.isVisible());

    // Back in the first box, a click into the still empty confirmation box checks at once.
    form.Ui().MaskEdit1->setFocus();
    QTest::mouseClick(form.Ui().MaskEdit2, Qt::LeftButton);
    EXPECT_EQ(answers.Texts(), std::vector<std::string>{Mismatch});
    EXPECT_EQ(form.focusWidget(), form.Ui().MaskEdit2);

    QTest::keyClicks(form.Ui().MaskEdit2, "abcdefgh");
    QTest::keyClick(form.Ui().MaskEdit2, Qt::Key_Return);
    EXPECT_TRUE(Accepted());
}

TEST_F(MasterPwdFormTest, AWrongPasswordForAnExistingDatabaseIsRefusedAndTheDialogStays) {
    HoldMaster(Master);
    Store("/d/a", "stored-password"); // creates the database under Master
    table.MasterPass.HasPassword = false;

    Open();
    Submit("Not-The-One", "Not-The-One");
    EXPECT_EQ(answers.Texts(), std::vector<std::string>{Wrong});
    EXPECT_TRUE(form.isVisible());

    form.Ui().MaskEdit1->clear();
    form.Ui().MaskEdit2->clear();
    Submit(Master, Master);
    EXPECT_TRUE(Accepted());
    EXPECT_EQ(answers.shown.size(), 1u);
}

TEST_F(MasterPwdFormTest, EachButtonDecidesWhatBecomesOfTheDatabase) {
    RecordedEvents events;
    table.MasterPass.Events = &events;
    table.MasterPass.Expires = true;
    table.MasterPass.ExpireMinutes = 5;

    // Every showing starts with empty boxes and the focus in the first one.
    Prompt([&] {
        EXPECT_EQ(form.Ui().MaskEdit1->text(), "");
        EXPECT_EQ(form.focusWidget(), form.Ui().MaskEdit1);
        QTest::keyClicks(form.Ui().MaskEdit1, "left-behind");
        QTest::keyClick(&form, Qt::Key_Escape);
    });
    EXPECT_FALSE(table.MasterPass.HasPassword);
    EXPECT_TRUE(table.MasterPass.Store);

    Prompt([&] {
        EXPECT_EQ(form.Ui().MaskEdit1->text(), "");
        Submit("Brand-New-1", "Brand-New-1");
    });
    EXPECT_TRUE(table.MasterPass.HasPassword);
    EXPECT_EQ(events.log, (std::vector<std::string>{"timer on", "button on"}));

    Prompt([&] { form.Ui().SubmitLater_Button->click(); });
    EXPECT_FALSE(table.MasterPass.HasPassword);
    EXPECT_TRUE(table.MasterPass.Store);

    events.log.clear();
    Prompt([&] { form.Ui().NotUse_Button->click(); });
    EXPECT_FALSE(table.MasterPass.HasPassword);
    EXPECT_FALSE(table.MasterPass.Store);
    EXPECT_EQ(events.log, std::vector<std::string>{"switched off"});
    EXPECT_TRUE(answers.shown.empty());
}
