#pragma once

#include <QByteArray>
#include <QStatusBar>
#include <QString>
#include <cstdint>
#include <optional>

#include "insight/AtrList.h"

class QLabel;
class ReaderSession;

// The main window's status bar: on the left the card in the selected reader (its ATR, the
// active protocol and the card's name from the ATR list, the ATR decoded in the tooltip),
// or "No card" and the reader's name; on the right the outcome of the last exchange with a
// card or the SAM. It only shows what the session and the pages report.
class InsightBar : public QStatusBar {
    Q_OBJECT
  public:
    // Names cards from the ATR list at `atrListPath`.
    InsightBar(QWidget* parent, QString atrListPath);

    // Shows the selected reader's card as the session holds it. Cheap when nothing changed,
    // so that every tracking tick may call it; the ATR list is read on the first connect.
    void ShowCard(const ReaderSession& session);

    // Where the programs using PC/SC are looked for when a connect meets a sharing
    // violation; /proc by default.
    void SetProcessRoot(const QString& root) { processRoot_ = root; }

  public slots:
    void ShowExchangeStatus(const QString& text);

  private:
    // What the card label was drawn from.
    struct CardState {
        bool connected = false;
        QString readerName;
        QByteArray atr;
        std::uint32_t protocol = 0;
        bool operator==(const CardState&) const = default;
    };

    // On a connect refused with a sharing violation, names the other programs that use
    // PC/SC; looked up once per run of such refusals.
    void ShowReaderHolders(const ReaderSession& session);

    AtrList atrList_;
    QString processRoot_ = QStringLiteral("/proc");
    bool holdersShown_ = false;
    std::optional<CardState> shown_;
    QLabel* card_ = nullptr;
    QLabel* status_ = nullptr;
};
