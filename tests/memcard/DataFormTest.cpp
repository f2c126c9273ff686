#include <map>

#include "MemCardWidgets.h"

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Invoke;
using ::testing::Return;

namespace {

using DataDialog = MemCardWidgets;

const char* const kAllControls[] = {
    "Label0",   "Label21",        "AddrRangeL", "Label22",      "AddrRangeH",     "Label23",
    "AddrEdit", "Label1",         "Label24",    "LengthRangeL", "Label25",        "LengthRangeH",
    "Label26",  "DataLenEdit",    "Label2",     "Label27",      "DataCountLabel", "DataEdit",
    "BitBtn1",  "BitBtn2",        "Label3",     "CommandEdit",  "Label4",         "DummyEdit",
    "Label5",   "AddrByteNumEdit"};
const char* const kAddressRow[] = {"Label0",     "Label21", "AddrRangeL", "Label22",
                                   "AddrRangeH", "Label23", "AddrEdit"};
const char* const kDataRow[] = {"DataEdit", "Label2", "Label27", "DataCountLabel"};
const char* const kI2CRow[] = {"Label3",    "CommandEdit", "Label4",
                               "DummyEdit", "Label5",      "AddrByteNumEdit"};

struct Geometry {
    QSize dialog;
    std::map<std::string, QRect> controls;
    bool operator==(const Geometry&) const = default;
};

class DataDialogGeometry : public DataDialog {
  protected:
    Geometry Snapshot() {
        Geometry geometry{dialog->size(), {}};
        for (const char* name : kAllControls) {
            geometry.controls[name] = Find<QWidget>(dialog.get(), name)->geometry();
        }
        return geometry;
    }
    template <std::size_t N>
    std::vector<bool> Shown(const char* const (&row)[N]) {
        std::vector<bool> shown;
        for (const char* name : row) {
            shown.push_back(Find<QWidget>(dialog.get(), name)->isVisibleTo(dialog.get()));
        }
        return shown;
    }
};

TEST_F(DataDialogGeometry, StartsHiddenWithItsInitialTexts) {
    EXPECT_EQ(dialog->objectName(), "MemDataDlg");
    EXPECT_EQ(dialog->windowTitle(), "Data Dialog");
    EXPECT_EQ(dialog->parent(), nullptr);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->size(), QSize(345, 292));
    const std::map<std::string, QString> texts{{"Label0", "Starting Address"},
                                               {"Label21", "("},
                                               {"AddrRangeL", "0"},
                                               {"Label22", "to"},
                                               {"AddrRangeH", "255"},
                                               {"Label23", ") in decimal :"},
                                               {"Label1", "Data Length"},
                                               {"Label24", "("},
                                               {"LengthRangeL", "1"},
                                               {"Label25", "to"},
                                               {"LengthRangeH", "256"},
                                               {"Label26", "] in decimal :"},
                                               {"Label2", "Data To Send"},
                                               {"Label27", "in byte :"},
                                               {"DataCountLabel", "0x00"},
                                               {"Label3", "Command"},
                                               {"Label4", "Dummy"},
                                               {"Label5", "# of Address Bytes "}};
    for (const auto& [name, text] : texts) {
        EXPECT_EQ(Label(name.c_str())->text(), text) << name;
    }
    EXPECT_EQ(Edit("AddrEdit")->text(), "0");
    EXPECT_EQ(Edit("DataLenEdit")->text(), "0");
    EXPECT_EQ(Edit("DataEdit")->text(), "");
    EXPECT_EQ(Edit("CommandEdit")->text(), "");
    EXPECT_FALSE(Edit("DataEdit")->isEnabled());
    EXPECT_FALSE(DialogButton("BitBtn1")->isEnabled());
    EXPECT_TRUE(DialogButton("BitBtn1")->isDefault());
    EXPECT_EQ(DialogButton("BitBtn1")->text(), "OK");
    EXPECT_EQ(DialogButton("BitBtn2")->text(), "Cancel");
    EXPECT_FALSE(dialog->I2CLayout());
    EXPECT_THAT(Shown(kI2CRow), ::testing::Each(false));
    EXPECT_THAT(Shown(kAddressRow), ::testing::Each(true));
    EXPECT_THAT(Shown(kDataRow), ::testing::Each(true));
}

TEST_F(DataDialog, TabOrderRunsFromTheI2CFieldsToCancel) {
    std::vector<QString> order;
    for (QWidget* widget = Edit("CommandEdit"); order.size() < 8;
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order.push_back(widget->objectName());
        }
    }
    EXPECT_THAT(order, ElementsAre("CommandEdit", "DummyEdit", "AddrByteNumEdit", "AddrEdit",
                                   "DataLenEdit", "DataEdit", "BitBtn1", "BitBtn2"));
}

struct ModeLayout {
    bool i2c, address, data, lengthEditable;
};

TEST_F(DataDialogGeometry, EachButtonConfiguresItsLayout) {
    const std::map<MemDlgMode, ModeLayout> layouts{
        {MemDlgMode::mdRead, {false, true, false, true}},
        {MemDlgMode::mdWrite, {false, true, true, true}},
        {MemDlgMode::mdVerify, {false, false, true, false}},
        {MemDlgMode::mdFixedRead, {false, true, false, false}},
        {MemDlgMode::mdI2CRead, {true, true, false, true}},
        {MemDlgMode::mdI2CWrite, {true, true, true, true}}};
    for (const MemOperationEntry& entry : MemOperations()) {
        SCOPED_TRACE(entry.button);
        Open(entry.code);
        EXPECT_EQ(pages->Params().MemOpCode, entry.code);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(mainWindow.isEnabled());
        EXPECT_EQ(dialog->windowTitle(), entry.dialogTitle);
        EXPECT_EQ(Label("AddrRangeL")->text(), QString::number(entry.address.min));
        EXPECT_EQ(Label("AddrRangeH")->text(), QString::number(entry.address.max));
        EXPECT_EQ(Label("LengthRangeL")->text(), QString::number(entry.length.min));
        EXPECT_EQ(Label("LengthRangeH")->text(), QString::number(entry.length.max));
        EXPECT_EQ(Edit("AddrEdit")->text(), "0");
        EXPECT_EQ(Edit("DataLenEdit")->text(), QString::number(entry.length.min));
        EXPECT_EQ(Label("DataCountLabel")->text(), "0x00");
        EXPECT_TRUE(DialogButton("BitBtn1")->isEnabled());
        // The buttons' icons come with the first show.
        EXPECT_FALSE(DialogButton("BitBtn1")->icon().isNull());
        EXPECT_FALSE(DialogButton("BitBtn2")->icon().isNull());
        const ModeLayout& layout = layouts.at(entry.mode);
        EXPECT_EQ(dialog->I2CLayout(), layout.i2c);
        EXPECT_THAT(Shown(kI2CRow), ::testing::Each(layout.i2c));
        EXPECT_THAT(Shown(kAddressRow), ::testing::Each(layout.address));
        EXPECT_THAT(Shown(kDataRow), ::testing::Each(layout.data));
        EXPECT_EQ(Edit("DataLenEdit")->isReadOnly(), !layout.lengthEditable);
        if (entry.dataLabel != nullptr) {
            EXPECT_EQ(Label("Label2")->text(), entry.dataLabel);
            // The data field takes at most two digits per byte of the length.
            QLineEdit* data = Edit("DataEdit");
            EXPECT_TRUE(data->isEnabled());
            QTest::keyClicks(data, QString(2 * entry.length.min + 3, QLatin1Char('1')));
            EXPECT_EQ(data->text().size(), 2 * entry.length.min);
        }
        DialogButton("BitBtn2")->click();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(mainWindow.isEnabled());
    }
}

TEST_F(DataDialog, LengthIsClampedWhileTyping) {
    Open(1);
    QLineEdit* length = Edit("DataLenEdit");
    length->selectAll();
    QTest::keyClicks(length, "30");
    EXPECT_EQ(length->text(), "30");
    QTest::keyClick(length, Qt::Key_0);
    EXPECT_EQ(length->text(), "256");
    Retype(length, "0");
    EXPECT_EQ(length->text(), "1");
    Retype(length, "");
    EXPECT_EQ(length->text(), "1");
    EXPECT_TRUE(boxes.Boxes().empty());

    Retype(length, "-");
    EXPECT_THAT(boxes.Errors(), ElementsAre("'-' is not a valid integer value"));
    EXPECT_EQ(length->text(), "-");
    QTest::keyClick(length, Qt::Key_5);
    EXPECT_EQ(length->text(), "1");
}

TEST_F(DataDialog, AddressIsClampedWhileTyping) {
    Open(8);
    QLineEdit* address = Edit("AddrEdit");
    Retype(address, "2000");
    EXPECT_EQ(address->text(), "1023");
    Retype(address, "");
    EXPECT_EQ(address->text(), "");  // empty counts as 0, which every range holds
    Retype(address, "1x");
    EXPECT_THAT(boxes.Errors(), ElementsAre("'1x' is not a valid integer value"));
    EXPECT_EQ(address->text(), "1x");
    Retype(address, "-7");
    EXPECT_EQ(address->text(), "0");
    // At most five characters.
    Retype(address, "000012");
    EXPECT_EQ(address->text(), "00001");
}

TEST_F(DataDialog, DataCountShowsCompleteBytes) {
    Open(4);
    Retype(Edit("DataLenEdit"), "3");
    QLineEdit* data = Edit("DataEdit");
    QTest::keyClicks(data, "0a1");
    EXPECT_EQ(data->text(), "0A1");
    EXPECT_EQ(Label("DataCountLabel")->text(), "0x01");
    PressOk();
    EXPECT_THAT(boxes.Errors(), ElementsAre("DATA Bytes are not enough!"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(mainWindow.isEnabled());

    QTest::keyClicks(data, "b2c");
    EXPECT_EQ(Label("DataCountLabel")->text(), "0x03");
    std::vector<std::uint8_t> written;
    EXPECT_CALL(library, CardSLE4442WriteMain(kCard, _, 0u, 3u))
        .WillOnce(Invoke(
            [&](std::uint32_t, const std::uint8_t* bytes, std::uint32_t, std::uint32_t length) {
                written.assign(bytes, bytes + length);
                return 0u;
            }));
    PressOk();
    EXPECT_THAT(written, ElementsAre(0x0A, 0x1B, 0x2C));
    EXPECT_THAT(pages->Params().MemData, ElementsAre(0x0A, 0x1B, 0x2C));
    EXPECT_EQ(pages->Params().MemDataLen, 3u);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(DataDialog, DataCountOfTheLongestOperation) {
    Open(10);
    Retype(Edit("DataLenEdit"), "1024");
    Edit("DataEdit")->insert(QString(2048, QLatin1Char('A')));
    EXPECT_EQ(Label("DataCountLabel")->text(), "0x400");
}

TEST_F(DataDialog, CapitalsKeepTheCursorWhereItIs) {
    Open(29);
    QLineEdit* data = Edit("DataEdit");
    Retype(Edit("DataLenEdit"), "2");
    QTest::keyClicks(data, "ab");
    data->setCursorPosition(1);
    QTest::keyClick(data, Qt::Key_C);
    EXPECT_EQ(data->text(), "ACB");
    EXPECT_EQ(data->cursorPosition(), 2);
    for (const char* name : {"CommandEdit", "DummyEdit", "AddrByteNumEdit"}) {
        Retype(Edit(name), "f0e");
        EXPECT_EQ(Edit(name)->text(), "F0") << name;  // two characters at most
    }
}

TEST_F(DataDialog, LoweringTheLengthKeepsLongerData) {
    Open(4);
    Retype(Edit("DataLenEdit"), "3");
    QLineEdit* data = Edit("DataEdit");
    QTest::keyClicks(data, "0A1B2C");
    Retype(Edit("DataLenEdit"), "2");
    EXPECT_EQ(data->text(), "0A1B2C");
    QTest::keyClick(data, Qt::Key_D);
    EXPECT_EQ(data->text(), "0A1B2C");  // no growth past the limit
    QTest::keyClick(data, Qt::Key_Backspace);
    EXPECT_EQ(data->text(), "0A1B2");  // shortening is always allowed
    PressOk();
    EXPECT_THAT(boxes.Errors(), ElementsAre("DATA Bytes are not enough!"));
}

TEST_F(DataDialog, DataPairsMustBeTwoHexDigits) {
    EXPECT_CALL(library, CardSLE4442WriteMain(_, _, _, _)).Times(0);
    Open(4);
    Retype(Edit("DataLenEdit"), "2");
    Retype(Edit("DataEdit"), "0G12");
    PressOk();
    Retype(Edit("DataEdit"), "0A 1");
    PressOk();
    EXPECT_THAT(boxes.Errors(), ElementsAre("DATA Input Error!", "DATA Input Error!"));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(DataDialog, OkChecksItsFieldsInOrder) {
    Open(29);
    {
        const CardBusyGuard busy = session.MarkBusy();
        PressOk();
    }
    Retype(Edit("CommandEdit"), "A");
    PressOk();
    EXPECT_EQ(pages->Params().I2CCommand, 0);
    Retype(Edit("CommandEdit"), "A0");
    Retype(Edit("DummyEdit"), "");
    PressOk();
    EXPECT_EQ(pages->Params().I2CCommand, 0xA0);  // stored as soon as it converts
    Retype(Edit("DummyEdit"), "5A");
    Retype(Edit("AddrByteNumEdit"), "G1");
    PressOk();
    EXPECT_EQ(pages->Params().I2CDummy, 0x5A);
    Retype(Edit("AddrByteNumEdit"), "01");
    Retype(Edit("DataLenEdit"), "+2");  // an integer to the live check, not to OK
    PressOk();
    Retype(Edit("DataLenEdit"), "2");
    Retype(Edit("DataEdit"), "01");
    PressOk();
    Retype(Edit("DataEdit"), "0102");
    Retype(Edit("AddrEdit"), "");
    PressOk();
    Retype(Edit("AddrEdit"), "16");
    Retype(Edit("DataEdit"), "01G2");
    PressOk();
    EXPECT_THAT(boxes.Errors(),
                ElementsAre("The Data Bus is busy!", "Command Input Error!", "Dummy Input Error!",
                            "Address Byte Number Input Error!", "'+' is not a valid integer value",
                            "DATA Length Input Error!", "DATA Bytes are not enough!",
                            "Starting Address Input Error!", "DATA Input Error!"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(mainWindow.isEnabled());

    EXPECT_CALL(library,
                CardI2CWriteMemory(kCard, std::uint8_t{0xA0}, 16u, _, 2u, std::uint8_t{0x01}))
        .WillOnce(Return(0u));
    Retype(Edit("DataEdit"), "0102");
    PressOk();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(mainWindow.isEnabled());
}

TEST_F(DataDialog, BusyBusStoresNothing) {
    Open(1);
    Retype(Edit("AddrEdit"), "12");
    const CardBusyGuard busy = session.MarkBusy();
    EXPECT_CALL(library, CardSLE4442ReadMain(_, _, _, _)).Times(0);
    PressOk();
    EXPECT_THAT(boxes.Errors(), ElementsAre("The Data Bus is busy!"));
    EXPECT_EQ(pages->Params().MemAddress, 0u);
    EXPECT_EQ(pages->Params().MemReadLen, 0u);
}

TEST_F(DataDialog, UnusableAddressNeverFallsBackToThePreviousOne) {
    EXPECT_CALL(library, CardSLE4442ReadMain(kCard, _, 100u, _)).WillOnce(Return(0u));
    Open(1);
    Retype(Edit("AddrEdit"), "100");
    PressOk();
    EXPECT_EQ(pages->Params().MemAddress, 100u);

    EXPECT_CALL(library, CardSLE4442WriteMain(_, _, _, _)).Times(0);
    Open(4);
    Retype(Edit("AddrEdit"), "");
    Retype(Edit("DataEdit"), "AA");
    PressOk();
    Open(1);
    Retype(Edit("AddrEdit"), "+5");
    PressOk();
    EXPECT_THAT(boxes.Errors(),
                ElementsAre("Starting Address Input Error!", "'+' is not a valid integer value",
                            "Starting Address Input Error!"));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(DataDialog, VerificationRunsWithAddressZero) {
    pages->Params().MemAddress = 100;
    EXPECT_CALL(library, CardSLE4436VerifyTransportCode(kCard, std::uint8_t{0x12},
                                                        std::uint8_t{0x34}, std::uint8_t{0x56}))
        .WillOnce(Return(0u));
    Open(26);
    Retype(Edit("DataEdit"), "123456");
    PressOk();
    EXPECT_EQ(pages->Params().MemAddress, 0u);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(DataDialog, EnterPressesOk) {
    EXPECT_CALL(library, CardSLE4404ReadUserMemory(kCard, _, 7u, _)).WillOnce(Return(0u));
    Open(15);
    Retype(Edit("AddrEdit"), "7");
    QTest::keyClick(Edit("AddrEdit"), Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(pages->Params().MemReadLen, 1u);
}

TEST_F(DataDialogGeometry, I2CRowGrowsOnceAndIsUndoneExactly) {
    Open(4);  // "Data to Send", as every I2C and standard operation below leaves it
    DialogButton("BitBtn2")->click();
    const Geometry standard = Snapshot();
    Open(28);
    const Geometry grown = Snapshot();
    EXPECT_EQ(grown.dialog, standard.dialog + QSize(0, 64));
    for (const char* name : kAllControls) {
        const std::string control = name;
        const bool i2c =
            std::find(std::begin(kI2CRow), std::end(kI2CRow), control) != std::end(kI2CRow);
        if (!i2c) {
            EXPECT_EQ(grown.controls.at(control), standard.controls.at(control).translated(0, 64))
                << name;
        }
    }
    const QPoint label = standard.controls.at("Label0").topLeft();
    const QPoint edit = standard.controls.at("AddrEdit").topLeft();
    EXPECT_EQ(grown.controls.at("Label3").topLeft(), label);
    EXPECT_EQ(grown.controls.at("CommandEdit").topLeft(), edit);
    EXPECT_EQ(grown.controls.at("Label4").topLeft(), label + QPoint(85, 0));
    EXPECT_EQ(grown.controls.at("DummyEdit").topLeft(), edit + QPoint(85, 0));
    EXPECT_EQ(grown.controls.at("Label5").topLeft(), label + QPoint(170, 0));
    EXPECT_EQ(grown.controls.at("AddrByteNumEdit").topLeft(), edit + QPoint(170, 0));

    DialogButton("BitBtn2")->click();
    Open(29);
    EXPECT_EQ(Snapshot(), grown);
    dialog->ShowI2CFields();
    EXPECT_EQ(Snapshot(), grown);

    DialogButton("BitBtn2")->click();
    Open(1);
    Geometry restored = Snapshot();
    // The I2C row keeps its place while hidden; everything else is back where it was.
    for (const char* name : kI2CRow) {
        restored.controls[name] = standard.controls.at(name);
    }
    EXPECT_EQ(restored, standard);
    EXPECT_THAT(Shown(kI2CRow), ::testing::Each(false));
    dialog->HideI2CFields();
    EXPECT_EQ(dialog->size(), standard.dialog);
}

TEST_F(DataDialog, ResetLeavesTheI2CFieldsAlone) {
    Open(28);
    Retype(Edit("CommandEdit"), "A0");
    Retype(Edit("AddrEdit"), "9");
    DialogButton("BitBtn2")->click();
    Open(29);
    EXPECT_EQ(Edit("CommandEdit")->text(), "A0");
    EXPECT_EQ(Edit("AddrEdit")->text(), "0");
}

TEST_F(DataDialog, UnknownModesAndCodesChangeNothing) {
    Open(4);
    dialog->SetDialogMode(static_cast<MemDlgMode>(7));
    EXPECT_TRUE(Edit("DataEdit")->isVisibleTo(dialog.get()));
    EXPECT_FALSE(Edit("DataLenEdit")->isReadOnly());
    pages->Params().MemOpCode = 27;
    dialog->ApplyOperationRanges();
    EXPECT_EQ(dialog->AddrRange().max, 255);
    EXPECT_EQ(dialog->LengthRange().max, 256);
}

TEST_F(DataDialog, MainWindowComesBackOnEveryWayOfHiding) {
    const std::vector<std::pair<const char*, std::function<void()>>> ways{
        {"Cancel", [this] { DialogButton("BitBtn2")->click(); }},
        {"close box", [this] { dialog->close(); }},
        {"Esc", [this] { QTest::keyClick(dialog.get(), Qt::Key_Escape); }},
        {"hide", [this] { dialog->hide(); }},
        {"OK", [this] { PressOk(); }},
    };
    for (const auto& [name, hideDialog] : ways) {
        SCOPED_TRACE(name);
        Open(14);
        EXPECT_FALSE(mainWindow.isEnabled());
        EXPECT_TRUE(dialog->isEnabled());
        hideDialog();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_TRUE(mainWindow.isEnabled());
    }
    EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
