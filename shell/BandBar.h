// A band bar: bands in rows at the bottom of the main window, each holding one control behind a
// grip. The user drags a grip to move its band to another place or row, or along its row to
// change the width of the band before it. The bar is as high as its rows; all rows are equally
// high. Band order, row breaks and widths can be read and set, so the layout can be saved.
#pragma once

#include <QFrame>

#include <vector>

namespace qv {

class BandBar : public QFrame {
    Q_OBJECT

public:
    static constexpr int MinBandHeight = 20;
    static constexpr int GripWidth = 9;
    static constexpr int MinBandWidth = GripWidth + 16;

    explicit BandBar(QWidget* parent = nullptr);

    // Adds a band at the end. The control (which may be null) becomes a child of the bar.
    void AddBand(QWidget* control, int width, bool startsRow);

    int BandCount() const { return static_cast<int>(bands_.size()); }
    QWidget* BandControl(int band) const;
    // Puts the control into the band; it leaves the band it was in. Null empties the band. A
    // control that no band holds any more is hidden.
    void SetBandControl(int band, QWidget* control);
    int BandOf(const QWidget* control) const;

    bool BandBreak(int band) const;
    void SetBandBreak(int band, bool startsRow);
    int BandWidth(int band) const;
    void SetBandWidth(int band, int width);

    int RowCount() const;
    int RowOf(int band) const;
    int RowHeight() const;
    // The least width of a band: its control's least width with the grip, and never below
    // MinBandWidth.
    int LeastWidth(int band) const;
    // Where the band is drawn, after the last layout.
    QRect BandRect(int band) const;
    // The width the band's control has in view after the last layout: the band's width less
    // its grip and its right border, cut at the bar's right edge.
    int ControlRoom(int band) const;

    // Moves a band as the user does by dropping its grip at pos (in the bar's coordinates):
    // onto another row or place, above or below all rows into a new row of its own, or along
    // its own row, which sets the width of the band before it.
    void DropBand(int band, const QPoint& pos);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The bands were moved or resized, or got other controls.
    void BandsChanged();
    // The bar's height or width changed.
    void Resized();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Band {
        QWidget* control = nullptr;
        int width = 0;          // the width asked for; the last band of a row takes the rest
        bool startsRow = false; // ignored for the first band
        QRect rect;
    };

    std::vector<std::vector<int>> Rows() const;
    void Relayout();
    void Changed();
    int GripAt(const QPoint& pos) const;

    std::vector<Band> bands_;
    int dragged_ = -1;
    int grabOffset_ = 0; // from the band's left edge to where its grip was taken
};

} // namespace qv
