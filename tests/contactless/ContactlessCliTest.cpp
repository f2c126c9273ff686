// zp-readertest-cli contactless as a process, on the built-in simulated reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "support/CliProcess.h"

using ::testing::HasSubstr;

namespace {

CliRun RunContactless(QStringList args) {
    args.prepend(QStringLiteral("contactless"));
    return RunCliProcess(args);
}

QString WriteFile(const QTemporaryDir& dir, const char* name, const char* text) {
    QFile file(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return file.fileName();
}

TEST(ContactlessCli, ExitStatusSaysWhetherEverySectorOpened) {
    QTemporaryDir dir;
    const QString good = WriteFile(dir, "good.txt", "# sector 5\n5:A:112233445566\n");
    const QString bad = WriteFile(dir, "bad.txt", "FFFFFFFFFFFF\n5:A:1122\n");
    const QString json = dir.filePath(QStringLiteral("card.json"));
    struct Row {
        QStringList args;
        int status;
        const char* out;
        const char* err;
    };
    const QString sim = QStringLiteral("--simulated");
    for (const Row& row :
         {Row{{sim}, 1, "Sector  5: no key\n", ""},
          Row{{sim, QStringLiteral("--keys"), good, QStringLiteral("--json"), json},
              0,
              "Sector  5: key A 11 22 33 44 55 66\n",
              ""},
          Row{{sim, QStringLiteral("--keys"), bad}, 2, "", "bad.txt:2: not a key"},
          Row{{sim, QStringLiteral("--keys"), dir.filePath(QStringLiteral("none.txt"))},
              2,
              "",
              "cannot read the key file"},
          Row{{sim, QStringLiteral("--reader"), QStringLiteral("3")}, 2, "", ""},
          Row{{sim, QStringLiteral("extra")}, 2, "", "usage: contactless"}}) {
        const CliRun run = RunContactless(row.args);
        EXPECT_EQ(run.status, row.status) << row.args.join(u' ').toStdString() << run.err;
        EXPECT_THAT(run.out, HasSubstr(row.out));
        EXPECT_THAT(run.err, HasSubstr(row.err));
    }
    QFile saved(json);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(saved.readAll()).object();
    EXPECT_EQ(root[QStringLiteral("sectorsOpened")].toInt(), 16);
    EXPECT_EQ(root[QStringLiteral("sectors")][5][QStringLiteral("key")].toString(),
              QStringLiteral("11 22 33 44 55 66"));
    EXPECT_EQ(root[QStringLiteral("uid")].toString(), QStringLiteral("5A 50 C1 01"));
}

}  // namespace
