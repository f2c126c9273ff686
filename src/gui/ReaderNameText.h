#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// A reader name, or a text holding one, as the PC/SC service hands it out: UTF-8. Every
// window decodes names here, so that a reader is called the same everywhere. A name cut
// to a shown length may end inside a character: that character is left out rather than
// shown as a replacement mark. Null is the empty text.
inline QString ReaderNameText(const char* name) {
    if (name == nullptr) {
        return QString();
    }
    // Not flushed: an incomplete last character stays in the decoder.
    QStringDecoder decoder(QStringDecoder::Utf8);
    return decoder.decode(QByteArrayView(name));
}
