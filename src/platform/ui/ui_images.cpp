#include "platform/ui/ui_images.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QSvgRenderer>

#include "res/resource.h"

namespace ckvd::ui {

namespace {

// A closed outline through `points`.
QPainterPath Outline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

// Every picture is drawn on a 16 x 16 grid and scaled.
void DrawDisc(QPainter& p) {
    QRadialGradient g(QPointF(6, 6), 9);
    g.setColorAt(0, QColor(250, 250, 255));
    g.setColorAt(0.5, QColor(190, 215, 240));
    g.setColorAt(1, QColor(215, 190, 235));
    p.setPen(QPen(QColor(90, 90, 110), 0.8));
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(QColor(235, 235, 235));
    p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(7, 7, 2, 2));
}

void DrawDrive(QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 0.8));
    QLinearGradient g(0, 4, 0, 13);
    g.setColorAt(0, QColor(225, 225, 225));
    g.setColorAt(1, QColor(150, 150, 150));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 4.5, 15, 8), 1.2, 1.2);
    p.setBrush(QColor(70, 70, 70));
    p.drawRect(QRectF(2.5, 7, 8, 1.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 60));
    p.drawRect(QRectF(12, 9.5, 2, 1.5));
}

void DrawFolder(QPainter& p, bool open) {
    p.setPen(QPen(QColor(150, 110, 20), 0.8));
    p.setBrush(QColor(240, 200, 90));
    const QPainterPath back = Outline({{1, 3}, {6, 3}, {7.5, 4.5}, {14.5, 4.5}, {14.5, 13.5}, {1, 13.5}});
    p.drawPath(back);
    p.setBrush(QColor(252, 225, 130));
    if (open) {
        const QPainterPath front = Outline({{3, 7}, {16, 7}, {14, 13.5}, {1, 13.5}});
        p.drawPath(front);
    } else {
        p.drawRect(QRectF(1, 6, 13.5, 7.5));
    }
}

void DrawBadge(QPainter& p, QColor fill, bool bubble) {
    p.setPen(QPen(fill.darker(150), 0.8));
    p.setBrush(fill);
    if (bubble) {
        QPainterPath b;
        b.addEllipse(QRectF(1, 1, 14, 11));
        const QPainterPath tail = Outline({{4, 10}, {3, 15}, {8, 11}});
        p.drawPath(b.united(tail));
    } else {
        p.drawEllipse(QRectF(1, 1, 14, 14));
    }
}

void DrawGlyph(QPainter& p, const QString& text, QRectF box, QColor colour) {
    QFont f("DejaVu Sans");
    f.setBold(true);
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

void DrawWarning(QPainter& p) {
    p.setPen(QPen(QColor(120, 90, 0), 0.8));
    p.setBrush(QColor(255, 210, 0));
    const QPainterPath t = Outline({{8, 1}, {15.5, 14.5}, {0.5, 14.5}});
    p.drawPath(t);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(7.2, 5, 1.6, 5.5));
    p.drawRect(QRectF(7.2, 11.5, 1.6, 1.6));
}

void DrawError(QPainter& p) {
    DrawBadge(p, QColor(210, 30, 30), false);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(11, 11));
    p.drawLine(QPointF(11, 5), QPointF(5, 11));
}

void DrawDocument(QPainter& p) {
    p.setPen(QPen(QColor(90, 90, 90), 0.8));
    p.setBrush(Qt::white);
    const QPainterPath page = Outline({{3, 1}, {10, 1}, {13.5, 4.5}, {13.5, 15}, {3, 15}});
    p.drawPath(page);
    p.setBrush(QColor(220, 220, 220));
    const QPainterPath corner = Outline({{10, 1}, {10, 4.5}, {13.5, 4.5}});
    p.drawPath(corner);
    p.setPen(QPen(QColor(150, 150, 170), 0.8));
    for (double y = 7; y <= 13; y += 2)
        p.drawLine(QPointF(5, y), QPointF(11.5, y));
}

} // namespace

QPixmap DrawImage(int index, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 16.0, size / 16.0);
    switch (index) {
    case IMG_CDDRIVE:
        DrawDrive(p);
        break;
    case IMG_CD:
        DrawDisc(p);
        break;
    case IMG_FOLDER_CLOSED:
        DrawFolder(p, false);
        break;
    case IMG_FOLDER_OPEN:
        DrawFolder(p, true);
        break;
    case IMG_ERROR:
        DrawError(p);
        break;
    case IMG_QUESTION:
        DrawBadge(p, QColor(60, 120, 220), true);
        DrawGlyph(p, "?", QRectF(1, 1, 14, 11), Qt::white);
        break;
    case IMG_WARNING:
        DrawWarning(p);
        break;
    case IMG_INFO:
        DrawBadge(p, QColor(60, 120, 220), true);
        DrawGlyph(p, "i", QRectF(1, 1, 14, 11), Qt::white);
        break;
    default:
        DrawDocument(p);
        break;
    }
    return pm;
}

std::vector<QIcon> MakeImageList(int size) {
    std::vector<QIcon> list;
    for (int i = 0; i < IMG_COUNT; ++i)
        list.emplace_back(DrawImage(i, size));
    return list;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.drawPixmap(0, 0, DrawImage(IMG_CD, size));
        p.drawPixmap(size / 2, size / 2, DrawImage(IMG_FOLDER_OPEN, size / 2));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon ViewStyleIcon(int command) {
    const char* file = nullptr;
    switch (command) {
    case ID_VIEW_LARGEICON:
        file = ":/icons/view-large-icons.svg";
        break;
    case ID_VIEW_SMALLICON:
        file = ":/icons/view-small-icons.svg";
        break;
    case ID_VIEW_LIST:
        file = ":/icons/view-list.svg";
        break;
    case ID_VIEW_DETAILS:
        file = ":/icons/view-details.svg";
        break;
    default:
        return {};
    }
    // The pictures' lines are drawn in the palette's text colour, so they stay visible on a dark tool bar.
    QFile source{QString(file)};
    if (!source.open(QIODevice::ReadOnly))
        return {};
    QByteArray text = source.readAll();
    text.replace("#3c3c3c", QGuiApplication::palette().color(QPalette::WindowText).name().toLatin1());
    QSvgRenderer svg{text};
    if (!svg.isValid())
        return {};
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        svg.render(&p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace ckvd::ui
