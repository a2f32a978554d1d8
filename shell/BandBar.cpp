#include "BandBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <qdrawutil.h>

#include <algorithm>

namespace qv {

namespace {

constexpr int RowPadding = 1;      // above and below a band's control
constexpr int ControlRightGap = 1; // between a band's control and its right border

} // namespace

BandBar::BandBar(QWidget* parent) : QFrame(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMouseTracking(true);
}

void BandBar::AddBand(QWidget* control, int width, bool startsRow) {
    Band band;
    band.width = std::max(width, MinBandWidth);
    band.startsRow = startsRow;
    bands_.push_back(band);
    SetBandControl(BandCount() - 1, control);
}

QWidget* BandBar::BandControl(int band) const {
    return band >= 0 && band < BandCount() ? bands_[static_cast<std::size_t>(band)].control
                                           : nullptr;
}

int BandBar::BandOf(const QWidget* control) const {
    for (int b = 0; b < BandCount(); ++b)
        if (control && bands_[static_cast<std::size_t>(b)].control == control)
            return b;
    return -1;
}

void BandBar::SetBandControl(int band, QWidget* control) {
    if (band < 0 || band >= BandCount())
        return;
    Band& target = bands_[static_cast<std::size_t>(band)];
    if (target.control == control)
        return;
    if (const int old = BandOf(control); old >= 0)
        bands_[static_cast<std::size_t>(old)].control = nullptr;
    if (target.control)
        target.control->hide();
    target.control = control;
    if (control) {
        if (control->parentWidget() != this)
            control->setParent(this);
        control->show();
    }
    Relayout();
    Changed();
}

bool BandBar::BandBreak(int band) const {
    return band >= 0 && band < BandCount() && bands_[static_cast<std::size_t>(band)].startsRow;
}

void BandBar::SetBandBreak(int band, bool startsRow) {
    if (band < 0 || band >= BandCount())
        return;
    bands_[static_cast<std::size_t>(band)].startsRow = startsRow;
    Relayout();
    Changed();
}

int BandBar::BandWidth(int band) const {
    return band >= 0 && band < BandCount() ? bands_[static_cast<std::size_t>(band)].width : 0;
}

void BandBar::SetBandWidth(int band, int width) {
    if (band < 0 || band >= BandCount())
        return;
    bands_[static_cast<std::size_t>(band)].width = std::max(width, MinBandWidth);
    Relayout();
    Changed();
}

std::vector<std::vector<int>> BandBar::Rows() const {
    std::vector<std::vector<int>> rows;
    for (int b = 0; b < BandCount(); ++b) {
        if (rows.empty() || bands_[static_cast<std::size_t>(b)].startsRow)
            rows.emplace_back();
        rows.back().push_back(b);
    }
    return rows;
}

int BandBar::RowCount() const {
    return static_cast<int>(Rows().size());
}

int BandBar::RowOf(int band) const {
    const auto rows = Rows();
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (std::find(rows[r].begin(), rows[r].end(), band) != rows[r].end())
            return static_cast<int>(r);
    return -1;
}

int BandBar::RowHeight() const {
    int height = MinBandHeight;
    for (const Band& band : bands_)
        if (band.control)
            height = std::max(height, band.control->sizeHint().height() + 2 * RowPadding);
    return height;
}

QRect BandBar::BandRect(int band) const {
    return band >= 0 && band < BandCount() ? bands_[static_cast<std::size_t>(band)].rect : QRect();
}

int BandBar::ControlRoom(int band) const {
    const QRect rect = BandRect(band);
    if (rect.isNull())
        return 0;
    const int right = std::min(rect.right(), contentsRect().right());
    return std::max(right - rect.left() + 1 - GripWidth - ControlRightGap, 0);
}

int BandBar::LeastWidth(int band) const {
    // A band never gets narrower than its control can be drawn (the method buttons would lose
    // their captions), nor narrower than a grip with a little room.
    const QWidget* control = bands_[static_cast<std::size_t>(band)].control;
    const int controlWidth =
        control ? control->minimumSizeHint().width() + GripWidth + ControlRightGap : 0;
    return std::max(MinBandWidth, controlWidth);
}

void BandBar::Relayout() {
    const QRect area = contentsRect();
    const int rowHeight = RowHeight();
    const auto rows = Rows();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto& row = rows[r];
        // Every band but the last keeps the width it asks for as long as the row has room; the
        // last one takes the rest. Without room, the bands before the last give way from the
        // right, down to their least width.
        std::vector<int> widths, least;
        for (int b : row) {
            least.push_back(LeastWidth(b));
            widths.push_back(std::max(bands_[static_cast<std::size_t>(b)].width, least.back()));
        }
        int taken = least.back();
        for (std::size_t i = 0; i + 1 < widths.size(); ++i)
            taken += widths[i];
        for (std::size_t i = widths.size() - 1; i-- > 0 && taken > area.width();) {
            const int give = std::min(taken - area.width(), widths[i] - least[i]);
            widths[i] -= give;
            taken -= give;
        }
        int x = area.left();
        const int y = area.top() + static_cast<int>(r) * rowHeight;
        for (std::size_t i = 0; i < row.size(); ++i) {
            const bool last = i + 1 == row.size();
            const int w = last ? std::max(area.right() + 1 - x, least[i]) : widths[i];
            Band& band = bands_[static_cast<std::size_t>(row[i])];
            band.rect = QRect(x, y, w, rowHeight);
            if (band.control)
                band.control->setGeometry(
                    band.rect.adjusted(GripWidth, RowPadding, -ControlRightGap, -RowPadding));
            x += w;
        }
    }
    update();
}

void BandBar::Changed() {
    updateGeometry();
    emit BandsChanged();
}

QSize BandBar::sizeHint() const {
    int width = 0;
    for (const auto& row : Rows()) {
        int rowWidth = 0;
        for (int b : row)
            rowWidth += bands_[static_cast<std::size_t>(b)].width;
        width = std::max(width, rowWidth);
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), RowCount() * RowHeight() + m.top() + m.bottom()};
}

QSize BandBar::minimumSizeHint() const {
    const QMargins m = contentsMargins();
    return {MinBandWidth + m.left() + m.right(), RowCount() * RowHeight() + m.top() + m.bottom()};
}

void BandBar::DropBand(int band, const QPoint& pos) {
    if (band < 0 || band >= BandCount())
        return;
    auto rows = Rows();
    const int sourceRow = RowOf(band);
    auto& source = rows[static_cast<std::size_t>(sourceRow)];
    const int sourcePlace =
        static_cast<int>(std::find(source.begin(), source.end(), band) - source.begin());
    const int top = contentsRect().top();
    const int rowCount = static_cast<int>(rows.size());
    int targetRow = pos.y() < top ? -1 : (pos.y() - top) / RowHeight();
    targetRow = std::min(targetRow, rowCount); // -1 and rowCount: a new row above or below

    // The place in a row: before the first band whose middle lies right of pos.
    auto placeIn = [&](const std::vector<int>& row) {
        int place = 0;
        for (int b : row)
            if (b != band && BandRect(b).center().x() < pos.x())
                ++place;
        return place;
    };

    if (targetRow == sourceRow && placeIn(source) == sourcePlace) {
        // Along its own row: the band's left edge goes to pos, the band before it follows.
        if (sourcePlace == 0)
            return;
        Band& before = bands_[static_cast<std::size_t>(source[sourcePlace - 1])];
        before.width = std::max(pos.x() - before.rect.left(), MinBandWidth);
        Relayout();
        Changed();
        return;
    }

    const int place = targetRow >= 0 && targetRow < rowCount
                          ? placeIn(rows[static_cast<std::size_t>(targetRow)])
                          : 0;
    source.erase(source.begin() + sourcePlace);
    if (source.empty()) {
        rows.erase(rows.begin() + sourceRow);
        if (targetRow > sourceRow)
            --targetRow;
    }
    if (targetRow < 0)
        rows.insert(rows.begin(), std::vector<int>{band});
    else if (targetRow >= static_cast<int>(rows.size()))
        rows.push_back({band});
    else {
        auto& row = rows[static_cast<std::size_t>(targetRow)];
        row.insert(row.begin() + std::min(place, static_cast<int>(row.size())), band);
    }

    std::vector<Band> reordered;
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) {
            Band moved = bands_[static_cast<std::size_t>(row[i])];
            moved.startsRow = i == 0;
            reordered.push_back(moved);
        }
    bands_ = std::move(reordered);
    Relayout();
    Changed();
}

int BandBar::GripAt(const QPoint& pos) const {
    for (int b = 0; b < BandCount(); ++b) {
        const QRect& r = bands_[static_cast<std::size_t>(b)].rect;
        if (QRect(r.left(), r.top(), GripWidth, r.height()).contains(pos))
            return b;
    }
    return -1;
}

void BandBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    Relayout();
    emit Resized();
}

bool BandBar::event(QEvent* event) {
    // A control's wish for another size arrives here, as the bar lays its bands out itself.
    if (event->type() == QEvent::LayoutRequest) {
        Relayout();
        updateGeometry();
    }
    return QFrame::event(event);
}

void BandBar::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    for (const Band& band : bands_) {
        qDrawShadePanel(&painter, band.rect, palette(), false, 1);
        QStyleOption grip;
        grip.initFrom(this);
        grip.rect =
            QRect(band.rect.left() + 2, band.rect.top() + 2, GripWidth - 3, band.rect.height() - 4);
        grip.state |= QStyle::State_Horizontal;
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &grip, &painter, this);
    }
}

void BandBar::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        dragged_ = GripAt(pos);
        if (dragged_ >= 0) {
            grabOffset_ = pos.x() - BandRect(dragged_).left();
            setCursor(Qt::SizeAllCursor);
            return;
        }
    }
    QFrame::mousePressEvent(event);
}

void BandBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragged_ < 0) {
        if (GripAt(event->position().toPoint()) >= 0)
            setCursor(Qt::OpenHandCursor);
        else
            unsetCursor();
    }
    QFrame::mouseMoveEvent(event);
}

void BandBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragged_ >= 0) {
        const int band = dragged_;
        dragged_ = -1;
        unsetCursor();
        const QPoint pos = event->position().toPoint();
        DropBand(band, QPoint(pos.x() - grabOffset_, pos.y()));
        return;
    }
    QFrame::mouseReleaseEvent(event);
}

} // namespace qv
