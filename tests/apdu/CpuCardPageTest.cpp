#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "apdu/QStringPrinter.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/apdu/CpuCardPage.h"
#include "support/MockLibraries.h"
#include "support/RecordingMessageBoxes.h"
#include "support/SessionDriver.h"

namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Invoke;

class CpuCardPageTest : public ::testing::Test {
  protected:
    CpuCardPageTest() {
        OpenSession(session, library, {"Reader A"}, 0, 0x10, kProtocolT1);
        boxes.Watch([this] { return log->Lines().size(); });
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
    static QString Focused() {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }

    void Activate() {
        page.show();
        QApplication::setActiveWindow(&page);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
    }
    // Types each character into whichever widget has the focus at that moment.
    static void Type(const QString& text) {
        for (QChar c : text) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
    }
    // Puts the focus into the field and types.
    void TypeInto(const char* name, const QString& text) {
        Edit(name)->setFocus();
        Type(text);
    }

    ::testing::StrictMock<MockCardLibrary> library;
    RecordingMessageBoxes boxes;
    ResponseLogModel cardLog;
    ReaderSession session{library, cardLog};
    CpuCardPage page{session, boxes, cardLog};
    ResponseLogEdit* log = page.findChild<ResponseLogEdit*>(QStringLiteral("ScardRespon"));
};

TEST_F(CpuCardPageTest, HasItsControlsWithCaptions) {
    EXPECT_EQ(page.objectName(), "SCardSheet");
    const std::pair<const char*, const char*> labels[] = {
        {"Label1", "CL&A:"},    {"Label2", "&INS:"},  {"Label3", "P&1:"}, {"Label4", "P&2:"},
        {"Lc_P3Label", "&Lc:"}, {"Label6", "Da&ta:"}, {"LeLabel", "L&e:"}};
    const char* fields[] = {"CLA", "INS", "P1", "P2", "Lc", "DATA", "Le"};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        QLabel* label = Label(labels[i].first);
        ASSERT_NE(label, nullptr) << labels[i].first;
        EXPECT_EQ(label->text(), QString::fromLatin1(labels[i].second));
        EXPECT_EQ(label->buddy(), Edit(fields[i]));
        EXPECT_TRUE(Edit(fields[i])->font().fixedPitch() ||
                    Edit(fields[i])->font() == QFontDatabase::systemFont(QFontDatabase::FixedFont));
    }
    ASSERT_NE(Button("SCardSend"), nullptr);
    EXPECT_EQ(Button("SCardSend")->text(), "&Send");
    EXPECT_EQ(Button("SCardSend")->toolTip(), "Send APDU command to Card");
    EXPECT_EQ(Button("ScardClear")->text(), "Clear");
    EXPECT_EQ(Label("LblReaderName")->text(), "Reader Name:");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->Model(), &cardLog) << "the page shows the log the session writes into";
    page.SetProtocolText(QStringLiteral("T1"));
    EXPECT_EQ(Label("Protocol")->text(), "T1");
}

TEST_F(CpuCardPageTest, TabsThroughFieldsSendLogAndClear) {
    Activate();
    page.FocusCla();
    QStringList visited{Focused()};
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << Focused();
    }
    EXPECT_EQ(visited, QStringList({"CLA", "INS", "P1", "P2", "Lc", "DATA", "Le", "SCardSend",
                                    "ScardRespon", "ScardClear"}));
}

TEST_F(CpuCardPageTest, AcceleratorsFocusTheFields) {
    Activate();
    QTest::keyClick(&page, Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(Focused(), "DATA");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(Focused(), "CLA");
}

TEST_F(CpuCardPageTest, FullFieldsHandTheFocusOn) {
    Activate();
    TypeInto("CLA", QStringLiteral("0"));
    EXPECT_EQ(Focused(), "CLA");
    Type(QStringLiteral("0A4"));
    EXPECT_EQ(Focused(), "P1");
    Type(QStringLiteral("0400"));
    EXPECT_EQ(Focused(), "Lc");
    Type(QStringLiteral("00000"));
    EXPECT_EQ(Focused(), "Lc");
    Type(QStringLiteral("2"));
    EXPECT_EQ(Focused(), "DATA");
    EXPECT_EQ(Edit("CLA")->text(), "00");
    EXPECT_EQ(Edit("INS")->text(), "A4");
    EXPECT_EQ(Edit("Lc")->text(), "000002");
}

TEST_F(CpuCardPageTest, LcUnderT0IsFullAtTwoCharacters) {
    Activate();
    page.ApplyProtocolLayout(kProtocolT0);
    EXPECT_EQ(Label("Lc_P3Label")->text(), "P&3:");
    EXPECT_TRUE(Edit("Le")->isHidden());
    EXPECT_TRUE(Label("LeLabel")->isHidden());
    TypeInto("Lc", QStringLiteral("08"));
    EXPECT_EQ(Focused(), "DATA");

    page.ApplyProtocolLayout(kProtocolT1);
    EXPECT_EQ(Label("Lc_P3Label")->text(), "&Lc:");
    EXPECT_FALSE(Edit("Le")->isHidden());
    page.ApplyProtocolLayout(kProtocolMemoryCard);
    EXPECT_EQ(Label("Lc_P3Label")->text(), "&Lc:");
    EXPECT_FALSE(Edit("Le")->isHidden());
}

TEST_F(CpuCardPageTest, PastingAFullTextStaysInTheField) {
    Activate();
    Edit("INS")->setFocus();
    Edit("INS")->insert(QStringLiteral("A4"));
    EXPECT_EQ(Edit("INS")->text(), "A4");
    EXPECT_EQ(Focused(), "INS");
}

TEST_F(CpuCardPageTest, BackspaceInAnEmptyFieldGoesBack) {
    Activate();
    TypeInto("DATA", QString());
    QTest::keyClick(Edit("DATA"), Qt::Key_Backspace);
    EXPECT_EQ(Focused(), "Lc");

    TypeInto("INS", QStringLiteral("1"));
    QTest::keyClick(Edit("INS"), Qt::Key_Backspace);
    EXPECT_EQ(Edit("INS")->text(), "");
    EXPECT_EQ(Focused(), "INS");
    QTest::keyClick(Edit("INS"), Qt::Key_Backspace, Qt::ShiftModifier);
    EXPECT_EQ(Focused(), "CLA");
}

TEST_F(CpuCardPageTest, LeavingAFieldWithALoneCharacterAddsALeadingZero) {
    Activate();
    TypeInto("P1", QStringLiteral("a"));
    TypeInto("DATA", QStringLiteral("abc"));
    EXPECT_EQ(Edit("P1")->text(), "0A");
    Edit("Le")->setFocus();
    EXPECT_EQ(Edit("DATA")->text(), "ABC");

    // The field the user went to keeps the focus, though the leading zero filled CLA.
    TypeInto("CLA", QStringLiteral("5"));
    QTest::mouseClick(Edit("P2"), Qt::LeftButton);
    EXPECT_EQ(Edit("CLA")->text(), "05");
    EXPECT_EQ(Focused(), "P2");
    // The change counted: a later one-to-two step in CLA is measured from 2.
    EXPECT_EQ(Edit("CLA")->text().size(), 2);
}

TEST_F(CpuCardPageTest, AnotherWindowTakingTheFocusIsNotLeavingTheField) {
    Activate();
    TypeInto("P2", QStringLiteral("5"));
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(Edit("P2")->text(), "5");
}

TEST_F(CpuCardPageTest, ExitHandlerDoesWhatLeavingTheFieldDoes) {
    Activate();
    TypeInto("CLA", QStringLiteral("7"));
    page.CLAExit();
    EXPECT_EQ(Edit("CLA")->text(), "07");
    EXPECT_EQ(Focused(), "CLA") << "the leading zero never hands the focus on";
}

TEST_F(CpuCardPageTest, LoweredMaximumKeepsTheTextAndRefusesMore) {
    Activate();
    TypeInto("Lc", QStringLiteral("123456"));
    page.ApplyProtocolLayout(kProtocolT0);
    EXPECT_EQ(Edit("Lc")->text(), "123456");

    Edit("Lc")->setFocus();
    Edit("Lc")->end(false);
    QTest::keyClicks(Edit("Lc"), QStringLiteral("7"));
    EXPECT_EQ(Edit("Lc")->text(), "123456");
    QTest::keyClick(Edit("Lc"), Qt::Key_Backspace);
    QTest::keyClicks(Edit("Lc"), QStringLiteral("7"));
    EXPECT_EQ(Edit("Lc")->text(), "12345");
    // INS takes two characters.
    TypeInto("INS", QStringLiteral("A4B"));
    EXPECT_EQ(Edit("INS")->text(), "A4");
}

TEST_F(CpuCardPageTest, TypedLettersBecomeCapitalsWhereTheyStand) {
    Activate();
    TypeInto("DATA", QStringLiteral("ab"));
    Edit("DATA")->home(false);
    QTest::keyClicks(Edit("DATA"), QStringLiteral("c"));
    EXPECT_EQ(Edit("DATA")->text(), "CAB");
    EXPECT_EQ(Edit("DATA")->cursorPosition(), 1);
}

TEST_F(CpuCardPageTest, ReaderNameClickPresetsTheHeader) {
    Activate();
    Edit("DATA")->setText(QStringLiteral("1234"));
    Edit("Le")->setText(QStringLiteral("00"));
    QTest::mouseClick(Label("LblReaderName"), Qt::LeftButton);
    QStringList texts;
    for (const char* name : {"CLA", "INS", "P1", "P2", "Lc", "DATA", "Le"}) {
        texts << Edit(name)->text();
    }
    EXPECT_EQ(texts, QStringList({"00", "86", "00", "00", "08", "", ""}));
    EXPECT_EQ(Label("LblReaderName")->text(), "Reader Name:");
}

TEST_F(CpuCardPageTest, SendLogsTheExchange) {
    EXPECT_CALL(library, CardTransmit(0x10, _, _, 5, _, _, _))
        .WillOnce(Invoke([](std::uint32_t, const IoRequest*, const std::uint8_t*, std::uint32_t,
                            IoRequest*, std::uint8_t* reply, std::uint32_t* length) {
            reply[0] = 0x90;
            reply[1] = 0x00;
            *length = 2;
            return 0u;
        }));
    QTest::mouseClick(Label("LblReaderName"), Qt::LeftButton);
    QTest::mouseClick(Button("SCardSend"), Qt::LeftButton);
    EXPECT_THAT(log->Lines(),
                ElementsAre("Send Data (0x0005 bytes) : ", "00 86 00 00 08 ", "Send Data Success",
                            "Receive Data : (0x0002 bytes) : ", "90 00 ", "            "));
    QTest::mouseClick(Button("ScardClear"), Qt::LeftButton);
    EXPECT_TRUE(log->Lines().empty());
}

TEST_F(CpuCardPageTest, FailingSendShowsTheBoxFirst) {
    EXPECT_CALL(library, CardTransmit(_, _, _, _, _, _, _)).WillRepeatedly(::testing::Return(0x1F));
    QTest::mouseClick(Label("LblReaderName"), Qt::LeftButton);
    QTest::mouseClick(Button("SCardSend"), Qt::LeftButton);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Send Data To Card Fail!");
    EXPECT_THAT(boxes.Boxes()[0].logLineCounts, ElementsAre(2u));
    EXPECT_EQ(log->Lines().at(2), "Send Data Fail, return code=0x000000000000001F");
    EXPECT_FALSE(session.CardBusy());
    // The next press runs normally.
    QTest::mouseClick(Button("SCardSend"), Qt::LeftButton);
    EXPECT_EQ(boxes.Boxes().size(), 2u);
}

TEST_F(CpuCardPageTest, SendDoesNothingWhileTheCardIsBusy) {
    {
        const CardBusyGuard busy = session.MarkBusy();
        QTest::mouseClick(Label("LblReaderName"), Qt::LeftButton);
        QTest::mouseClick(Button("SCardSend"), Qt::LeftButton);
        EXPECT_TRUE(log->Lines().empty());
        EXPECT_TRUE(boxes.Boxes().empty());
    }
    Edit("CLA")->clear();
    QTest::mouseClick(Button("SCardSend"), Qt::LeftButton);
    EXPECT_THAT(boxes.Errors(), ElementsAre("CLA Empty!"));
    EXPECT_TRUE(log->Lines().empty());
}

}  // namespace
