#include "report/ReportFile.h"

#include <QSaveFile>

bool SaveReportFile(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.write(bytes);
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
