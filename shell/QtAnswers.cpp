#include "QtAnswers.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace qv {

Button QtAnswers::Ask(MessageKind kind, const std::string& text, unsigned buttons) {
    QMessageBox box(parent_);
    switch (kind) {
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        box.setWindowTitle("Error");
        break;
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        box.setWindowTitle("Information");
        break;
    case MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setWindowTitle("Confirm");
        break;
    }
    box.setText(QString::fromStdString(text));

    struct Choice {
        Button button;
        QAbstractButton* widget;
    };
    std::vector<Choice> choices;
    auto offer = [&](Button b, QMessageBox::StandardButton standard) {
        if (buttons & b)
            choices.push_back({b, box.addButton(standard)});
    };
    offer(ButtonOk, QMessageBox::Ok);
    offer(ButtonYes, QMessageBox::Yes);
    offer(ButtonNo, QMessageBox::No);
    if (buttons & ButtonAll)
        choices.push_back({ButtonAll, box.addButton("&All", QMessageBox::AcceptRole)});
    offer(ButtonCancel, QMessageBox::Cancel);
    if (choices.empty())
        choices.push_back({ButtonOk, box.addButton(QMessageBox::Ok)});

    // Escape and the close box count as Cancel where it is offered, else as the first button.
    Button escape = choices.front().button;
    for (const Choice& c : choices)
        if (c.button == ButtonCancel)
            escape = ButtonCancel;
    for (const Choice& c : choices)
        if (c.button == escape)
            box.setEscapeButton(c.widget);
    if (auto* first = qobject_cast<QPushButton*>(choices.front().widget))
        box.setDefaultButton(first);

    box.exec();
    for (const Choice& c : choices)
        if (box.clickedButton() == c.widget)
            return c.button;
    return escape;
}

} // namespace qv
