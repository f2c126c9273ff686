#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "apdu/QStringPrinter.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/sam/SamPage.h"
#include "insight/PcscCodeNames.h"
#include "support/MockLibraries.h"
#include "support/RecordingMessageBoxes.h"
#include "support/SessionDriver.h"

namespace {

using ::testing::_;
using ::testing::DoAll;
using ::testing::ElementsAre;
using ::testing::Return;
using ::testing::SetArgPointee;

const char* const kFieldNames[] = {"SAMCLA", "SAMINS",  "SAMP1", "SAMP2",
                                   "SAMLc",  "SAMData", "SAMLe"};

class SamPageTest : public ::testing::Test {
  protected:
    SamPageTest() {
        OpenSession(session, cards, {"Reader A 00 00"}, 0);
        boxes.Watch([this] { return Log().size(); });
    }

    QLineEdit* Edit(const char* name) const {
        return page.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    QLabel* Label(const char* name) const {
        return page.findChild<QLabel*>(QString::fromLatin1(name));
    }
    QPushButton* Button(const char* name) const {
        return page.findChild<QPushButton*>(QString::fromLatin1(name));
    }
    std::vector<std::string> Log() const {
        return page.findChild<ResponseLogEdit*>(QStringLiteral("SAMRespon"))->Lines();
    }
    static QString Focused() {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
    bool FieldsHidden() const {
        bool hidden = Button("BitBtnSAMSend")->isHidden() && Label("LblSAMProtocol")->isHidden();
        for (const char* name : kFieldNames) {
            hidden = hidden && Edit(name)->isHidden();
        }
        for (const char* name : {"LblSAMCLA", "LblSAMINS", "LblSAMP2", "LblSAMP1", "LblSAMLc",
                                 "LblSAMData", "LblSAMLe"}) {
            hidden = hidden && Label(name)->isHidden();
        }
        return hidden;
    }

    void Activate() {
        page.show();
        QApplication::setActiveWindow(&page);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    }
    static void Type(const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
    }
    // A connect answering these protocol flags.
    void Connect(std::uint32_t flags) {
        // A later connect first releases this handle (leave card).
        EXPECT_CALL(sam, SamDisconnect(0x42, 0)).Times(::testing::AnyNumber());
        EXPECT_CALL(sam, SamConnect(_, 1, 3, _, _))
            .WillOnce(DoAll(SetArgPointee<3>(0x42), SetArgPointee<4>(flags), Return(0)));
        QTest::mouseClick(Button("SAMConnectBtn"), Qt::LeftButton);
    }

    ::testing::StrictMock<MockCardLibrary> cards;
    ::testing::StrictMock<MockSamLibrary> sam;
    RecordingMessageBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session{cards, cardLog};
    SamPage page{session, sam, boxes};
};

TEST_F(SamPageTest, StartsWithOnlyTheButtonsAndTheLog) {
    EXPECT_EQ(page.objectName(), "SAMSheet");
    EXPECT_EQ(Button("SAMConnectBtn")->text(), "Connect S&AM");
    EXPECT_EQ(Button("SAMDisconnectBtn")->text(), "Disconnect SA&M");
    EXPECT_EQ(Button("BitBtnSAMSend")->text(), "&Send");
    EXPECT_EQ(Button("SAMClear")->text(), "Clear");
    EXPECT_EQ(Label("LblSAMProtocol")->text(), "Protocol :");
    EXPECT_EQ(Label("LblSAMP2")->text(), "P&1:");
    EXPECT_EQ(Label("LblSAMP2")->buddy(), Edit("SAMP1"));
    EXPECT_EQ(Label("LblSAMP1")->text(), "P&2:");
    EXPECT_EQ(Label("LblSAMP1")->buddy(), Edit("SAMP2"));
    EXPECT_EQ(Label("LblSAMLc")->text(), "&Lc:");
    auto* log = page.findChild<ResponseLogEdit*>(QStringLiteral("SAMRespon"));
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(FieldsHidden());
    EXPECT_FALSE(Button("SAMConnectBtn")->isHidden());
}

TEST_F(SamPageTest, ConnectUnderT0ShapesTheFields) {
    Activate();
    Connect(1);
    EXPECT_THAT(Log(), ElementsAre("Connect SAM0 Success", ""));
    EXPECT_EQ(Label("LblSAMProtocol")->text(), "Protocol: T0");
    EXPECT_EQ(Label("LblSAMLc")->text(), "P&3:");
    EXPECT_TRUE(Edit("SAMLe")->isHidden());
    EXPECT_TRUE(Label("LblSAMLe")->isHidden());
    EXPECT_FALSE(Edit("SAMData")->isHidden());
    EXPECT_EQ(Focused(), "SAMCLA");
    EXPECT_EQ(session.Record(0)->Sam.Handle, 0x42u);

    Edit("SAMLc")->setFocus();
    Type(QStringLiteral("123"));
    EXPECT_EQ(Edit("SAMLc")->text(), "12");
    EXPECT_EQ(Focused(), "SAMData");
}

TEST_F(SamPageTest, ConnectUnderT1AndWithBothBits) {
    Activate();
    Connect(2);
    EXPECT_EQ(Label("LblSAMProtocol")->text(), "Protocol: T1");
    EXPECT_EQ(Label("LblSAMLc")->text(), "&Lc:");
    EXPECT_FALSE(Edit("SAMLe")->isHidden());
    Edit("SAMLc")->setFocus();
    Type(QStringLiteral("00000"));
    EXPECT_EQ(Focused(), "SAMLc");
    Type(QStringLiteral("2"));
    EXPECT_EQ(Focused(), "SAMData");

    Connect(3);
    EXPECT_EQ(Label("LblSAMProtocol")->text(), "Protocol: T0");
    EXPECT_TRUE(Edit("SAMLe")->isHidden());
    // The longer text survives the lower maximum.
    EXPECT_EQ(Edit("SAMLc")->text(), "000002");
}

TEST_F(SamPageTest, ConnectWithUnknownFlagsLeavesTheLayout) {
    Activate();
    Connect(1);
    Connect(0);
    EXPECT_EQ(Label("LblSAMProtocol")->text(), "Protocol: Unknown");
    EXPECT_EQ(Label("LblSAMLc")->text(), "P&3:");
    EXPECT_FALSE(Edit("SAMLe")->isHidden());
    Edit("SAMLc")->setFocus();
    Type(QStringLiteral("123"));
    EXPECT_EQ(Edit("SAMLc")->text(), "12");
}

TEST_F(SamPageTest, FailingConnectHidesTheFields) {
    Connect(2);
    EXPECT_CALL(sam, SamConnect(_, _, _, _, _)).WillOnce(Return(1));
    EXPECT_EQ(page.SAMConnectCard(), 1u);
    EXPECT_THAT(Log(), ElementsAre("Connect SAM0 Success", "",
                                   "Connect SAM0 Fail, return code=0x0000000000000001", ""));
    EXPECT_TRUE(FieldsHidden());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(SamPageTest, ExchangeSendsTheFieldsAndLogsTheReply) {
    Connect(2);
    for (auto [name, text] : {std::pair{"SAMCLA", "00"},
                              {"SAMINS", "A4B"},
                              {"SAMP1", "04"},
                              {"SAMP2", "00"},
                              {"SAMLc", "02"},
                              {"SAMData", "3F00"}}) {
        Edit(name)->setText(QString::fromLatin1(text));
    }
    std::vector<std::uint8_t> sent;
    EXPECT_CALL(sam, SamTransmit(0x42, _, _, _, _, _, _))
        .WillOnce([&](std::uint32_t, const IoRequest*, const std::uint8_t* command, std::uint32_t n,
                      IoRequest*, std::uint8_t* reply, std::uint32_t* length) {
            sent.assign(command, command + n);
            reply[0] = 0x90;
            reply[1] = 0x00;
            *length = 2;
            return 0u;
        })
        .WillOnce(Return(0x1F));
    QSignalSpy status(&page, &SamPage::ExchangeStatus);
    QTest::mouseClick(Button("BitBtnSAMSend"), Qt::LeftButton);
    EXPECT_EQ(sent, (std::vector<std::uint8_t>{0x00, 0xA4, 0x04, 0x00, 0x02, 0x3F, 0x00}));
    EXPECT_THAT(Log(), ElementsAre("Connect SAM0 Success", "", "Send Data (0x0007 bytes) : ",
                                   "00 A4 04 00 02 3F 00 ", "Send Data To SAM Card Success",
                                   "Receive Data : (0x0002 bytes) : ", "90 00 ", "            "));

    QTest::mouseClick(Button("BitBtnSAMSend"), Qt::LeftButton);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Send Data Fail!");
    EXPECT_THAT(boxes.Boxes()[0].logLineCounts, ElementsAre(10u));
    EXPECT_EQ(Log().at(10), "Send Data To SAM Card Fail, return code=000000000000001F");
    EXPECT_EQ(Log().at(11), "            ");
    EXPECT_FALSE(FieldsHidden());
    // The status bar's texts: the status word, then the failed call's code.
    ASSERT_EQ(status.size(), 2);
    EXPECT_EQ(status[0][0].toString(), QStringLiteral("90 00 Normal processing"));
    EXPECT_EQ(status[1][0].toString(), QString::fromLatin1(PcscCodeText(0x1F)));

    QTest::mouseClick(Button("SAMClear"), Qt::LeftButton);
    EXPECT_TRUE(Log().empty());
}

TEST_F(SamPageTest, DisconnectHidesTheFieldsWhateverItsResult) {
    Connect(2);
    EXPECT_CALL(sam, SamDisconnect(0x42, 3)).WillOnce(Return(0));
    QTest::mouseClick(Button("SAMDisconnectBtn"), Qt::LeftButton);
    EXPECT_TRUE(FieldsHidden());
    EXPECT_EQ(Label("LblSAMProtocol")->text(), "");

    Connect(1);
    EXPECT_CALL(sam, SamDisconnect(0x42, 3)).WillOnce(Return(0x16));
    QTest::mouseClick(Button("SAMDisconnectBtn"), Qt::LeftButton);
    EXPECT_TRUE(FieldsHidden());
    EXPECT_THAT(Log(), ElementsAre("Connect SAM0 Success", "", "Disconnect SAM0 Success", "",
                                   "Connect SAM0 Success", "",
                                   "Disconnect SAM0 Fail, return code=0000000000000016", ""));
}

TEST_F(SamPageTest, EscInAFieldPressesDisconnect) {
    Activate();
    Connect(2);
    ASSERT_EQ(Focused(), "SAMCLA");
    EXPECT_CALL(sam, SamDisconnect(0x42, 3)).WillOnce(Return(0));
    QTest::keyClick(Edit("SAMCLA"), Qt::Key_Escape);
    EXPECT_TRUE(FieldsHidden());
    EXPECT_THAT(Log(), ElementsAre("Connect SAM0 Success", "", "Disconnect SAM0 Success", ""));
}

TEST_F(SamPageTest, TypingRulesOfTheSamFields) {
    Activate();
    Connect(2);
    // SAMINS takes more than two characters and hands the focus on at the second.
    Type(QStringLiteral("0a"));
    EXPECT_EQ(Edit("SAMCLA")->text(), "0A");
    EXPECT_EQ(Focused(), "SAMINS");
    Type(QStringLiteral("A4"));
    EXPECT_EQ(Focused(), "SAMP1");
    Edit("SAMINS")->setFocus();
    Edit("SAMINS")->end(false);
    Type(QStringLiteral("B"));
    EXPECT_EQ(Edit("SAMINS")->text(), "A4B");

    // Backspace in an empty field goes back, in one holding text it only deletes.
    Edit("SAMP2")->setFocus();
    QTest::keyClick(Edit("SAMP2"), Qt::Key_Backspace);
    EXPECT_EQ(Focused(), "SAMP1");
    Edit("SAMData")->setFocus();
    Type(QStringLiteral("3F"));
    QTest::keyClick(Edit("SAMData"), Qt::Key_Backspace);
    EXPECT_EQ(Edit("SAMData")->text(), "3");
    EXPECT_EQ(Focused(), "SAMData");

    // Leaving a field holding one character gives it its leading zero.
    Edit("SAMP1")->setFocus();
    Type(QStringLiteral("5"));
    Edit("SAMLe")->setFocus();
    EXPECT_EQ(Edit("SAMP1")->text(), "05");
    Type(QStringLiteral("12345678"));
    EXPECT_EQ(Edit("SAMLe")->text(), "123456");
}

TEST_F(SamPageTest, TabOrderRunsFromTheButtonsThroughTheFields) {
    Activate();
    Connect(2);
    Button("SAMConnectBtn")->setFocus();
    QStringList visited{Focused()};
    for (int i = 0; i < 11; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << Focused();
    }
    EXPECT_EQ(visited, QStringList({"SAMConnectBtn", "SAMDisconnectBtn", "SAMCLA", "SAMINS",
                                    "SAMP1", "SAMP2", "SAMLc", "SAMData", "SAMLe", "BitBtnSAMSend",
                                    "SAMRespon", "SAMClear"}));
}

TEST_F(SamPageTest, ConnectsTheSelectedReaderOrNone) {
    EXPECT_CALL(sam, SamConnect(::testing::StrEq("Reader A 00 00"), 1, 3,
                                &session.Record(0)->Sam.Handle, _))
        .WillOnce(Return(0x8010000F));
    QTest::mouseClick(Button("SAMConnectBtn"), Qt::LeftButton);
    session.SelectReader(1);  // no such reader: none is selected
    EXPECT_CALL(sam, SamConnect(::testing::IsNull(), 1, 3, _, _)).WillOnce(Return(0x8010000F));
    QTest::mouseClick(Button("SAMConnectBtn"), Qt::LeftButton);
    EXPECT_EQ(Log().front(), "Connect SAM0 Fail, return code=0x000000008010000F");
    EXPECT_EQ(Log().size(), 4u);
}

}  // namespace
