// Draws the window's icons and logo with plain shapes, so that every image of the tool is our own.
// Usage: draw_images <output directory>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {
const QColor Ink(40, 48, 64);
const QColor Blue(33, 110, 196);
const QColor Green(46, 160, 67);
const QColor Red(206, 52, 52);
const QColor Amber(232, 160, 24);
const QColor Paper(250, 250, 250);

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void drawHandset(QPainter &p, const QRectF &r, const QColor &body)
{
    p.setPen(QPen(Ink, r.width() * 0.06));
    p.setBrush(body);
    p.drawRoundedRect(r, r.width() * 0.18, r.width() * 0.18);
    const QRectF screen = r.adjusted(r.width() * 0.14, r.height() * 0.12, -r.width() * 0.14, -r.height() * 0.22);
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRect(screen);
    p.setBrush(Ink);
    const qreal d = r.width() * 0.16;
    p.drawEllipse(QPointF(r.center().x(), r.bottom() - r.height() * 0.11), d / 2, d / 2);
}

QImage mainIcon(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    drawHandset(p, QRectF(16, 4, 32, 56), Blue);
    // Digits being written onto the screen.
    p.setPen(QPen(Blue, 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(25, 17 + i * 7), QPointF(i % 2 ? 35 : 39, 17 + i * 7));
    return image;
}

QImage logo()
{
    QImage image = canvas(220, 56);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawRoundedRect(QRectF(2, 2, 216, 52), 10, 10);
    drawHandset(p, QRectF(12, 9, 22, 38), Paper);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Paper);
    p.drawText(QRectF(44, 2, 170, 52), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("DoverAriz"));
    return image;
}

QImage gear()
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(24, 24);
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-4.5, -21, 9, 12), 2, 2);
        teeth.addPath(QTransform().rotate(i * 45).map(tooth));
    }
    QPainterPath ring;
    ring.addEllipse(QPointF(0, 0), 15, 15);
    QPainterPath hole;
    hole.addEllipse(QPointF(0, 0), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(96, 106, 120));
    p.drawPath(teeth.united(ring).subtracted(hole));
    return image;
}

QImage pencil()
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(24, 24);
    p.rotate(45);
    p.setPen(QPen(Ink, 1.5));
    p.setBrush(Amber);
    p.drawRect(QRectF(-5, -20, 10, 28));
    p.setBrush(QColor(240, 200, 150));
    QPolygonF tip;
    tip << QPointF(-5, 8) << QPointF(5, 8) << QPointF(0, 19);
    p.drawPolygon(tip);
    p.setBrush(Ink);
    QPolygonF lead;
    lead << QPointF(-1.8, 15) << QPointF(1.8, 15) << QPointF(0, 19);
    p.drawPolygon(lead);
    p.setBrush(Red);
    p.drawRect(QRectF(-5, -24, 10, 5));
    return image;
}

QImage magnifier()
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Ink, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(30, 30), QPointF(42, 42));
    p.setPen(QPen(Green, 4.5));
    p.setBrush(QColor(220, 240, 225));
    p.drawEllipse(QPointF(20, 20), 13, 13);
    return image;
}

QImage stopSign()
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const qreal a = qDegreesToRadians(22.5 + i * 45.0);
        octagon << QPointF(24 + 21 * qCos(a), 24 + 21 * qSin(a));
    }
    p.setPen(QPen(Paper, 2));
    p.setBrush(Red);
    p.drawPolygon(octagon);
    p.setPen(Qt::NoPen);
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(13, 20.5, 22, 7), 2, 2);
    return image;
}

QImage exitDoor()
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Ink, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF() << QPointF(26, 12) << QPointF(26, 6) << QPointF(6, 6) << QPointF(6, 42)
                               << QPointF(26, 42) << QPointF(26, 36));
    p.setPen(QPen(Red, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(16, 24), QPointF(42, 24));
    p.drawPolyline(QPolygonF() << QPointF(34, 16) << QPointF(42, 24) << QPointF(34, 32));
    return image;
}

QImage manual()
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(QPen(Ink, 2));
    p.setBrush(Blue);
    p.drawRoundedRect(QRectF(8, 4, 32, 40), 3, 3);
    p.setBrush(Paper);
    p.drawRect(QRectF(12, 38, 28, 4));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(26);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Paper);
    p.drawText(QRectF(8, 2, 32, 36), Qt::AlignCenter, QStringLiteral("?"));
    return image;
}

QImage info()
{
    QImage image = canvas(48, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawEllipse(QPointF(24, 24), 21, 21);
    p.setBrush(Paper);
    p.drawEllipse(QPointF(24, 13.5), 3.5, 3.5);
    p.drawRoundedRect(QRectF(20.5, 20, 7, 18), 2, 2);
    return image;
}

bool save(const QString &dir, const QString &name, const QImage &image)
{
    const QString path = QDir(dir).filePath(name);
    QImageWriter writer(path);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_images <output directory>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = QDir().mkpath(dir);
    ok = save(dir, QStringLiteral("MainWnd.ico"), mainIcon(48)) && ok;
    ok = save(dir, QStringLiteral("logo.png"), logo()) && ok;
    ok = save(dir, QStringLiteral("setup.png"), gear()) && ok;
    ok = save(dir, QStringLiteral("write.png"), pencil()) && ok;
    ok = save(dir, QStringLiteral("read.png"), magnifier()) && ok;
    ok = save(dir, QStringLiteral("quit.png"), stopSign()) && ok;
    ok = save(dir, QStringLiteral("close.png"), exitDoor()) && ok;
    ok = save(dir, QStringLiteral("user_mamual.png"), manual()) && ok;
    ok = save(dir, QStringLiteral("about.png"), info()) && ok;
    // The desktop entry's icon of the installed tool (not embedded).
    ok = save(dir, QStringLiteral("doverariz.png"), mainIcon(256)) && ok;
    return ok ? 0 : 1;
}
