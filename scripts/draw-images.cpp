// Draws the program's two compiled-in images: img/icone (a Windows icon with
// 48x48, 32x32 and 16x16 images of 32 bits per pixel) and
// img/imagens/logo.png (2069x1000 RGBA); and the icon's three images as
// img/icone-48.png, img/icone-32.png and img/icone-16.png for the desktop's
// icon theme. Usage: draw-images <img directory>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

const int kIconSizes[] = {48, 32, 16};

// The motif: a sorting belt carrying seedlings over three bins of growing
// height, inside a green rounded square. Drawn in a 100x100 box.
void drawMotif(QPainter &p, const QRectF &box)
{
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 100.0, box.height() / 100.0);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient bg(0, 0, 0, 100);
    bg.setColorAt(0, QColor(76, 175, 80));
    bg.setColorAt(1, QColor(27, 94, 32));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(2, 2, 96, 96), 18, 18);

    // Belt.
    p.setBrush(QColor(240, 240, 240));
    p.drawRoundedRect(QRectF(12, 30, 76, 8), 4, 4);
    // Seedlings on the belt.
    for (int i = 0; i < 3; ++i) {
        const qreal x = 22 + i * 24;
        p.setPen(QPen(QColor(255, 235, 59), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x, 30), QPointF(x, 18));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 235, 59));
        QPainterPath leaf;
        leaf.moveTo(x, 20);
        leaf.quadTo(x - 10, 12, x - 8, 22);
        leaf.closeSubpath();
        leaf.moveTo(x, 20);
        leaf.quadTo(x + 10, 12, x + 8, 22);
        leaf.closeSubpath();
        p.drawPath(leaf);
    }
    // Bins: the classes.
    const QColor bins[3] = {QColor(255, 255, 255), QColor(200, 230, 201), QColor(129, 199, 132)};
    for (int i = 0; i < 3; ++i) {
        const qreal h = 18 + i * 12;
        p.setBrush(bins[i]);
        p.drawRoundedRect(QRectF(14 + i * 25, 88 - h, 20, h), 3, 3);
    }
    p.restore();
}

QImage motifImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    drawMotif(p, QRectF(0, 0, size, size));
    return image;
}

QImage logoImage()
{
    QImage image(2069, 1000, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawMotif(p, QRectF(60, 100, 800, 800));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(190);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(27, 94, 32));
    p.drawText(QRectF(920, 180, 1130, 640), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
               QString::fromUtf8("Gerador de Relatórios"));
    return image;
}

// A 32-bit BMP as stored inside an icon: header, bottom-up BGRA rows with
// the height doubled, then the 1-bit transparency mask.
QByteArray iconEntry(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const int maskStride = ((w + 31) / 32) * 4;
    out << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
        << quint32(w * h * 4 + maskStride * h) << qint32(0) << qint32(0) << quint32(0)
        << quint32(0);
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out << quint8(qBlue(line[x])) << quint8(qGreen(line[x])) << quint8(qRed(line[x]))
                << quint8(qAlpha(line[x]));
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.writeRawData(row.constData(), row.size());
    }
    return data;
}

bool writeIcon(const QString &path)
{
    QList<QByteArray> entries;
    for (int size : kIconSizes)
        entries << iconEntry(motifImage(size));

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(entries.size());
    quint32 offset = 6 + 16 * entries.size();
    for (int i = 0; i < entries.size(); ++i) {
        out << quint8(kIconSizes[i]) << quint8(kIconSizes[i]) << quint8(0) << quint8(0)
            << quint16(1) << quint16(32) << quint32(entries[i].size()) << quint32(offset);
        offset += entries[i].size();
    }
    for (const QByteArray &entry : entries)
        out.writeRawData(entry.constData(), entry.size());
    return out.status() == QDataStream::Ok && file.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw-images <img directory>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(QStringLiteral("imagens"));
    bool written = writeIcon(dir.filePath(QStringLiteral("icone")))
                   && logoImage().save(dir.filePath(QStringLiteral("imagens/logo.png")), "PNG");
    for (int size : kIconSizes)
        written = written
                  && motifImage(size).save(dir.filePath(QStringLiteral("icone-%1.png").arg(size)),
                                           "PNG");
    if (!written) {
        std::fprintf(stderr, "draw-images: could not write the images\n");
        return 1;
    }
    return 0;
}
