// The user's answers through modal message boxes.
#pragma once

#include "UserAnswers.h"

class QWidget;

namespace qv {

class QtAnswers : public UserAnswers {
public:
    // Boxes are centred on the given window, or on the screen without one.
    void SetParentWindow(QWidget* window) { parent_ = window; }
    Button Ask(MessageKind kind, const std::string& text, unsigned buttons) override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace qv
