// The user's answers: message boxes and questions go through this one small interface, so that
// plain classes can ask without knowing about windows, the desktop program answers with modal
// boxes, the command line on the terminal, and tests from a script.
#pragma once

#include <string>

namespace qv {

enum class MessageKind {
    Error,        // an error box
    Information,  // an information box ("Overwrite?" questions)
    Confirmation, // any other question
};

// The buttons a box offers, combined with |, and the answer, which is one of them.
enum Button : unsigned {
    ButtonOk = 1,
    ButtonCancel = 2,
    ButtonYes = 4,
    ButtonNo = 8,
    ButtonAll = 16,
};

class UserAnswers {
public:
    virtual ~UserAnswers() = default;
    // Shows text in a modal box of the given kind with the given buttons and returns the button
    // chosen. A box closed without a choice answers Cancel when it offers Cancel, else its first
    // button.
    virtual Button Ask(MessageKind kind, const std::string& text, unsigned buttons) = 0;

    void ShowError(const std::string& text) { Ask(MessageKind::Error, text, ButtonOk); }
};

} // namespace qv
