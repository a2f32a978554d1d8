#include "PanelBar.h"

#include <QLabel>
#include <QLayout>

#include <algorithm>

namespace qv {

PanelBar::PanelBar(QWidget* parent) : QFrame(parent) {}

QList<QLabel*> PanelBar::Panels() const {
    QList<QLabel*> panels;
    if (QLayout* box = layout())
        for (int i = 0; i < box->count(); ++i)
            if (auto* label = qobject_cast<QLabel*>(box->itemAt(i)->widget()))
                panels << label;
    return panels;
}

int PanelBar::PanelCount() const {
    return static_cast<int>(Panels().size());
}

QLabel* PanelBar::Panel(int index) const {
    const QList<QLabel*> panels = Panels();
    return index >= 0 && index < panels.size() ? panels[index] : nullptr;
}

QString PanelBar::PanelText(int index) const {
    const QLabel* panel = Panel(index);
    return panel ? panel->text() : QString();
}

void PanelBar::SetPanelText(int index, const QString& text) {
    if (QLabel* panel = Panel(index)) {
        panel->setText(text);
        emit PanelTextChanged(index, text);
    }
}

int PanelBar::PanelWidth(int index) const {
    const QLabel* panel = Panel(index);
    if (!panel)
        return 0;
    // A panel of fixed width tells it before the bar has been laid out.
    return panel->minimumWidth() == panel->maximumWidth() ? panel->maximumWidth() : panel->width();
}

void PanelBar::SetPanelWidth(int index, int width) {
    if (QLabel* panel = Panel(index))
        panel->setFixedWidth(std::max(width, 0));
}

void PanelBar::FillWithPanels(int width) {
    const QList<QLabel*> panels = Panels();
    if (panels.isEmpty())
        return;
    const int count = static_cast<int>(panels.size());
    const QLayout* box = layout();
    const QMargins margins = box->contentsMargins();
    const int spacing = std::max(box->spacing(), 0);
    const int room = width - margins.left() - margins.right() - count * spacing;
    for (QLabel* panel : panels)
        panel->setFixedWidth(std::max(room / count, 0));
}

} // namespace qv
