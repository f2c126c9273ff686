#include "gui/reply/ReplyWindow.h"

#include <QBoxLayout>
#include <QLabel>
#include <QShowEvent>

#include "core/common/Conversions.h"
#include "gui/reply/ReplyFeed.h"
#include "gui/reply/TlvView.h"

ReplyWindow::ReplyWindow(const ReplyFeed& feed) : feed_(feed) {
    setObjectName(QStringLiteral("ReplyWindow"));
    setWindowTitle(tr("Reply"));
    source_ = new QLabel(this);
    source_->setObjectName(QStringLiteral("ReplySource"));
    view_ = new TlvView(this);
    view_->setObjectName(QStringLiteral("ReplyView"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source_);
    layout->addWidget(view_, 1);
    resize(760, 380);
    connect(&feed_, &ReplyFeed::ReplyChanged, this, &ReplyWindow::FeedChanged);
}

void ReplyWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_) {
        ShowLastReply();
    }
}

void ReplyWindow::FeedChanged() {
    stale_ = true;
    if (isVisible()) {
        ShowLastReply();
    }
}

void ReplyWindow::ShowLastReply() {
    stale_ = false;
    const std::vector<std::uint8_t>& reply = feed_.Reply();
    if (feed_.Source().isEmpty()) {
        source_->setText(tr("No reply yet."));
    } else if (reply.size() < 2) {
        source_->setText(tr("From %1, no status word").arg(feed_.Source()));
    } else {
        const std::uint8_t* sw = reply.data() + reply.size() - 2;
        source_->setText(
            tr("From %1, SW %2")
                .arg(feed_.Source(), QString::fromStdString(BytesToHexText(sw, 2)).trimmed()));
    }
    view_->ShowReply(reply);
}
