#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// An ATR list the test writes, handed to the windows through `Platform` so that no test
// reads the host's list: it names vsmartcard's virtual card and the simulated storage
// cards, and nothing else.
class TestAtrList {
  public:
    static constexpr const char* kStorageCardName = "Storage card (test list)";

    TestAtrList() {
        QFile file(Path());
        const QByteArray text = QByteArray(
                                    "# written by the test\n"
                                    "3B 95 13 81 01 80 73 FF 01 00 0B\n"
                                    "\tvsmartcard - iso7816 (Other)\n"
                                    "\n"
                                    "3B 8F 80 01 80 4F 0C A0 00 00 03 06 .. F0 .. 00 00 00 00 ..\n"
                                    "\t") +
                                kStorageCardName + '\n';
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
            ADD_FAILURE() << "cannot write the ATR list " << Path().toStdString();
        }
    }

    QString Path() const { return dir_.filePath(QStringLiteral("smartcard_list.txt")); }

  private:
    QTemporaryDir dir_;
};
