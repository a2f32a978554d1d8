// Typing into a text box as a user would.
#pragma once

#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <string>

namespace qvtest {

// Gives the box the focus and types text into it. QTest types Latin-1 only; other characters
// come as an input method commits them.
inline void TypeInto(QLineEdit* box, const std::string& text) {
    box->setFocus();
    const QString typed = QString::fromStdString(text);
    if (std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.unicode() < 0x80; }))
        QTest::keyClicks(box, typed);
    else
        box->insert(typed);
}

} // namespace qvtest
