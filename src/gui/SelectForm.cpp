#include "gui/SelectForm.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "core/session/ReaderSession.h"
#include "gui/ReaderNameText.h"

TSelectDlg::TSelectDlg(ReaderSession& session, QWidget* mainWindow)
    : QDialog(nullptr), session_(session), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("SelectDlg"));
    setWindowTitle(QStringLiteral("Select Reader"));
    setFixedSize(367, 287);

    RdoGupSelectReader = new QGroupBox(QStringLiteral(" [ Reader Name ] "), this);
    RdoGupSelectReader->setObjectName(QStringLiteral("RdoGupSelectReader"));
    readerItems_ = new QVBoxLayout(RdoGupSelectReader);
    readerButtons_ = new QButtonGroup(this);

    LblNoReaderFound = new QLabel(QStringLiteral("No Reader Found"), this);
    LblNoReaderFound->setObjectName(QStringLiteral("LblNoReaderFound"));
    LblNoReaderFound->setAlignment(Qt::AlignCenter);
    LblNoReaderFound->setStyleSheet(
        QStringLiteral("color: red; font-size: 24pt; font-weight: bold;"));
    LblNoReaderFound->hide();

    OKButton = new QPushButton(QStringLiteral("&OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RdoGupSelectReader, 1);
    layout->addWidget(LblNoReaderFound, 1);
    layout->addLayout(buttons);
    setTabOrder(RdoGupSelectReader, OKButton);
    setTabOrder(OKButton, CancelButton);

    connect(OKButton, &QPushButton::clicked, this, &TSelectDlg::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TSelectDlg::CancelButtonClick);
}

// Minimising and restoring also arrive as (spontaneous) hide and show events; they neither
// give the main window back nor rebuild the list over the user's choice.
void TSelectDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TSelectDlg::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) {
        FormHide();
    }
}

// Esc and the close box hide the dialog like Cancel.
void TSelectDlg::reject() {
    CancelButtonClick();
}

void TSelectDlg::FormShow() {
    // Readers come and go: the table is read again for every showing.
    session_.RefreshReaders();
    for (QAbstractButton* item : readerButtons_->buttons()) {
        readerButtons_->removeButton(item);
        delete item;
    }
    if (session_.ReaderCount() != 0) {
        LblNoReaderFound->hide();
        RdoGupSelectReader->show();
        for (std::uint32_t i = 0; i < session_.ReaderCount(); ++i) {
            auto* item = new QRadioButton(ReaderNameText(session_.ReaderName(static_cast<int>(i))),
                                          RdoGupSelectReader);
            readerButtons_->addButton(item, static_cast<int>(i));
            readerItems_->addWidget(item);
            item->show();  // now, not later from the layout: the first item takes the focus
        }
        readerButtons_->button(0)->setChecked(true);
        // The reader list comes first in the tab order: it takes the focus, not OK.
        readerButtons_->button(0)->setFocus();
    } else {
        LblNoReaderFound->show();
        RdoGupSelectReader->hide();
    }
    mainWindow_->setEnabled(false);
}

void TSelectDlg::OKButtonClick() {
    const int chosen = readerButtons_->checkedId();
    // With no reader listed there is nothing to take: OK then closes like Cancel.
    if (session_.ReaderCount() == 0 || chosen < 0) {
        CancelButtonClick();
        return;
    }
    session_.SelectReader(chosen);
    hide();
    mainWindow_->setEnabled(true);
    emit ReaderChosen();
}

void TSelectDlg::CancelButtonClick() {
    hide();
    mainWindow_->setEnabled(true);
}

void TSelectDlg::FormHide() {
    mainWindow_->setEnabled(true);
}
