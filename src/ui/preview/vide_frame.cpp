#include "ui/preview/vide_frame.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ui/kit/context_menu.h"

namespace velinor {

QString VideFrameText() {
    const QString accepted =
        QString::fromUtf8("Seuls les fichiers %s seront traités, les autres seront ignorés.<br><br>")
            .replace("%s", ".avi");
    return QString::fromUtf8(
               "Glissez par drag & drop un ou plusieurs fichiers sur cette fenêtre.<br><br>Vous pouvez aussi "
               "ouvrir ou coller des fichiers par la barre d'outils ou les menus. <br><br>On peut ouvrir "
               "tous "
               "les fichiers avi du système par Shift+Ctrl+F7.<br><br>") +
           accepted +
           QString::fromUtf8(
               "Tapez F10 pour modifier les Options, F11 pour voir l'A Propos.<br><br>"
               "Tapez F1 pour afficher la liste des commandes disponibles avec leurs raccourcis "
               "clavier, ou leurs mots-clés de script. ");
}

QPixmap VideFrameIllustration(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::white);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor navy(0, 0, 128), sky(166, 202, 240), grey(200, 200, 200);

    // A window with its side list and its black video area.
    const QRectF window(width * 0.08, height * 0.30, width * 0.84, height * 0.62);
    p.setPen(QPen(navy, 2));
    p.setBrush(QColor(236, 236, 236));
    p.drawRoundedRect(window, 6, 6);
    p.setBrush(sky);
    p.drawRect(QRectF(window.left(), window.top(), window.width(), height * 0.06));
    p.setBrush(Qt::white);
    const QRectF list(window.left() + 6, window.top() + height * 0.08, window.width() * 0.32,
                      window.height() - height * 0.10);
    p.drawRect(list);
    p.setPen(QPen(grey, 2));
    for (int i = 0; i < 5; ++i) {
        const qreal y = list.top() + 10 + i * 12;
        if (y < list.bottom() - 4) p.drawLine(QPointF(list.left() + 6, y), QPointF(list.right() - 6, y));
    }
    p.setPen(QPen(navy, 2));
    p.setBrush(Qt::black);
    const QRectF video(list.right() + 8, list.top(), window.right() - list.right() - 14, list.height());
    p.drawRect(video);

    // Two files on their way into the window, and the arrow of the drop.
    const auto file = [&](QPointF at, qreal angle) {
        p.save();
        p.translate(at);
        p.rotate(angle);
        const qreal w = width * 0.16, h = w * 1.3, fold = w * 0.3;
        QPainterPath sheet;
        sheet.moveTo(0, 0);
        sheet.lineTo(w - fold, 0);
        sheet.lineTo(w, fold);
        sheet.lineTo(w, h);
        sheet.lineTo(0, h);
        sheet.closeSubpath();
        p.setPen(QPen(navy, 2));
        p.setBrush(Qt::white);
        p.drawPath(sheet);
        p.drawLine(QPointF(w - fold, 0), QPointF(w - fold, fold));
        p.drawLine(QPointF(w - fold, fold), QPointF(w, fold));
        // A film strip on the sheet.
        p.setBrush(navy);
        p.drawRect(QRectF(w * 0.15, h * 0.45, w * 0.7, h * 0.3));
        p.setBrush(Qt::white);
        for (int i = 0; i < 4; ++i) p.drawRect(QRectF(w * (0.2 + i * 0.16), h * 0.48, w * 0.08, h * 0.05));
        p.restore();
    };
    file(QPointF(width * 0.16, height * 0.04), -12);
    file(QPointF(width * 0.34, height * 0.02), 8);
    p.setPen(QPen(navy, 3));
    const QPointF from(width * 0.62, height * 0.12), to(video.center().x(), video.top() - 6);
    p.drawLine(from, to);
    QPainterPath head;
    head.moveTo(to);
    head.lineTo(to + QPointF(-7, -12));
    head.lineTo(to + QPointF(7, -12));
    head.closeSubpath();
    p.setBrush(navy);
    p.drawPath(head);
    return pixmap;
}

TVideFrame::TVideFrame(QWidget* parent) : QFrame(parent) {
    setObjectName("VideFrame");
    setFixedSize(301, 467);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    linkEdit1_ = new QTextBrowser(this);
    linkEdit1_->setObjectName("LinkEdit1");
    linkEdit1_->setOpenLinks(false);
    linkEdit1_->setFrameShape(QFrame::NoFrame);
    linkEdit1_->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    linkEdit1_->setFocusPolicy(Qt::NoFocus);
    linkEdit1_->document()->setDefaultStyleSheet("a { color: navy; }");
    linkEdit1_->setHtml(VideFrameText());
    layout->addWidget(linkEdit1_, 1);
    image1_ = new QLabel(this);
    image1_->setObjectName("Image1");
    image1_->setPixmap(VideFrameIllustration(301, 220));
    image1_->setFixedHeight(220);
    layout->addWidget(image1_);
}

void TVideFrame::HideCaret() {
    linkEdit1_->setEnabled(false);
    linkEdit1_->setEnabled(true);
    linkEdit1_->clearFocus();
}

TVidePanel::TVidePanel(QWidget* parent) : QWidget(parent), frame_(new TVideFrame(this)) {
    setObjectName("VidePanel");
}

void TVidePanel::SetContextMenu(QMenu& menu) {
    AttachContextMenu(*this, menu);
    AttachContextMenu(*frame_, menu);
    AttachContextMenu(frame_->LinkEdit1(), menu);
    AttachContextMenu(frame_->Image1(), menu);
}

QSize TVidePanel::minimumSizeHint() const {
    return frame_->size();
}

void TVidePanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    frame_->move(std::max(0, (width() - frame_->width()) / 2),
                 std::max(0, (height() - frame_->height()) / 2));
}

}  // namespace velinor
