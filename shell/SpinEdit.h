// A spin field of minutes as the preferences take them: any text may be typed; on leaving the
// field, text that is not a number counts as 0 and a number beyond 0 to 600 is brought to the
// nearer bound.
#pragma once

#include "Preferences.h"

#include <QSpinBox>

class SpinEdit : public QSpinBox {
    Q_OBJECT

public:
    explicit SpinEdit(QWidget* parent = nullptr) : QSpinBox(parent) {
        setRange(qv::SpinMinimum, qv::SpinMaximum);
    }

protected:
    QValidator::State validate(QString& text, int&) const override {
        bool number = false;
        const int value = text.toInt(&number);
        return number && value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                                  : QValidator::Intermediate;
    }
    void fixup(QString& text) const override {
        text = QString::number(qv::SpinValue(text.toStdString()));
    }
    int valueFromText(const QString& text) const override {
        return qv::SpinValue(text.toStdString());
    }
};
