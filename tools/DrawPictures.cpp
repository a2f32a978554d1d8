// Draws the program's pictures into PNG files: the tool-bar glyphs, the pictures above the file
// lists, the program icon and the crypted-file icon. The files are kept in resources/pictures;
// run this again after changing a drawing:
//   draw_pictures resources/pictures
//   draw_pictures --preview sheet.png      (every drawing large, to look at)
#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Drawing = std::function<void(QPainter&)>;

// Every drawing is made on a 100 by 100 canvas and scaled to the file's size.
bool Save(const QString& folder, const QString& name, int size, const Drawing& draw) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(size / 100.0, size / 100.0);
    draw(painter);
    painter.end();
    const QString path = QDir(folder).filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

void Page(QPainter& p, const QRectF& r, const QColor& paper, bool lines) {
    const qreal fold = r.width() * 0.3;
    QPainterPath page;
    page.moveTo(r.left(), r.top());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.right(), r.bottom());
    page.lineTo(r.left(), r.bottom());
    page.closeSubpath();
    QLinearGradient shade(r.topLeft(), r.bottomRight());
    shade.setColorAt(0, paper.lighter(110));
    shade.setColorAt(1, paper.darker(112));
    p.setPen(QPen(QColor(70, 80, 100), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(shade);
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(paper.darker(125));
    p.drawPath(corner);
    if (lines) {
        p.setPen(QPen(QColor(120, 130, 150), 3, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 4; ++i) {
            const qreal y = r.top() + fold + 8 + i * 10;
            if (y > r.bottom() - 6)
                break;
            p.drawLine(QPointF(r.left() + 8, y), QPointF(r.right() - 8 - (i % 2) * 8, y));
        }
    }
}

// A padlock in the rectangle; open with its shackle lifted and swung aside.
void Padlock(QPainter& p, const QRectF& r, bool open, const QColor& body) {
    const QRectF box(r.left(), r.top() + r.height() * 0.42, r.width(), r.height() * 0.58);
    const qreal shackleWidth = r.width() * 0.62;
    const qreal lift = open ? r.height() * 0.14 : 0;
    const qreal shift = open ? r.width() * 0.30 : 0;
    QRectF arc(r.center().x() - shackleWidth / 2 + shift, r.top() - lift, shackleWidth,
               r.height() * 0.75);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(60, 60, 70), r.width() * 0.17, Qt::SolidLine, Qt::FlatCap));
    QPainterPath shackle;
    shackle.moveTo(arc.left(), box.top() + (open ? -lift : 2));
    shackle.lineTo(arc.left(), arc.top() + arc.width() / 2);
    shackle.arcTo(QRectF(arc.left(), arc.top(), arc.width(), arc.width()), 180, -180);
    shackle.lineTo(arc.right(), box.top() + 2);
    p.drawPath(shackle);
    p.setPen(QPen(QColor(150, 150, 165), r.width() * 0.07, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(shackle);

    QLinearGradient metal(box.topLeft(), box.bottomLeft());
    metal.setColorAt(0, body.lighter(140));
    metal.setColorAt(0.5, body);
    metal.setColorAt(1, body.darker(150));
    p.setPen(QPen(body.darker(220), r.width() * 0.05));
    p.setBrush(metal);
    p.drawRoundedRect(box, r.width() * 0.12, r.width() * 0.12);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 30, 20));
    const QPointF hole(box.center().x(), box.center().y() - box.height() * 0.08);
    p.drawEllipse(hole, box.width() * 0.09, box.width() * 0.09);
    p.drawRect(
        QRectF(hole.x() - box.width() * 0.04, hole.y(), box.width() * 0.08, box.height() * 0.3));
}

void Key(QPainter& p, const QPointF& bow, qreal size, const QColor& colour) {
    p.save();
    p.translate(bow);
    p.rotate(-35);
    p.setPen(QPen(colour.darker(200), size * 0.06));
    QLinearGradient metal(QPointF(0, -size * 0.2), QPointF(0, size * 0.2));
    metal.setColorAt(0, colour.lighter(140));
    metal.setColorAt(1, colour.darker(130));
    p.setBrush(metal);
    QPainterPath key;
    key.addEllipse(QPointF(0, 0), size * 0.22, size * 0.22);
    key.addRect(QRectF(size * 0.18, -size * 0.07, size * 0.72, size * 0.14));
    key.addRect(QRectF(size * 0.62, size * 0.05, size * 0.1, size * 0.16));
    key.addRect(QRectF(size * 0.78, size * 0.05, size * 0.1, size * 0.22));
    p.drawPath(key.simplified());
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(-size * 0.06, 0), size * 0.07, size * 0.07);
    p.restore();
}

void Clock(QPainter& p, const QPointF& centre, qreal radius) {
    p.setPen(QPen(QColor(20, 50, 120), radius * 0.18));
    QRadialGradient face(centre, radius);
    face.setColorAt(0, Qt::white);
    face.setColorAt(1, QColor(200, 220, 255));
    p.setBrush(face);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(20, 30, 60), radius * 0.16, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(0, -radius * 0.62));
    p.drawLine(centre, centre + QPointF(radius * 0.48, 0));
}

const QColor Gold(222, 170, 40);
const QColor Steel(140, 160, 190);

void EncryptGlyph(QPainter& p) {
    Page(p, QRectF(6, 4, 56, 72), QColor(250, 250, 245), true);
    Padlock(p, QRectF(48, 40, 46, 56), false, Gold);
}

void DecryptGlyph(QPainter& p) {
    Page(p, QRectF(6, 4, 56, 72), QColor(250, 250, 245), true);
    Padlock(p, QRectF(46, 44, 46, 52), true, QColor(90, 170, 90));
}

void MasterExpireGlyph(QPainter& p) {
    Key(p, QPointF(26, 62), 78, Gold);
    Key(p, QPointF(18, 44), 60, QColor(200, 150, 40));
    Clock(p, QPointF(72, 70), 24);
}

void PwdExpireGlyph(QPainter& p) {
    Key(p, QPointF(24, 56), 84, Steel);
    Clock(p, QPointF(72, 70), 24);
}

void StopGlyph(QPainter& p) {
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = (22.5 + 45.0 * i) * M_PI / 180.0;
        octagon << QPointF(50 + 44 * std::cos(a), 50 + 44 * std::sin(a));
    }
    QRadialGradient red(QPointF(40, 35), 60);
    red.setColorAt(0, QColor(250, 90, 80));
    red.setColorAt(1, QColor(170, 10, 10));
    p.setPen(QPen(QColor(110, 0, 0), 4));
    p.setBrush(red);
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(24, 41, 52, 18), 4, 4);
}

void HelpGlyph(QPainter& p) {
    QRadialGradient blue(QPointF(38, 32), 62);
    blue.setColorAt(0, QColor(110, 170, 255));
    blue.setColorAt(1, QColor(20, 70, 170));
    p.setPen(QPen(QColor(10, 40, 110), 4));
    p.setBrush(blue);
    p.drawEllipse(QPointF(50, 50), 44, 44);
    QFont font("DejaVu Sans");
    font.setBold(true);
    font.setPixelSize(66);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 2, 100, 100), Qt::AlignCenter, "?");
}

// The pictures above the lists: plain files (an open lock) and crypted files (a closed one),
// each also in a highlighted form for the list that has the focus.
void ListPicture(QPainter& p, bool crypted, bool highlighted) {
    if (highlighted) {
        QRadialGradient glow(QPointF(50, 50), 52);
        glow.setColorAt(0, QColor(255, 240, 140, 230));
        glow.setColorAt(1, QColor(255, 200, 40, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(QPointF(50, 50), 50, 50);
    }
    Page(p, QRectF(10, 6, 54, 70), highlighted ? QColor(255, 255, 250) : QColor(232, 232, 228),
         true);
    const QColor lock = crypted ? (highlighted ? Gold : Gold.darker(125))
                                : (highlighted ? QColor(80, 180, 80) : QColor(90, 140, 90));
    Padlock(p, QRectF(50, 42, 44, 54), !crypted, lock);
}

void ProgramIcon(QPainter& p) {
    QPainterPath shield;
    shield.moveTo(50, 4);
    shield.cubicTo(70, 14, 84, 14, 92, 14);
    shield.cubicTo(92, 60, 78, 84, 50, 97);
    shield.cubicTo(22, 84, 8, 60, 8, 14);
    shield.cubicTo(16, 14, 30, 14, 50, 4);
    QLinearGradient blue(QPointF(0, 0), QPointF(100, 100));
    blue.setColorAt(0, QColor(60, 120, 220));
    blue.setColorAt(1, QColor(15, 40, 120));
    p.setPen(QPen(QColor(10, 25, 80), 3));
    p.setBrush(blue);
    p.drawPath(shield);
    Padlock(p, QRectF(28, 24, 44, 56), false, Gold);
}

void CryptedFileIcon(QPainter& p) {
    Page(p, QRectF(12, 3, 66, 88), QColor(248, 248, 242), true);
    Padlock(p, QRectF(44, 42, 50, 56), false, Gold);
}

void TipPicture(QPainter& p) {
    QRadialGradient glass(QPointF(44, 34), 40);
    glass.setColorAt(0, QColor(255, 255, 200));
    glass.setColorAt(1, QColor(250, 200, 30));
    p.setPen(QPen(QColor(150, 110, 0), 3));
    p.setBrush(glass);
    p.drawEllipse(QPointF(50, 38), 30, 30);
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(36, 66, 28, 22), 4, 4);
    p.setPen(QPen(QColor(90, 90, 100), 3));
    p.drawLine(QPointF(37, 74), QPointF(63, 74));
    p.drawLine(QPointF(37, 81), QPointF(63, 81));
}

struct Picture {
    QString name;
    int size;
    Drawing draw;
};

std::vector<Picture> Pictures() {
    std::vector<Picture> all = {
        {"encrypt.png", 24, EncryptGlyph},
        {"decrypt.png", 24, DecryptGlyph},
        {"master-expire.png", 24, MasterExpireGlyph},
        {"password-expire.png", 24, PwdExpireGlyph},
        {"stop.png", 24, StopGlyph},
        {"help.png", 24, HelpGlyph},
        {"plain-files.png", 24, [](QPainter& p) { ListPicture(p, false, false); }},
        {"plain-files-hl.png", 24, [](QPainter& p) { ListPicture(p, false, true); }},
        {"crypted-files.png", 24, [](QPainter& p) { ListPicture(p, true, false); }},
        {"crypted-files-hl.png", 24, [](QPainter& p) { ListPicture(p, true, true); }},
        {"tip.png", 32, TipPicture},
    };
    for (int size : {32, 64, 128, 256})
        all.push_back({QString("quorvane-%1.png").arg(size), size, ProgramIcon});
    for (int size : {32, 64, 256})
        all.push_back({QString("crypted-file-%1.png").arg(size), size, CryptedFileIcon});
    return all;
}

// One sheet with every drawing at 96 pixels beside its real size, for a person to look at.
bool SavePreview(const QString& path) {
    const auto all = Pictures();
    const int cell = 140;
    QImage sheet(cell * 6, cell * ((static_cast<int>(all.size()) + 5) / 6),
                 QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(236, 236, 236));
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const int x = static_cast<int>(i % 6) * cell;
        const int y = static_cast<int>(i / 6) * cell;
        painter.save();
        painter.translate(x + 4, y + 4);
        painter.scale(0.96, 0.96);
        all[i].draw(painter);
        painter.restore();
        QImage small(all[i].size, all[i].size, QImage::Format_ARGB32_Premultiplied);
        small.fill(Qt::transparent);
        QPainter sp(&small);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.scale(all[i].size / 100.0, all[i].size / 100.0);
        all[i].draw(sp);
        sp.end();
        painter.drawImage(x + 104, y + 104,
                          small.scaled(std::min(all[i].size, 32), std::min(all[i].size, 32)));
    }
    painter.end();
    return sheet.save(path, "PNG");
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == "--preview")
        return SavePreview(args[1]) ? 0 : 1;
    const QString folder = args.isEmpty() ? QString(".") : args[0];
    QDir().mkpath(folder);
    bool ok = true;
    for (const Picture& picture : Pictures())
        ok &= Save(folder, picture.name, picture.size, picture.draw);
    return ok ? 0 : 1;
}
