#include "gui/reply/ReplyFeed.h"

#include <algorithm>

void ReplyFeed::CardApduSent(const std::vector<std::uint8_t>&, const ApduReply& reply) {
    Take(tr("the CPU card page"), reply);
}

void ReplyFeed::SamApduSent(const ApduReply& reply) {
    Take(tr("the SAM page"), reply);
}

void ReplyFeed::ScriptReply(const std::vector<std::uint8_t>& reply) {
    Take(tr("a script run"), reply);
}

void ReplyFeed::Take(const QString& source, const ApduReply& reply) {
    if (reply.code != 0) {
        return;
    }
    // The library's length is not trusted past the buffer.
    const std::uint32_t length = std::min(reply.length, ApduBufferSize);
    Take(source, std::vector<std::uint8_t>(reply.bytes.begin(), reply.bytes.begin() + length));
}

void ReplyFeed::Take(const QString& source, std::vector<std::uint8_t> reply) {
    source_ = source;
    reply_ = std::move(reply);
    emit ReplyChanged();
}
