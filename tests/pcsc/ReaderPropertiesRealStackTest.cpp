// The reader itself on the platform's PC/SC service: the Properties of an empty virtual
// reader, and a reader held exclusively by another program, which the status bar names.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTextStream>
#include <algorithm>
#include <iostream>
#include <map>

#include "VirtualCard.h"
#include "app/InsightBar.h"
#include "cli/CliCommands.h"
#include "core/common/ResponseLogModel.h"
#include "core/session/ReaderSession.h"
#include "gui/properties/ReaderPropertiesForm.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscReaderControl.h"
#include "support/RecordingMessageBoxes.h"

namespace {

class ReaderRealStack : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!RealStackReady()) {
            GTEST_SKIP() << "PC/SC service with virtual readers not started (ZP_PCSC_READY)";
        }
        ASSERT_EQ(watcher_.CardEstablishContext(0, nullptr, nullptr, &context_), 0u);
        ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, false));
    }
    void TearDown() override {
        if (context_ != 0) {
            if (card_.Running()) {
                card_.Remove();
                WaitForCardState(watcher_, context_, kFirstReader, false);
            }
            watcher_.CardReleaseContext(context_);
        }
    }

    PcscCardLibrary watcher_;
    std::uint32_t context_ = 0;
    VirtualCard card_{kFirstReaderPort};
};

TEST_F(ReaderRealStack, PropertiesOfAnEmptyVirtualReader) {
    PcscReaderControlFactory controls;
    RecordingMessageBoxes boxes;
    ReaderPropertiesForm form(controls, boxes);
    QSignalSpy finished(&form, &ReaderPropertiesForm::JobFinished);
    form.ShowReader(kFirstReader);
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_EQ(form.Report().openCode, 0u);

    auto* table = form.findChild<QTableWidget*>(QStringLiteral("PropertiesTable"));
    std::map<std::string, std::string> rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString key = table->item(row, 0)->text() + u'/' + table->item(row, 1)->text();
        rows[key.toStdString()] = table->item(row, 2)->text().toStdString();
    }
    EXPECT_EQ(rows["State/Connection"], "direct (no card)");
    EXPECT_EQ(rows["State/Flags"], "empty");
    EXPECT_EQ(rows["State/ATR"], "none");
    // The virtual reader's driver answers what it supports; every attribute has its row.
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const auto& row) { return row.first.starts_with("Attributes/"); }),
              17);
    EXPECT_TRUE(boxes.Boxes().empty());
    // Without FEATURE_CCID_ESC_COMMAND the control code starts at SCARD_CTL_CODE(3500).
    if (!form.Report().escapeCode) {
        EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("ControlCode"))->text(),
                  QStringLiteral("3500"));
    }

    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    EXPECT_EQ(RunInfoCommand({QStringLiteral("--reader"), QString::fromLatin1(kFirstReader)},
                             outStream, errStream),
              0)
        << err.toStdString();
    outStream.flush();
    EXPECT_TRUE(out.contains(QStringLiteral("\n  Connection: direct (no card)\n")));
}

// Run as the other program by the test below: holds the reader named in ZP_HOLD_READER
// exclusively until its standard input closes.
TEST(HoldReader, Exclusively) {
    const QByteArray reader = qgetenv("ZP_HOLD_READER");
    if (reader.isEmpty()) {
        GTEST_SKIP() << "the other program of ASecondProgramHoldingTheReaderIsNamed";
    }
    PcscCardLibrary library;
    std::uint32_t context = 0;
    std::uint32_t card = 0;
    std::uint32_t protocol = 0;
    ASSERT_EQ(library.CardEstablishContext(0, nullptr, nullptr, &context), 0u);
    ASSERT_EQ(
        library.CardConnect(context, reader.constData(), kShareExclusive, 3, &card, &protocol), 0u);
    std::cout << "held" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    library.CardDisconnect(card, 0);
    library.CardReleaseContext(context);
}

TEST_F(ReaderRealStack, ASecondProgramHoldingTheReaderIsNamed) {
    ASSERT_TRUE(card_.Insert()) << card_.Output();
    ASSERT_TRUE(WaitForCardState(watcher_, context_, kFirstReader, true)) << card_.Output();

    QProcess holder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZP_HOLD_READER"), QString::fromLatin1(kFirstReader));
    holder.setProcessEnvironment(environment);
    holder.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=HoldReader.Exclusively")});
    ASSERT_TRUE(holder.waitForStarted());
    QByteArray said;
    while (!said.contains("held\n") && holder.waitForReadyRead(10000)) {
        said += holder.readAllStandardOutput();
    }
    ASSERT_TRUE(said.contains("held\n")) << said.toStdString();

    PcscCardLibrary library;
    ResponseLogModel log;
    ReaderSession session(library, log);
    ASSERT_TRUE(session.InitializeReaders());
    session.SelectReader(0);
    ASSERT_STREQ(session.SelectedReaderName(), kFirstReader);
    EXPECT_EQ(session.ConnectByButton(false), ReaderSession::ConnectResult::Failed);
    EXPECT_EQ(session.ConnectFailCode(), 0x8010000Bu);
    InsightBar bar(nullptr, QString());
    bar.ShowCard(session);
    const QString named =
        QStringLiteral("%1 (%2)").arg(QFileInfo(QCoreApplication::applicationFilePath())
                                          .fileName()
                                          .left(15),  // the kernel keeps 15 characters of a name
                                      QString::number(holder.processId()));
    EXPECT_TRUE(bar.findChild<QLabel*>(QStringLiteral("InsightStatus"))->text().contains(named))
        << bar.findChild<QLabel*>(QStringLiteral("InsightStatus"))->text().toStdString();

    holder.closeWriteChannel();
    EXPECT_TRUE(holder.waitForFinished(10000));
    EXPECT_EQ(holder.exitCode(), 0) << holder.readAll().toStdString();
    session.ReleaseReaders();
}

}  // namespace
