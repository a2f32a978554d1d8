// A status bar made of panels: sunken text fields of set widths, side by side. Its panels are
// the labels laid out inside it, in layout order.
#pragma once

#include <QFrame>

class QLabel;

namespace qv {

class PanelBar : public QFrame {
    Q_OBJECT

public:
    explicit PanelBar(QWidget* parent = nullptr);

    int PanelCount() const;
    QLabel* Panel(int index) const;
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString& text);
    int PanelWidth(int index) const;
    void SetPanelWidth(int index, int width);
    // Gives every panel one width, so that the panels with the spaces between them, the same
    // space after the last one and the bar's margins take width pixels: the last panel ends,
    // border and all, inside that room.
    void FillWithPanels(int width);

signals:
    // A panel was given a text, also the one it had.
    void PanelTextChanged(int index, const QString& text);

private:
    QList<QLabel*> Panels() const;
};

} // namespace qv
