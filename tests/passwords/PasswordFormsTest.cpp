// The encryption and the decryption password dialogs, driven with keys and clicks.
#include "PasswordsSupport.h"
#include "TDecrypt.h"
#include "TEncrypt.h"
#include "TypeText.h"

#include "CryptFile.h"
#include "Pwd.h"

#include <QTest>
#include <QTimer>

#include <algorithm>

using namespace qv;
using namespace qvtest;

namespace {

PasswordDialogSetup EncryptSetup(std::int32_t method) {
    PasswordDialogSetup setup;
    setup.Directory = "/home/ann/Documents/Letters";
    setup.FileName = "to the bank.odt";
    setup.MethodName = MethodName(method);
    setup.EnterText = EncryptEnterText(method);
    setup.MaxLength = EncryptMaxLength(method);
    return setup;
}

PasswordDialogSetup DecryptSetup(const std::string& methodName) {
    PasswordDialogSetup setup;
    setup.Directory = "/home/ann";
    setup.FileName = "old.txt.cry";
    setup.MethodName = methodName;
    setup.EnterText = DecryptEnterText(methodName);
    setup.MaxLength = DecryptMaxLength;
    return setup;
}

// Shows a dialog without its modal loop, as Ask would, with the focus in the password box.
template <typename Dialog>
void Open(Dialog& dialog, const PasswordDialogSetup& setup) {
    dialog.Begin(setup);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ASSERT_EQ(dialog.focusWidget(), dialog.Ui().MaskEdit1);
}

const std::string Letters24 = "abcdefghijklmnopqrstuvwx";

} // namespace

TEST(TEncryptForm, ThePasswordMustFitTheMethodAndBeTypedTwiceAlike) {
    struct Case {
        std::int32_t method;
        std::string first;
        std::string second;
        std::string message; // "" when accepted
    };
    const Case cases[] = {
        {MethodIdea, "abcde", "abcde", EncryptTooFewMessage},
        {MethodIdea, "abcdef", "abcdef", ""},
        {MethodIdea, Letters24.substr(0, 16), Letters24.substr(0, 16), ""},
        {MethodIdea, Letters24.substr(0, 17), Letters24.substr(0, 17), EncryptTooManyMessage},
        {MethodIdea, "Secret-1", "secret-1", EncryptMismatchMessage}, // case counts
        {MethodDes, Letters24.substr(0, 8), Letters24.substr(0, 8), ""},
        {MethodDes, Letters24.substr(0, 9), Letters24.substr(0, 9), EncryptTooManyMessage},
        // Two CJK characters are six bytes, four are twelve: lengths count bytes.
        {MethodDes, "密碼", "密碼", ""},
        {MethodDes, "密碼密碼", "密碼密碼", EncryptTooManyMessage},
        {MethodTripleDes, Letters24, Letters24, ""},
        {MethodTripleDes, Letters24 + "y", Letters24 + "y", EncryptTooManyMessage},
    };
    ScriptedAnswers answers;
    TEncrypt dialog(answers);
    for (const Case& c : cases) {
        SCOPED_TRACE(MethodName(c.method) + " " + c.first + " / " + c.second);
        answers.shown.clear();
        Open(dialog, EncryptSetup(c.method));
        TypeInto(dialog.Ui().MaskEdit1, c.first);
        // Enter in the first box leads on to the confirmation box and checks nothing yet.
        QTest::keyClick(dialog.Ui().MaskEdit1, Qt::Key_Return);
        EXPECT_EQ(dialog.focusWidget(), dialog.Ui().MaskEdit2);
        EXPECT_TRUE(answers.shown.empty());
        TypeInto(dialog.Ui().MaskEdit2, c.second);
        QTest::keyClick(dialog.Ui().MaskEdit2, Qt::Key_Return);

        const PasswordDialogAnswer answer = dialog.TakeAnswer();
        if (c.message.empty()) {
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_TRUE(answers.shown.empty());
            EXPECT_EQ(answer.Result, PromptAnswer::Go);
            EXPECT_EQ(Text(answer.Password), c.first);
            // The boxes keep nothing of the password once it is taken.
            EXPECT_TRUE(dialog.Ui().MaskEdit1->text().isEmpty());
            EXPECT_TRUE(dialog.Ui().MaskEdit2->text().isEmpty());
        } else {
            ASSERT_EQ(answers.shown.size(), 1u);
            EXPECT_EQ(answers.shown[0].text, c.message);
            EXPECT_EQ(answers.shown[0].kind, MessageKind::Error);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.Ui().MaskEdit1->text(), QString::fromStdString(c.first));
            dialog.hide();
        }
    }
}

TEST(TDecryptForm, AnyMethodTakesSixToTwentyFourBytes) {
    struct Case {
        std::string method;
        std::string typed;
        std::string message;
    };
    const Case cases[] = {
        {"DES", "abcde", DecryptTooFewMessage},
        {"DES", Letters24, ""}, // longer than DES takes for new files
        {"IDEA", Letters24 + "y", DecryptTooManyMessage},
        {"-", "密碼", ""},
    };
    ScriptedAnswers answers;
    TDecrypt dialog(answers);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method + " " + c.typed);
        answers.shown.clear();
        Open(dialog, DecryptSetup(c.method));
        EXPECT_EQ(dialog.Ui().Enter_Label->text().toStdString(), DecryptEnterText(c.method));
        TypeInto(dialog.Ui().MaskEdit1, c.typed);
        QTest::keyClick(dialog.Ui().MaskEdit1, Qt::Key_Return);
        const PasswordDialogAnswer answer = dialog.TakeAnswer();
        if (c.message.empty()) {
            EXPECT_EQ(answer.Result, PromptAnswer::Go);
            EXPECT_EQ(Text(answer.Password), c.typed);
            EXPECT_TRUE(answers.shown.empty());
        } else {
            ASSERT_EQ(answers.Texts(), std::vector<std::string>{c.message});
            EXPECT_TRUE(dialog.isVisible());
            dialog.hide();
        }
    }
}

TEST(TEncryptForm, AClickIntoTheConfirmationBoxChecksAtOnce) {
    ScriptedAnswers answers;
    TEncrypt dialog(answers);
    Open(dialog, EncryptSetup(MethodIdea));
    TypeInto(dialog.Ui().MaskEdit1, "secret-12");
    QTest::mouseClick(dialog.Ui().MaskEdit2, Qt::LeftButton);
    EXPECT_EQ(answers.Texts(), std::vector<std::string>{EncryptMismatchMessage});
    EXPECT_TRUE(dialog.isVisible());

    TypeInto(dialog.Ui().MaskEdit2, "secret-12");
    QTest::mouseClick(dialog.Ui().MaskEdit2, Qt::LeftButton);
    EXPECT_EQ(dialog.TakeAnswer().Result, PromptAnswer::Go);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(TDecryptForm, AClickIntoAFilledPasswordBoxClosesWithOk) {
    ScriptedAnswers answers;
    TDecrypt dialog(answers);
    Open(dialog, DecryptSetup("IDEA"));
    TypeInto(dialog.Ui().MaskEdit1, "secret-12");
    QTest::mouseClick(dialog.Ui().MaskEdit1, Qt::LeftButton);
    EXPECT_EQ(dialog.TakeAnswer().Result, PromptAnswer::Go);
    EXPECT_TRUE(answers.shown.empty());
}

TEST(TEncryptForm, CancelEscAndCancelAllCloseWithTheirResults) {
    ScriptedAnswers answers;
    TEncrypt dialog(answers);
    EXPECT_FALSE(dialog.Ui().CancelAll->isVisibleTo(&dialog)) << "no run, nothing to cancel";
    dialog.ShowCancelAll(true);

    const std::pair<const char*, PromptAnswer> ways[] = {{"Esc", PromptAnswer::Skip},
                                                         {"Cancel", PromptAnswer::Skip},
                                                         {"Cancel all", PromptAnswer::CancelAll}};
    for (const auto& [way, result] : ways) {
        SCOPED_TRACE(way);
        Open(dialog, EncryptSetup(MethodIdea));
        TypeInto(dialog.Ui().MaskEdit1, "typed-but-not-taken");
        if (std::string(way) == "Esc")
            QTest::keyClick(dialog.Ui().MaskEdit1, Qt::Key_Escape);
        else
            QTest::mouseClick(std::string(way) == "Cancel" ? dialog.Ui().Button1
                                                           : dialog.Ui().CancelAll,
                              Qt::LeftButton);
        const PasswordDialogAnswer answer = dialog.TakeAnswer();
        EXPECT_EQ(answer.Result, result);
        EXPECT_TRUE(answer.Password.empty());
        EXPECT_TRUE(dialog.Ui().MaskEdit1->text().isEmpty());
        EXPECT_FALSE(dialog.isVisible());
    }
    dialog.ShowCancelAll(false);
    EXPECT_FALSE(dialog.Ui().CancelAll->isVisibleTo(&dialog));
}

TEST(TEncryptForm, TheCheckBoxesStartFromTheSetupAndAreTakenOverOnOk) {
    struct Case {
        bool listEnabled, listDefault, store;
    };
    const Case cases[] = {{true, true, true}, {true, false, false}, {false, true, true}};
    ScriptedAnswers answers;
    TEncrypt dialog(answers);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.listEnabled) + std::to_string(c.listDefault) +
                     std::to_string(c.store));
        PasswordDialogSetup setup = EncryptSetup(MethodIdea);
        setup.ListBoxEnabled = c.listEnabled;
        setup.ListBoxChecked = c.listDefault;
        setup.SaveBoxEnabled = c.store;
        Open(dialog, setup);
        const Ui::TEncrypt& ui = dialog.Ui();
        EXPECT_EQ(ui.OnePwdList_CheckBox->isEnabled(), c.listEnabled);
        EXPECT_EQ(ui.OnePwdList_CheckBox->isChecked(), c.listEnabled && c.listDefault);
        EXPECT_EQ(ui.SavePwd_CheckBox->isEnabled(), c.store);
        EXPECT_EQ(ui.SavePwd_CheckBox->isChecked(), c.store);
        EXPECT_TRUE(ui.MaskEdit1->text().isEmpty());
        EXPECT_TRUE(ui.MaskEdit2->text().isEmpty());
        EXPECT_EQ(ui.Method_Label->text(), "IDEA");
        EXPECT_EQ(ui.Enter_Label->text().toStdString(), EncryptEnterText(MethodIdea));
        // The path gives way from the front; the whole of it is the label's tip.
        EXPECT_TRUE(ui.FName_Label->text().startsWith("..."));
        EXPECT_TRUE(ui.FName_Label->text().endsWith("/Letters/to the bank.odt"));
        EXPECT_EQ(ui.FName_Label->toolTip(), "/home/ann/Documents/Letters/to the bank.odt");

        // A click on an enabled box gives the focus back to the password.
        if (c.listEnabled) {
            QTest::mouseClick(ui.OnePwdList_CheckBox, Qt::LeftButton);
            EXPECT_EQ(dialog.focusWidget(), ui.MaskEdit1);
        }
        TypeInto(ui.MaskEdit1, "secret-12");
        TypeInto(ui.MaskEdit2, "secret-12");
        QTest::keyClick(ui.MaskEdit2, Qt::Key_Return);
        const PasswordDialogAnswer answer = dialog.TakeAnswer();
        EXPECT_EQ(answer.Result, PromptAnswer::Go);
        EXPECT_EQ(answer.OnePerList, c.listEnabled && !c.listDefault);
        EXPECT_EQ(answer.SavePassword, c.store);
    }
}

TEST(TEncryptForm, AskRunsTheDialogModallyAndAnswers) {
    ScriptedAnswers answers;
    TEncrypt dialog(answers);
    QTimer::singleShot(0, &dialog, [&] {
        TypeInto(dialog.Ui().MaskEdit1, "modal-pass");
        TypeInto(dialog.Ui().MaskEdit2, "modal-pass");
        QTest::keyClick(dialog.Ui().MaskEdit2, Qt::Key_Return);
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            dialog.reject();
        }
    });
    const PasswordDialogAnswer answer = dialog.Ask(EncryptSetup(MethodIdea));
    EXPECT_EQ(answer.Result, PromptAnswer::Go);
    EXPECT_EQ(Text(answer.Password), "modal-pass");
}
