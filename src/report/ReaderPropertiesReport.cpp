#include "report/ReaderPropertiesReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "insight/PcscCodeNames.h"

namespace {

constexpr const char* kSections[] = {"Attributes", "Features", "TLV properties", "PIN properties",
                                     "State"};

}  // namespace

std::string ReaderReportText(const ReaderReport& report) {
    std::string text = "Reader: " + report.reader + "\n";
    if (report.openCode != 0) {
        return text + "Connect failed: " + PcscCodeText(report.openCode) + "\n";
    }
    for (const char* section : kSections) {
        bool first = true;
        for (const ReaderReportRow& row : report.rows) {
            if (row.section != section) {
                continue;
            }
            if (first) {
                text += std::string("\n") + section + "\n";
                first = false;
            }
            text += "  " + (row.name.empty() ? std::string() : row.name + ": ") + row.value + "\n";
        }
    }
    return text;
}

std::string ReaderReportJson(const ReaderReport& report) {
    QJsonObject root;
    root.insert(QStringLiteral("reader"), QString::fromStdString(report.reader));
    if (report.openCode != 0) {
        root.insert(QStringLiteral("error"), QString::fromStdString(PcscCodeText(report.openCode)));
    }
    for (const char* section : kSections) {
        QJsonObject object;
        for (const ReaderReportRow& row : report.rows) {
            if (row.section == section) {
                object.insert(QString::fromStdString(row.name.empty() ? "value" : row.name),
                              QString::fromStdString(row.value));
            }
        }
        if (!object.isEmpty()) {
            root.insert(QString::fromLatin1(section), object);
        }
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}
