#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

#include "core/apdu/CardExchange.h"

// The last reply of the CPU card page, the SAM page or a script run, kept for the Reply window
// from the program's start, so that the window shows it even when opened afterwards. A failed
// transmit is no reply and leaves the last one as it is.
class ReplyFeed : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    const QString& Source() const { return source_; }
    const std::vector<std::uint8_t>& Reply() const { return reply_; }  // data and status word

  public slots:
    void CardApduSent(const std::vector<std::uint8_t>& command, const ApduReply& reply);
    void SamApduSent(const ApduReply& reply);
    void ScriptReply(const std::vector<std::uint8_t>& reply);

  signals:
    void ReplyChanged();

  private:
    void Take(const QString& source, const ApduReply& reply);
    void Take(const QString& source, std::vector<std::uint8_t> reply);

    QString source_;
    std::vector<std::uint8_t> reply_;
};
