// The catalogue's images: simple glyphs drawn with QPainter on a 32 x 32 grid, so that nothing
// is taken from another program's image set.
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include "actions/main_catalogue.h"
#include "ui/binding/action_binding.h"

namespace velinor {

namespace {

constexpr int kGrid = 32;

const QColor kInk(40, 40, 40);
const QColor kFolder(230, 180, 60);
const QColor kPaper(250, 250, 245);
const QColor kBlue(50, 110, 200);
const QColor kGreen(40, 150, 60);
const QColor kRed(200, 50, 40);

void Folder(QPainter& p, const QColor& fill) {
    QPainterPath path;
    path.moveTo(3, 9);
    path.lineTo(12, 9);
    path.lineTo(15, 12);
    path.lineTo(29, 12);
    path.lineTo(29, 27);
    path.lineTo(3, 27);
    path.closeSubpath();
    p.setBrush(fill);
    p.drawPath(path);
}

void Page(QPainter& p, int x, int y, int w, int h) {
    p.setBrush(kPaper);
    p.drawRect(x, y, w, h);
    for (int line = y + 5; line < y + h - 2; line += 4) p.drawLine(x + 3, line, x + w - 3, line);
}

void Letter(QPainter& p, const QString& text, const QColor& color, int pixelSize = 18) {
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(pixelSize);
    p.setFont(f);
    p.setPen(color);
    p.drawText(QRect(0, 0, kGrid, kGrid), Qt::AlignCenter, text);
    p.setPen(QPen(kInk, 1.5));
}

void Cross(QPainter& p, const QColor& color, QRectF r) {
    p.setPen(QPen(color, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
    p.setPen(QPen(kInk, 1.5));
}

void Speaker(QPainter& p) {
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF(
        {QPointF(4, 12), QPointF(9, 12), QPointF(16, 6), QPointF(16, 26), QPointF(9, 20), QPointF(4, 20)}));
}

void Screen(QPainter& p) {
    p.setBrush(QColor(30, 60, 110));
    p.drawRect(3, 6, 26, 18);
    p.drawLine(16, 24, 16, 28);
    p.drawLine(10, 28, 22, 28);
}

void Draw(QPainter& p, CatalogueImage image) {
    using I = CatalogueImage;
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 1.5));
    switch (image) {
        case I::OpenFolder:
            Folder(p, kFolder);
            break;
        case I::OpenFiles:
            Page(p, 8, 3, 17, 24);
            break;
        case I::PasteFiles:
            p.setBrush(QColor(190, 140, 90));
            p.drawRect(5, 5, 18, 24);
            Page(p, 13, 11, 15, 18);
            break;
        case I::PreferredFolder:
            Folder(p, kFolder);
            p.setBrush(kRed);
            p.drawEllipse(QPointF(21, 20), 4, 4);
            break;
        case I::OpenPlayList:
        case I::SavePlayList:
            for (int y = 7; y <= 23; y += 8) {
                p.setBrush(kBlue);
                p.drawRect(4, y - 2, 4, 4);
                p.drawLine(11, y, 28, y);
            }
            if (image == I::SavePlayList) {
                p.setBrush(kGreen);
                p.drawPolygon(QPolygonF({QPointF(20, 22), QPointF(28, 22), QPointF(24, 29)}));
            }
            break;
        case I::ClearList:
            Page(p, 6, 3, 18, 24);
            Cross(p, kRed, QRectF(14, 14, 14, 14));
            break;
        case I::SelectAll:
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(kInk, 1.5, Qt::DashLine));
            p.drawRect(4, 4, 24, 24);
            p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawPolyline(QPolygonF({QPointF(9, 16), QPointF(14, 22), QPointF(23, 10)}));
            break;
        case I::SoundOn:
            Speaker(p);
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(14, 10, 8, 12), -60 * 16, 120 * 16);
            p.drawArc(QRectF(14, 6, 14, 20), -60 * 16, 120 * 16);
            break;
        case I::SoundOff:
            Speaker(p);
            Cross(p, kRed, QRectF(20, 11, 9, 10));
            break;
        case I::OverlayShow:
        case I::OverlayHide:
            Screen(p);
            p.setBrush(QColor(255, 255, 255));
            p.drawRect(6, 17, 14, 4);
            if (image == I::OverlayHide) Cross(p, kRed, QRectF(18, 4, 10, 10));
            break;
        case I::Deinterlace:
            for (int y = 6; y <= 26; y += 4) {
                p.setPen(QPen(y % 8 == 6 ? kBlue : kInk, 2));
                p.drawLine(4, y, 28, y);
            }
            break;
        case I::Fullscreen:
        case I::LeaveFullscreen: {
            p.setBrush(Qt::NoBrush);
            p.drawRect(3, 3, 26, 26);
            p.setPen(QPen(kBlue, 2.5));
            const bool out = image == I::Fullscreen;
            const qreal a = out ? 6 : 12, b = out ? 12 : 6;
            p.drawLine(QPointF(a, a), QPointF(b, b));
            p.drawLine(QPointF(kGrid - a, kGrid - a), QPointF(kGrid - b, kGrid - b));
            break;
        }
        case I::ParentFolder:
            Folder(p, kFolder);
            p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(16, 24, 16, 15);
            p.drawPolyline(QPolygonF({QPointF(12, 19), QPointF(16, 15), QPointF(20, 19)}));
            break;
        case I::TimeShift:
            p.setBrush(kPaper);
            p.drawEllipse(QPointF(16, 16), 12, 12);
            p.drawLine(16, 16, 16, 8);
            p.drawLine(16, 16, 22, 19);
            break;
        case I::EditScenes:
            for (int x = 3; x <= 21; x += 9) {
                p.setBrush(QColor(120, 160, 220));
                p.drawRect(x, 9, 8, 14);
            }
            break;
        case I::EditOverlay:
            Screen(p);
            p.setPen(QPen(kFolder, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(10, 20, 22, 9);
            break;
        case I::InsertScene:
            Letter(p, QStringLiteral("+"), kGreen, 26);
            break;
        case I::DeleteScene:
            Letter(p, QStringLiteral("\u2212"), kRed, 26);
            break;
        case I::Title:
            Letter(p, QStringLiteral("T"), kBlue);
            break;
        case I::SaveScenes:
            p.setBrush(kBlue);
            p.drawRect(4, 4, 24, 24);
            p.setBrush(kPaper);
            p.drawRect(9, 4, 14, 9);
            p.drawRect(8, 18, 16, 10);
            break;
        case I::Help:
            Letter(p, QStringLiteral("?"), kBlue, 24);
            break;
        case I::Options:
            p.setBrush(QColor(150, 150, 150));
            p.drawEllipse(QPointF(16, 16), 11, 11);
            p.setBrush(kPaper);
            p.drawEllipse(QPointF(16, 16), 4, 4);
            break;
        case I::Script:
            Page(p, 6, 3, 20, 26);
            Letter(p, QStringLiteral("{ }"), kGreen, 11);
            break;
        case I::About:
            p.setBrush(kBlue);
            p.drawEllipse(QPointF(16, 16), 12, 12);
            Letter(p, QStringLiteral("i"), Qt::white, 18);
            break;
        case I::Quit:
            p.setBrush(kRed);
            p.drawRoundedRect(4, 4, 24, 24, 4, 4);
            Cross(p, Qt::white, QRectF(10, 10, 12, 12));
            break;
        case I::ExportExcel:
            p.setBrush(kPaper);
            p.drawRect(4, 4, 24, 24);
            for (int i = 10; i < 28; i += 6) {
                p.drawLine(4, i, 28, i);
                p.drawLine(i, 4, i, 28);
            }
            p.setBrush(kGreen);
            p.drawRect(4, 4, 24, 6);
            break;
        case I::Play:
            p.setBrush(kGreen);
            p.drawPolygon(QPolygonF({QPointF(9, 5), QPointF(26, 16), QPointF(9, 27)}));
            break;
        case I::Pause:
            p.setBrush(kBlue);
            p.drawRect(8, 6, 6, 20);
            p.drawRect(18, 6, 6, 20);
            break;
        case I::WebPage:
            p.setBrush(QColor(120, 180, 230));
            p.drawEllipse(QPointF(16, 16), 12, 12);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QPointF(16, 16), 5, 12);
            p.drawLine(4, 16, 28, 16);
            break;
        case I::EMail:
            p.setBrush(kPaper);
            p.drawRect(3, 8, 26, 17);
            p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(16, 18), QPointF(29, 8)}));
            break;
        case I::None:
        case I::Count:
            break;
    }
}

}  // namespace

QIcon CatalogueIcon(int imageIndex) {
    if (imageIndex < 0 || imageIndex >= static_cast<int>(CatalogueImage::Count)) return {};
    static QHash<int, QIcon> cache;
    if (const auto it = cache.constFind(imageIndex); it != cache.constEnd()) return *it;
    QPixmap pixmap(kGrid, kGrid);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        Draw(painter, static_cast<CatalogueImage>(imageIndex));
    }
    QIcon icon(pixmap);
    cache.insert(imageIndex, icon);
    return icon;
}

}  // namespace velinor
