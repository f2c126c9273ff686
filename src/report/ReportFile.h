#pragma once

class QByteArray;
class QString;

// Writes a report whole or not at all: the bytes go to a temporary file that replaces `path`
// only once everything is written. False with the reason in `error` otherwise.
bool SaveReportFile(const QString& path, const QByteArray& bytes, QString& error);
