#include "app/About.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TFrmAbout::TFrmAbout() : QDialog(nullptr) {
    setObjectName(QStringLiteral("FrmAbout"));
    setWindowTitle(QStringLiteral("About..."));
    auto* line1 = new QLabel(QStringLiteral("Zorv/Pellik PC/SC Series Smart Card Reader"), this);
    line1->setObjectName(QStringLiteral("Label1"));
    auto* line2 = new QLabel(QStringLiteral("Testing Program Version 4.0"), this);
    line2->setObjectName(QStringLiteral("Label2"));
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(line1, 0, Qt::AlignHCenter);
    layout->addWidget(line2, 0, Qt::AlignHCenter);
    layout->addSpacing(12);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setFixedSize(360, 150);
    FormCreate();
}

// Centres the box: each half of the free space truncated towards zero.
void TFrmAbout::FormCreate() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}
