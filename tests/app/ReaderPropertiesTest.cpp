#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

#include "AppFixture.h"
#include "gui/properties/ReaderPropertiesForm.h"
#include "sim/SimReaderControl.h"

namespace {

// The Properties window on the simulated PIN-pad reader, opened through the Reader menu.
class ReaderPropertiesTest : public AppTest {
  protected:
    ReaderPropertiesTest() { platform.readerControl = &controls; }

    void TearDown() override {
        boxes.Clear();
        AppTest::TearDown();
    }

    // Reader > Properties… with the mouse; waits until the reader has been read.
    ReaderPropertiesForm* OpenProperties() {
        QMenuBar* bar = windows->mainForm->menuBar();
        auto* menu = Find<QMenu>("Reader");
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(menu->menuAction()).center());
        EXPECT_EQ(QApplication::activePopupWidget(), menu);
        QTest::mouseClick(menu, Qt::LeftButton, {},
                          menu->actionGeometry(Find<QAction>("PropertiesItem")).center());
        ReaderPropertiesForm* form = windows->mainForm->Properties();
        EXPECT_NE(form, nullptr);
        if (form != nullptr && form->Busy()) {
            EXPECT_TRUE(QSignalSpy(form, &ReaderPropertiesForm::JobFinished).wait(5000));
        }
        return form;
    }

    // "section/item" -> value, as the table shows it.
    static std::map<std::string, std::string> Table(ReaderPropertiesForm* form) {
        auto* table = form->findChild<QTableWidget*>(QStringLiteral("PropertiesTable"));
        std::map<std::string, std::string> rows;
        for (int row = 0; row < table->rowCount(); ++row) {
            rows[(table->item(row, 0)->text() + u'/' + table->item(row, 1)->text()).toStdString()] =
                table->item(row, 2)->text().toStdString();
        }
        return rows;
    }

    static void Send(ReaderPropertiesForm* form, const QString& code, const QString& data) {
        auto* codeEdit = form->findChild<QLineEdit*>(QStringLiteral("ControlCode"));
        auto* dataEdit = form->findChild<QLineEdit*>(QStringLiteral("ControlData"));
        if (!code.isEmpty()) {
            codeEdit->selectAll();
            QTest::keyClicks(codeEdit, code);
        }
        QTest::keyClicks(dataEdit, data);
        QSignalSpy finished(form, &ReaderPropertiesForm::JobFinished);
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("ControlSend")),
                          Qt::LeftButton);
        ASSERT_TRUE(finished.wait(5000));
    }

    static std::vector<std::string> ControlLog(ReaderPropertiesForm* form) {
        return form->findChild<ResponseLogEdit*>(QStringLiteral("ControlLog"))->Lines();
    }

    SimReaderControlFactory controls{card};
};

TEST_F(ReaderPropertiesTest, ShowsTheReaderWithoutAndWithACard) {
    Start();
    ReaderPropertiesForm* form = OpenProperties();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    auto rows = Table(form);
    const std::map<std::string, std::string> expected{
        {"Attributes/Vendor name", "ZP Simulated"},
        {"Attributes/Serial number", "not supported"},
        {"Attributes/IFD version", "1.2.3"},
        {"Attributes/Channel ID", "USB, channel 0x0101"},
        {"Attributes/Current protocol", "not supported"},
        {"Attributes/ICC presence", "not present"},
        {"Attributes/Friendly name", "Sim Reader 00 00"},
        {"Features/FEATURE_VERIFY_PIN_DIRECT", "0x42330006"},
        {"Features/FEATURE_CCID_ESC_COMMAND", "0x42000DAC"},
        {"TLV properties/sFirmwareID", kSimFirmwareId},
        {"TLV properties/dwMaxAPDUDataSize", "261 bytes"},
        {"TLV properties/wIdVendor", "0x5A50"},
        {"PIN properties/wLcdLayout", "2 lines of 16 characters"},
        {"State/Connection", "direct (no card)"},
        {"State/Flags", "empty"},
        {"State/Event counter", "0"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(rows[key], value) << key;
    }
    EXPECT_EQ(form->findChild<QLineEdit*>(QStringLiteral("ControlCode"))->text(),
              QStringLiteral("0x42000DAC"));
    EXPECT_TRUE(boxes.Boxes().empty());

    card.InsertCard(0, SimCardKind::CpuT1);
    QSignalSpy finished(form, &ReaderPropertiesForm::JobFinished);
    QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("RefreshBtn")), Qt::LeftButton);
    ASSERT_TRUE(finished.wait(5000));
    rows = Table(form);
    EXPECT_EQ(rows["State/Connection"], "shared");
    EXPECT_EQ(rows["State/Flags"], "present");
    EXPECT_EQ(rows["State/Event counter"], "1");
    EXPECT_EQ(rows["Attributes/Current protocol"], "T=1");
    EXPECT_EQ(rows["Attributes/ATR"], rows["State/ATR"]);

    // Copy and Save give the same whole table as text.
    QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("CopyBtn")), Qt::LeftButton);
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("Reader: Sim Reader 00 00\n")));
    EXPECT_TRUE(copied.contains(QStringLiteral("\n  FEATURE_CCID_ESC_COMMAND: 0x42000DAC\n")));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("props.txt"));
    form->SetFileChooser([&](QWidget*, const QString&) { return path; });
    QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("SaveBtn")), Qt::LeftButton);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(saved.readAll()), copied);
}

TEST_F(ReaderPropertiesTest, EscapeCommandAnswersTheFirmwareAndARefusalGetsABox) {
    Start();
    ReaderPropertiesForm* form = OpenProperties();
    ASSERT_NE(form, nullptr);
    boxes.Watch([form] { return ControlLog(form).size(); });

    Send(form, QString(), QStringLiteral("0a1"));
    const std::vector<std::string> sent{
        "Control Code : 0x42000DAC",
        "Send Data (0x0001 bytes) : ",
        "0A ",
        "Receive Data : (0x0010 bytes) : ",
        "5A 50 20 50 49 4E 2D 70 61 64 20 31 2E 32 2E 33 ",
        "",
        "            ",
    };
    EXPECT_EQ(ControlLog(form), sent);
    EXPECT_TRUE(boxes.Boxes().empty());

    // The number 1 is SCARD_CTL_CODE(1), which the reader does not know.
    Send(form, QStringLiteral("1"), QString());
    ASSERT_EQ(boxes.Errors().size(), 1u);
    const std::string box = boxes.Errors()[0];
    EXPECT_NE(box.find("Control code 0x42000001 was refused: SCARD_E_UNSUPPORTED_FEATURE."),
              std::string::npos)
        << box;
    EXPECT_NE(box.find("only when its configuration permits them"), std::string::npos) << box;
    // The box came after the command's lines and before the failure's.
    EXPECT_EQ(boxes.Boxes()[0].logLineCounts.back(), sent.size() + 3);
    const std::vector<std::string> log = ControlLog(form);
    ASSERT_EQ(log.size(), sent.size() + 5);
    EXPECT_EQ(log[sent.size() + 3], "Control Fail, return code=0x0000000080100022");

    // Data that is not hex is refused before anything is sent.
    QTest::keyClicks(form->findChild<QLineEdit*>(QStringLiteral("ControlData")),
                     QStringLiteral("G"));
    QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("ControlSend")), Qt::LeftButton);
    EXPECT_FALSE(form->Busy());
    EXPECT_EQ(boxes.Errors().back(), "DATA Input Error");
    EXPECT_EQ(ControlLog(form).size(), log.size());
}

}  // namespace
