#include "app/InsightBar.h"

#include <unistd.h>
#include <QLabel>
#include <algorithm>
#include <utility>

#include "core/session/PcscClients.h"
#include "core/session/ReaderSession.h"
#include "gui/ReaderNameText.h"
#include "insight/InsightText.h"

InsightBar::InsightBar(QWidget* parent, QString atrListPath)
    : QStatusBar(parent), atrList_(std::move(atrListPath)) {
    setObjectName(QStringLiteral("InsightBar"));
    card_ = new QLabel(this);
    card_->setObjectName(QStringLiteral("InsightCard"));
    // A long card name must not widen the window: the label takes the room there is.
    card_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    card_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("InsightStatus"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addWidget(card_, 1);
    addPermanentWidget(status_);
}

void InsightBar::ShowCard(const ReaderSession& session) {
    ShowReaderHolders(session);
    CardState state;
    state.connected = session.CardConnected();
    state.readerName = ReaderNameText(session.SelectedReaderName());
    static const ReaderState kNoReader{};
    const ReaderState& record =
        session.SelectedReaderState() != nullptr ? *session.SelectedReaderState() : kNoReader;
    const std::uint32_t atrLength =
        std::min<std::uint32_t>(record.atrLength, static_cast<std::uint32_t>(sizeof record.atr));
    if (state.connected) {
        state.atr = QByteArray(reinterpret_cast<const char*>(record.atr),
                               static_cast<qsizetype>(atrLength));
        state.protocol = session.SelectedProtocol();
    }
    if (shown_ == state) {
        return;
    }
    const bool newCard = state.connected && !(shown_ && shown_->connected);
    shown_ = state;
    if (!state.connected) {
        card_->setText(NoCardText(state.readerName));
        card_->setToolTip(QString());
        return;
    }
    // The last exchange's status word belonged to the card before this one.
    if (newCard) {
        status_->clear();
    }
    const auto match = atrList_.Identify(record.atr, atrLength);
    card_->setText(CardSummaryText(record.atr, atrLength, state.protocol, match));
    card_->setToolTip(AtrToolTipText(record.atr, atrLength, match));
}

void InsightBar::ShowReaderHolders(const ReaderSession& session) {
    const bool sharing =
        session.ConnectFailed() && session.ConnectFailCode() == pcsc_codes::kSharingViolation;
    if (sharing == holdersShown_) {
        return;
    }
    holdersShown_ = sharing;
    if (!sharing) {
        return;
    }
    const auto clients = FindPcscClients(processRoot_.toStdString(), static_cast<int>(getpid()));
    status_->setText(clients.empty()
                         ? tr("SCARD_E_SHARING_VIOLATION: no other program using PC/SC found")
                         : tr("SCARD_E_SHARING_VIOLATION: held by %1")
                               .arg(QString::fromStdString(PcscClientsText(clients))));
}

void InsightBar::ShowExchangeStatus(const QString& text) {
    status_->setText(text);
}
