#include "gui/CardStatusForm.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>

namespace {

constexpr int kPictureWidth = 329;
constexpr int kPictureHeight = 155;

// A card beside a reader slot, with an arrow into the slot (insert) or out of it (eject),
// and the words under it.
QPixmap DrawCardPicture(const QString& words, bool intoSlot) {
    QPixmap picture(kPictureWidth, kPictureHeight);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    // Reader slot.
    painter.setPen(QPen(Qt::darkGray, 2));
    painter.setBrush(QColor(60, 60, 60));
    painter.drawRoundedRect(QRectF(200, 12, 110, 66), 8, 8);
    painter.setBrush(Qt::black);
    painter.drawRect(QRectF(200, 37, 12, 16));

    // Card with its contact plate.
    painter.setPen(QPen(QColor(0, 70, 140), 2));
    painter.setBrush(QColor(120, 170, 230));
    painter.drawRoundedRect(QRectF(20, 12, 110, 66), 6, 6);
    painter.setBrush(QColor(220, 190, 80));
    painter.drawRoundedRect(QRectF(35, 30, 24, 20), 3, 3);

    // Arrow between card and slot.
    painter.setPen(QPen(QColor(200, 30, 30), 4));
    const QPointF tail = intoSlot ? QPointF(138, 45) : QPointF(192, 45);
    const QPointF head = intoSlot ? QPointF(192, 45) : QPointF(138, 45);
    painter.drawLine(tail, head);
    const qreal dir = intoSlot ? -1 : 1;
    QPainterPath tip;
    tip.moveTo(head);
    tip.lineTo(head.x() + dir * 12, head.y() - 8);
    tip.lineTo(head.x() + dir * 12, head.y() + 8);
    tip.closeSubpath();
    painter.fillPath(tip, QColor(200, 30, 30));

    QFont font = painter.font();
    font.setPixelSize(26);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0, 0, 128));
    painter.drawText(QRect(0, 84, 321, 40), Qt::AlignCenter, words);
    return picture;
}

// The picture's label, named by its words; the picture itself is drawn when it is first shown.
QLabel* MakePicture(QWidget* parent, const QString& name, const QString& words) {
    auto* picture = new QLabel(parent);
    picture->setObjectName(name);
    picture->setAccessibleName(words);
    picture->setGeometry(0, 0, kPictureWidth, kPictureHeight);
    return picture;
}

// Drawing a picture loads a font of its own, which start-up need not wait for: most runs
// never show the window.
void ShowPicture(QLabel* picture, bool intoSlot) {
    if (picture->pixmap().isNull()) {
        picture->setPixmap(DrawCardPicture(picture->accessibleName(), intoSlot));
    }
    picture->show();
}

}  // namespace

TCardStatusDlg::TCardStatusDlg()
    : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("CardStatusDlg"));
    setWindowTitle(QStringLiteral("Card Tracking"));
    setFixedSize(321, 128);
    ImgInsertCard =
        MakePicture(this, QStringLiteral("ImgInsertCard"), QStringLiteral("Insert a Card"));
    ImgEjectCard =
        MakePicture(this, QStringLiteral("ImgEjectCard"), QStringLiteral("Eject the Card"));
    ImgEjectCard->hide();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void TCardStatusDlg::ShowInsertCard() {
    ShowPicture(ImgInsertCard, true);
    ImgEjectCard->hide();
    show();
}

void TCardStatusDlg::ShowEjectCard() {
    ImgInsertCard->hide();
    ShowPicture(ImgEjectCard, false);
    show();
}
