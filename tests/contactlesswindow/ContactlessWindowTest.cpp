// The contactless window on the simulated contactless reader, opened from the Reader menu
// and driven with clicks and keys: reading a MIFARE Classic card with the key list and a key
// file, the trailer guard and confirmed writes, and an NTAG213's NDEF message.
#include <gmock/gmock.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/contactless/AccessBits.h"
#include "core/contactless/Type2Tag.h"
#include "core/session/LockedCardLibrary.h"
#include "gui/ResponseLogEdit.h"
#include "gui/contactless/ContactlessWindow.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimContactlessReader.h"
#include "sim/SimMifareClassic.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "sim/SimUltralight.h"
#include "support/RecordingMessageBoxes.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr int kDeadlineMs = 20000;
constexpr SimMifareKey kSectorKey = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};

class ContactlessWindowTest : public ::testing::Test {
  protected:
    ContactlessWindowTest() : card_({"Sim Reader 0"}), shared_(card_, card_.SharedLock()) {}

    void TearDown() override { windows_.reset(); }

    // A 1K card: sector 5 under its own keys, a value block and a text block.
    SimMifareClassic* InsertClassic() {
        auto chip = std::make_unique<SimMifareClassic>(SimMifareClassic::Size::k1K);
        chip->SetSectorKey(5, SimKeyType::A, kSectorKey);
        chip->SetSectorKey(5, SimKeyType::B, kSectorKey);
        chip->SetRawBlock(4, SimMifareClassic::ValueBlock(-300, 4));
        SimMifareClassic::Block text{};
        const std::string_view words = "ZP contactless!!";
        std::copy(words.begin(), words.end(), text.begin());
        chip->SetRawBlock(8, text);
        SimMifareClassic* classic = chip.get();
        card_.InsertCard(0, std::make_unique<SimContactlessReader>(std::move(chip)));
        return classic;
    }

    void Open() {
        windows_ = CreateWindows(platform_);
        windows_->mainForm->findChild<QAction*>(QStringLiteral("ContactlessItem"))->trigger();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QStringLiteral("ContactlessWindow")) {
                window_ = static_cast<ContactlessWindow*>(widget);
            }
        }
        ASSERT_NE(window_, nullptr);
        ASSERT_TRUE(window_->isVisible());
        window_->SetOpenFileChooser([this](const QString&, const QString&) { return openPath_; });
    }

    template <class T>
    T* Find(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Clicks and waits until the window's work has ended.
    void Click(const char* button) {
        QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return Find<QPushButton>("ReadCardBtn")->isEnabled(); }, kDeadlineMs));
    }

    void Type(const char* name, const QString& text) {
        auto* field = Find<QLineEdit>(name);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
    }

    void ChooseSector(int sector) {
        auto* grid = Find<QTableWidget>("SectorGrid");
        const QRect cell = grid->visualItemRect(grid->item(sector, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        ASSERT_EQ(grid->currentRow(), sector);
    }

    QString Cell(const char* table, int row, int column) {
        QTableWidgetItem* item = Find<QTableWidget>(table)->item(row, column);
        return item ? item->text() : QString();
    }

    SimCardLibrary card_;
    LockedCardLibrary shared_;
    SimSamLibrary sam_{card_};
    SimMsrLibrary msr_{card_};
    RecordingMessageBoxes boxes_;
    const Platform platform_{shared_, sam_, msr_, boxes_, QString(), nullptr, [this] {
                                 return std::make_unique<LockedCardLibrary>(card_,
                                                                            card_.SharedLock());
                             }};
    std::unique_ptr<ProgramWindows> windows_;
    ContactlessWindow* window_ = nullptr;
    QTemporaryDir dir_;
    QString openPath_;
};

TEST_F(ContactlessWindowTest, ReadsTheCardAndOpensTheOddSectorOnceTheKeyFileHasItsKey) {
    InsertClassic();
    Open();
    Click("ReadCardBtn");
    ASSERT_TRUE(boxes_.Boxes().empty()) << boxes_.Boxes().front().text;

    EXPECT_EQ(Find<QLabel>("UidLabel")->text(), QStringLiteral("5A 50 C1 01"));
    EXPECT_EQ(Find<QLabel>("CardNameLabel")->text(),
              QStringLiteral("Contactless, ISO 14443 A part 3, MIFARE Classic 1K"));
    ASSERT_EQ(Find<QTableWidget>("SectorGrid")->rowCount(), 16);
    EXPECT_EQ(Cell("SectorGrid", 0, 2), QStringLiteral("key A FF FF FF FF FF FF"));
    EXPECT_EQ(Cell("SectorGrid", 5, 2), QStringLiteral("no key"));
    EXPECT_EQ(Cell("BlockTable", 8, 1),
              QStringLiteral("5A 50 20 63 6F 6E 74 61 63 74 6C 65 73 73 21 21"));
    EXPECT_EQ(Cell("BlockTable", 8, 2), QStringLiteral("ZP contactless!!"));
    EXPECT_EQ(Cell("BlockTable", 4, 3), QStringLiteral("value -300, address 4"));
    EXPECT_THAT(Cell("BlockTable", 7, 3).toStdString(), HasSubstr("the card never returns it"));
    EXPECT_EQ(Cell("BlockTable", 20, 3), QStringLiteral("not read"));
    const auto log = Find<ResponseLogEdit>("ContactlessLog")->Lines();
    EXPECT_THAT(log, Contains(std::string("FF CA 00 00 00 ")));

    QFile keys(dir_.filePath(QStringLiteral("mine.keys")));
    ASSERT_TRUE(keys.open(QIODevice::WriteOnly));
    keys.write("# sector 5\n5:A:112233445566\n");
    keys.close();
    openPath_ = keys.fileName();
    Click("KeyFileBtn");
    auto* keyList = Find<QListWidget>("KeyList");
    EXPECT_THAT(keyList->item(keyList->count() - 1)->text().toStdString(),
                StartsWith("11 22 33 44 55 66"));
    Click("ReadCardBtn");
    EXPECT_EQ(Cell("SectorGrid", 5, 2), QStringLiteral("key A 11 22 33 44 55 66"));
    EXPECT_EQ(Cell("BlockTable", 20, 3), QStringLiteral("data"));
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(ContactlessWindowTest, RefusesUnsafeTrailersAndWritesConfirmedOnes) {
    SimMifareClassic* chip = InsertClassic();
    Open();
    Click("ReadCardBtn");
    ChooseSector(1);
    EXPECT_EQ(Find<QLabel>("AccessCheckLabel")->text(),
              QStringLiteral("Inverted bits: check passed"));

    const auto lockOut = EncodeAccessBits({0, 0, 0, 2});  // access bits never writable again
    const QString lockOutText = QStringLiteral("%1 %2 %3 69")
                                    .arg(int{lockOut[0]}, 2, 16, QLatin1Char('0'))
                                    .arg(int{lockOut[1]}, 2, 16, QLatin1Char('0'))
                                    .arg(int{lockOut[2]}, 2, 16, QLatin1Char('0'));
    const struct {
        QString accessBits;
        bool answer;
        bool refused;  // an error box, no question
        bool written;
    } rows[] = {
        {QStringLiteral("00 00 00 69"), true, true, false},
        {lockOutText, true, true, false},
        {QStringLiteral("FF 07 80 69"), false, false, false},
        {QStringLiteral("78 77 88 69"), true, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.accessBits.toStdString());
        boxes_.Clear();
        boxes_.AnswerQuestions(row.answer);
        const SimMifareClassic::Block before = chip->RawBlock(7);
        Type("AccessBitsEdit", row.accessBits);
        Type("KeyBEdit", QStringLiteral("A1B2C3D4E5F6"));
        Click("WriteTrailerBtn");
        if (row.refused) {
            ASSERT_EQ(boxes_.Errors().size(), 1U);
            EXPECT_THAT(boxes_.Errors()[0], StartsWith("Not writing the trailer of sector 1: "));
            EXPECT_TRUE(boxes_.Questions().empty());
        } else {
            EXPECT_TRUE(boxes_.Errors().empty()) << boxes_.Errors().front();
            EXPECT_EQ(boxes_.Questions().size(), 1U);
        }
        const SimMifareClassic::Block after = chip->RawBlock(7);
        EXPECT_EQ(after != before, row.written);
        if (row.written) {
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(after.data()) + 6, 10).toHex(' '),
                      QByteArray("78 77 88 69 a1 b2 c3 d4 e5 f6"));
        }
    }

    Find<QSpinBox>("BlockSpin")->setFocus();
    QTest::keyClick(Find<QSpinBox>("BlockSpin"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Find<QSpinBox>("BlockSpin"), QStringLiteral("9"));
    Type("BlockDataEdit", QStringLiteral("00112233445566778899AABBCCDDEEFF"));
    Click("WriteBlockBtn");
    EXPECT_TRUE(boxes_.Errors().empty()) << boxes_.Errors().front();
    EXPECT_EQ(chip->RawBlock(9)[15], 0xFF);
    EXPECT_EQ(Cell("BlockTable", 9, 1),
              QStringLiteral("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"));
}

TEST_F(ContactlessWindowTest, ShowsTheNtagPagesAndItsNdefRecords) {
    card_.InsertCard(0, SimCardKind::Ntag213);
    Open();
    Click("ReadCardBtn");
    ASSERT_TRUE(boxes_.Boxes().empty()) << boxes_.Boxes().front().text;
    EXPECT_EQ(Find<QTableWidget>("PageTable")->rowCount(), 45);
    EXPECT_EQ(Cell("PageTable", 3, 3), QString::fromUtf8(PageRoleName(PageRole::Capability)));
    ASSERT_EQ(Find<QTableWidget>("NdefTable")->rowCount(), 2);
    EXPECT_EQ(Cell("NdefTable", 0, 1), QStringLiteral("URI"));
    EXPECT_EQ(Cell("NdefTable", 0, 2), QStringLiteral("URI https://example.org/zp"));
    EXPECT_EQ(Cell("NdefTable", 1, 1), QStringLiteral("Text"));
    EXPECT_EQ(Cell("NdefTable", 1, 2), QStringLiteral("Text (en) ZP simulated NTAG213"));
}

}  // namespace

TEST_F(ContactlessWindowTest, ADumpSavedAndLoadedIsWrittenBackToTheCard) {
    SimMifareClassic* chip = InsertClassic();
    Open();
    Click("ReadCardBtn");
    const SimMifareClassic::Block original = chip->RawBlock(8);
    for (const char* name : {"card.mfd", "card.json"}) {
        SCOPED_TRACE(name);
        const QString path = dir_.filePath(QString::fromLatin1(name));
        window_->SetSaveFileChooser([path](const QString&, const QString&) { return path; });
        Click("SaveDumpBtn");
        chip->SetRawBlock(8, SimMifareClassic::Block{0x01});
        openPath_ = path;
        Click("LoadDumpBtn");
        boxes_.AnswerQuestions(true);
        Click("WriteDumpBtn");
        EXPECT_TRUE(boxes_.Errors().empty()) << boxes_.Errors().front();
        EXPECT_EQ(boxes_.Questions().size(), 1U);
        EXPECT_EQ(chip->RawBlock(8), original);
        boxes_.Clear();
    }
}

TEST_F(ContactlessWindowTest, SavesTheProbesReportAsShown) {
    InsertClassic();
    Open();
    Click("ProbeBtn");
    const QString shown = Find<QPlainTextEdit>("ProbeReport")->toPlainText();
    EXPECT_THAT(shown.toStdString(), HasSubstr("LOAD KEYS"));
    const QString path = dir_.filePath(QStringLiteral("probe.txt"));
    window_->SetSaveFileChooser([path](const QString&, const QString&) { return path; });
    Click("SaveProbeBtn");
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), shown);
    EXPECT_TRUE(boxes_.Boxes().empty());
}
