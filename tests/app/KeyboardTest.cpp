#include <gmock/gmock.h>

#include <QAccessible>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTextBlock>
#include <QTextLayout>

#include "AppFixture.h"
#include "app/About.h"
#include "gui/CardStatusForm.h"
#include "gui/SelectForm.h"
#include "gui/memcard/DataForm.h"

namespace {

// The assembled program, its main window active, card tracking off so that no tracking
// window takes the activation.
class Keyboard : public AppTest {
  protected:
    void SetUp() override {
        Start();
        AutoConnect()->setChecked(false);
        ConnectTimer()->stop();
    }

    // Closes whatever a press opened and gives the main window back.
    void Settle() {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
        if (windows->memDataDlg->isVisible()) {
            windows->memDataDlg->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        }
        if (windows->selectDlg->isVisible()) {
            windows->selectDlg->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
        }
        windows->mainForm->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(windows->mainForm.get()));
    }
};

struct Accelerator {
    const char* page;
    char letter;
    const char* owner;  // a field takes the focus, a button is pressed, a menu opens
};

// Every letter of every page, as built: the page's controls first, then the button row, then
// the menu titles. The SAM page is shown disconnected.
constexpr Accelerator kAccelerators[] = {
    {"SCardSheet", 'A', "CLA"},
    {"SCardSheet", 'I', "INS"},
    {"SCardSheet", '1', "P1"},
    {"SCardSheet", '2', "P2"},
    {"SCardSheet", 'L', "Lc"},
    {"SCardSheet", 'T', "DATA"},
    {"SCardSheet", 'E', "Le"},
    {"SCardSheet", 'S', "SCardSend"},
    {"SCardSheet", 'R', "SelectBtn"},
    {"SCardSheet", 'C', "ConnectBtn"},
    {"SCardSheet", 'D', "DisconnectButton"},
    {"SCardSheet", 'G', "GetRdrType"},
    {"SCardSheet", 'B', "AboutBtn"},
    {"SLE4442Sheet", 'M', "SLE4442ReadM"},
    {"SLE4442Sheet", 'P', "SLE4442ReadP"},
    {"SLE4442Sheet", 'S', "SLE4442ReadS"},
    {"SLE4442Sheet", 'W', "SLE4442WriteM"},
    {"SLE4442Sheet", 'O', "SLE4442WriteP"},
    {"SLE4442Sheet", 'I', "SLE4442WriteS"},
    {"SLE4442Sheet", 'V', "SLE4442Verify"},
    {"SLE4442Sheet", 'C', "SLE4442Clear"},
    {"SLE4442Sheet", 'R', "SelectBtn"},
    {"SLE4442Sheet", 'A', "Help"},
    {"SLE4428Sheet", 'M', "SLE4428ReadM"},
    {"SLE4428Sheet", 'P', "SLE4428ReadP"},
    {"SLE4428Sheet", 'W', "SLE4428WriteM"},
    {"SLE4428Sheet", 'E', "SLE4428WriteP"},
    {"SLE4428Sheet", 'T', "SLE4428WritePB"},
    {"SLE4428Sheet", 'V', "SLE4428PSC"},
    {"SLE4428Sheet", 'C', "SLE4428Clear"},
    {"SLE4404", 'M', "SLE4404ReadM"},
    {"SLE4404", 'U', "SLE4404ReadU"},
    {"SLE4404", 'W', "SLE4404WriteM"},
    {"SLE4404", 'T', "SLE4404WriteU"},
    {"SLE4404", 'E', "SLE4404EraseM"},
    {"SLE4404", 'V', "SLE4404VerifyU"},
    {"SLE4404", 'F', "SLE4404VerifyM"},
    {"SLE4404", 'C', "ConnectBtn"},
    {"SLE4436Sheet", 'M', "SLE4436ReadM"},
    {"SLE4436Sheet", 'S', "SLE4436ReadC"},
    {"SLE4436Sheet", 'W', "SLE4436WriteM"},
    {"SLE4436Sheet", 'T', "SLE4436WriteC"},
    {"SLE4436Sheet", 'O', "SLE4436Reload"},
    {"SLE4436Sheet", 'V', "SLE4436Verify"},
    {"SLE4436Sheet", 'D', "DisconnectButton"},
    {"I2CSheet", 'M', "I2CReadM"},
    {"I2CSheet", 'W', "I2CWriteM"},
    {"I2CSheet", 'G', "GetRdrType"},
    {"I2CSheet", 'A', "Help"},
    {"SAMSheet", 'M', "SAMDisconnectBtn"},
    {"SAMSheet", 'R', "SelectBtn"},
    {"PellikSheet1", 'M', "BitBtnReadMSR"},
    {"PellikSheet1", 'A', "BitBtnDisableReadMSR"},
    {"PellikSheet1", 'L', "BitBtnMSRClear"},
    {"PellikSheet1", 'C', "ConnectBtn"},
    {"PellikSheet1", 'R', "SelectBtn"},
};

TEST_F(Keyboard, EveryAcceleratorActsOncePerPress) {
    // The About box is modal: it is closed as soon as it shows.
    QTimer aboutCloser;
    QObject::connect(&aboutCloser, &QTimer::timeout, [this] {
        if (windows->frmAbout->isVisible()) {
            windows->frmAbout->reject();
        }
    });
    aboutCloser.start(10);
    for (const Accelerator& accelerator : kAccelerators) {
        SCOPED_TRACE(std::string(accelerator.page) + " Alt+" + accelerator.letter);
        ShowPage(accelerator.page);
        QWidget* owner = Find<QWidget>(accelerator.owner);
        ASSERT_NE(owner, nullptr);
        auto* button = qobject_cast<QAbstractButton*>(owner);
        QSignalSpy clicks(button != nullptr ? button : Button("ExitButton"),
                          &QAbstractButton::clicked);
        for (int press = 1; press <= 2; ++press) {
            Button("ExitButton")->setFocus();
            Press(accelerator.letter, Qt::AltModifier);
            if (qobject_cast<QMenu*>(owner) != nullptr) {
                EXPECT_EQ(QApplication::activePopupWidget(), owner) << "press " << press;
            } else if (button == nullptr) {
                EXPECT_EQ(Focused(), QString::fromLatin1(accelerator.owner)) << "press " << press;
            }
            Settle();
        }
        EXPECT_EQ(clicks.count(), button != nullptr ? 2 : 0);
    }
}

// "&C&lear" marks C and L; only L presses it. With a card connected Connect is disabled and
// Alt+C belongs to nothing.
TEST_F(Keyboard, AltCWithConnectDisabledLeavesTheStripeLogAlone) {
    card.InsertCard(0, SimCardKind::CpuT1);
    QTest::mouseClick(Button("ConnectBtn"), Qt::LeftButton);
    ShowPage("PellikSheet1");
    ASSERT_FALSE(Button("ConnectBtn")->isEnabled());
    Find<ResponseLogEdit>("MsrRespon")->Model()->AppendLine("Track 1: %B1234^TEST?");
    QPushButton* clear = Button("BitBtnMSRClear");
    // Qt's own shortcut would press the button at once and click it 100 ms later.
    QSignalSpy presses(clear, &QAbstractButton::pressed);
    Button("ExitButton")->setFocus();
    Press(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(presses.count(), 0);
    EXPECT_FALSE(clear->isDown());
    EXPECT_EQ(Log("MsrRespon").size(), 1u);
    Press(Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(presses.count(), 1);
    EXPECT_TRUE(Log("MsrRespon").empty());
}

// A key held down: its first press, the presses the keyboard repeats, one release.
void Hold(int key, Qt::KeyboardModifiers modifiers, int repeats) {
    QWindow* window = QApplication::activeWindow()->windowHandle();
    QTest::keyPress(window, static_cast<Qt::Key>(key), modifiers);
    for (int i = 0; i < repeats; ++i) {
        QTest::simulateEvent(window, true, key, modifiers, QString(), true);
    }
    QTest::keyRelease(window, static_cast<Qt::Key>(key), modifiers);
}

TEST_F(Keyboard, AHeldKeyActsOnce) {
    card.InsertCard(0, SimCardKind::CpuT1);
    QTest::mouseClick(Button("ConnectBtn"), Qt::LeftButton);
    // GET CHALLENGE for eight bytes.
    for (const auto& [name, text] :
         {std::pair{"CLA", "00"}, {"INS", "84"}, {"P1", "00"}, {"P2", "00"}, {"Le", "08"}}) {
        QTest::keyClicks(Find<QLineEdit>(name), QString::fromLatin1(text));
    }
    struct Case {
        const char* page;
        const char* before;  // pressed first: the SAM is connected
        const char* focus;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* button;
    };
    const Case cases[] = {
        {"SCardSheet", nullptr, "CLA", Qt::Key_S, Qt::AltModifier, "SCardSend"},
        {"SAMSheet", "SAMConnectBtn", "SAMCLA", Qt::Key_Return, Qt::NoModifier, "BitBtnSAMSend"},
        {"PellikSheet1", nullptr, "MsrRespon", Qt::Key_Escape, Qt::NoModifier, "BitBtnMSRClear"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        ShowPage(c.page);
        if (c.before != nullptr) {
            QTest::mouseClick(Button(c.before), Qt::LeftButton);
        }
        QSignalSpy clicks(Button(c.button), &QAbstractButton::clicked);
        Find<QWidget>(c.focus)->setFocus();
        Hold(c.key, c.modifiers, 5);
        EXPECT_EQ(clicks.count(), 1);
    }
    const std::vector<std::string> log = Log("ScardRespon");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Send Data Success"), 1) << "one APDU";
}

TEST_F(Keyboard, SamAltAConnectsWhileTheFieldsAreHiddenThenFocusesCla) {
    ShowPage("SAMSheet");
    Button("ExitButton")->setFocus();
    Press(Qt::Key_A, Qt::AltModifier);
    EXPECT_THAT(Log("SAMRespon"), ::testing::ElementsAre("Connect SAM0 Success", ""));
    Button("SAMClear")->setFocus();
    Press(Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(Focused(), QStringLiteral("SAMCLA"));
    EXPECT_EQ(Log("SAMRespon").size(), 2u) << "no second connect";
    Press(Qt::Key_T, Qt::AltModifier);
    EXPECT_EQ(Focused(), QStringLiteral("SAMData"));
}

TEST_F(Keyboard, F10OpensTheReaderMenu) {
    ShowPage("SCardSheet");
    Find<QLineEdit>("CLA")->setFocus();
    Press(Qt::Key_F10);
    EXPECT_EQ(QApplication::activePopupWidget(), Find<QMenu>("Reader"));
    Settle();
}

TEST_F(Keyboard, EscPressesThePagesCancelButtonWhereverTheFocusIs) {
    struct Case {
        const char* page;
        const char* before;  // pressed before each Esc: the SAM is connected first
        const char* cancel;
        std::vector<const char*> focus;
    };
    const Case cases[] = {
        {"SAMSheet",
         "SAMConnectBtn",
         "SAMDisconnectBtn",
         {"SAMCLA", "SAMRespon", "SelectBtn", "tab bar"}},
        {"PellikSheet1",
         "BitBtnReadMSR",
         "BitBtnMSRClear",
         {"BitBtnReadMSR", "MsrRespon", "ExitButton", "tab bar"}},
    };
    for (const Case& c : cases) {
        ShowPage(c.page);
        QSignalSpy presses(Button(c.cancel), &QAbstractButton::clicked);
        for (const char* focus : c.focus) {
            SCOPED_TRACE(focus);
            QTest::mouseClick(Button(c.before), Qt::LeftButton);
            if (std::string_view(focus) == "tab bar") {
                Find<QTabWidget>("PageCtrl")->findChild<QTabBar*>()->setFocus();
            } else {
                Find<QWidget>(focus)->setFocus();
            }
            const int before = static_cast<int>(presses.count());
            Press(Qt::Key_Escape);
            EXPECT_EQ(presses.count(), before + 1);
        }
    }
}

TEST_F(Keyboard, EnterOnTheSamPageSendsFromAFieldAndConnectsElsewhere) {
    ShowPage("SAMSheet");
    QSignalSpy connects(Button("SAMConnectBtn"), &QAbstractButton::clicked);
    QSignalSpy sends(Button("BitBtnSAMSend"), &QAbstractButton::clicked);
    for (const char* focus : {"SAMClear", "SAMDisconnectBtn", "SAMRespon"}) {
        QTest::mouseClick(Button("SAMDisconnectBtn"), Qt::LeftButton);
        Find<QWidget>(focus)->setFocus();
        Press(Qt::Key_Return);
        EXPECT_EQ(Focused(), QStringLiteral("SAMCLA")) << focus << ": connected";
    }
    EXPECT_EQ(connects.count(), 3);
    for (const char* focus : {"SAMCLA", "SAMData", "SAMLe"}) {
        Find<QWidget>(focus)->setFocus();
        Press(Qt::Key_Enter, Qt::KeypadModifier);
    }
    EXPECT_EQ(sends.count(), 3);
    EXPECT_EQ(boxes.Errors().size(), 3u) << "each Send parsed the empty fields";
}

TEST_F(Keyboard, AltAloneAndTheMenuBarAreNotLeavingTheField) {
    ShowPage("SCardSheet");
    Find<QLineEdit>("CLA")->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("5"));
    Press(Qt::Key_Alt, Qt::AltModifier);
    EXPECT_EQ(Find<QLineEdit>("CLA")->text(), QStringLiteral("5"));
    Settle();
    Find<QLineEdit>("CLA")->setFocus();
    Press(Qt::Key_F10);
    Settle();
    EXPECT_EQ(Find<QLineEdit>("CLA")->text(), QStringLiteral("5"));
}

TEST_F(Keyboard, APasteKeepsThePartThatFits) {
    ShowPage("SCardSheet");
    QGuiApplication::clipboard()->setText(QStringLiteral("a4b5c6"));
    Find<QLineEdit>("INS")->setFocus();
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Find<QLineEdit>("INS")->text(), QStringLiteral("A4"));

    // The Data Dialog's data field, limited to twice the length.
    Button("SLE4442WriteS")->click();
    auto* data = windows->memDataDlg->findChild<QLineEdit*>(QStringLiteral("DataEdit"));
    QApplication::setActiveWindow(windows->memDataDlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(windows->memDataDlg.get()));
    data->setFocus();
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(data->text(), QStringLiteral("A4"));
    Settle();
}

TEST_F(Keyboard, LongLinesWrapExceptInTheStripeLog) {
    const std::pair<const char*, const char*> logs[] = {
        {"SCardSheet", "ScardRespon"},     {"SLE4442Sheet", "SLE4442Respon"},
        {"SLE4428Sheet", "SLE4428Respon"}, {"SLE4404", "SLE4404Respon"},
        {"SLE4436Sheet", "SLE4436Respon"}, {"I2CSheet", "I2CRespon"},
        {"SAMSheet", "SAMRespon"},         {"PellikSheet1", "MsrRespon"},
    };
    for (const auto& [page, name] : logs) {
        SCOPED_TRACE(name);
        ShowPage(page);
        auto* log = Find<ResponseLogEdit>(name);
        log->Model()->AppendLine(std::string(300, 'F'));
        QApplication::processEvents();
        const QTextBlock last = log->document()->lastBlock();
        log->document()->documentLayout()->blockBoundingRect(last);
        const bool stripe = std::string_view(name) == "MsrRespon";
        EXPECT_EQ(last.layout()->lineCount() > 1, !stripe);
        EXPECT_EQ(log->horizontalScrollBarPolicy(),
                  stripe ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(log->verticalScrollBarPolicy(), std::string_view(name) == "SAMRespon"
                                                      ? Qt::ScrollBarAlwaysOff
                                                      : Qt::ScrollBarAlwaysOn);
        if (stripe) {
            EXPECT_GT(log->horizontalScrollBar()->maximum(), 0);
        }
    }
}

QString AccessibleText(QObject* object, QAccessible::Text text) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face != nullptr ? face->text(text) : QString();
}

TEST_F(Keyboard, EveryControlOfEveryWindowHasAnAccessibleName) {
    const QWidget* all[] = {windows->mainForm.get(), windows->frmAbout.get(),
                            windows->selectDlg.get(), windows->memDataDlg.get(),
                            windows->cardStatusDlg.get()};
    for (const QWidget* window : all) {
        for (QWidget* control : window->findChildren<QWidget*>()) {
            const auto* label = qobject_cast<QLabel*>(control);
            const bool picture = label != nullptr && !label->pixmap().isNull();
            // Controls reached with Tab (a widget that hands its focus on is not one itself),
            // and pictures.
            const bool tabStop =
                (control->focusPolicy() & Qt::TabFocus) != 0 && control->focusProxy() == nullptr;
            if (!tabStop && !picture) {
                continue;
            }
            EXPECT_FALSE(AccessibleText(control, QAccessible::Name).isEmpty())
                << control->metaObject()->className() << " " << control->objectName().toStdString();
            if (auto* button = qobject_cast<QAbstractButton*>(control)) {
                EXPECT_EQ(AccessibleText(button, QAccessible::Description), button->toolTip());
            }
        }
    }
    const std::pair<const char*, const char*> names[] = {
        {"ScardRespon", "CPU card response"},
        {"SLE4442Respon", "SLE4432/4442 response"},
        {"I2CRespon", "I2C response"},
        {"SAMRespon", "SAM response"},
        {"MsrRespon", "MSR response"},
        {"CLA", "CLA:"},
        {"SAMP1", "P1:"},
    };
    for (const auto& [name, accessible] : names) {
        EXPECT_EQ(AccessibleText(Find<QWidget>(name), QAccessible::Name), accessible);
    }
    const std::pair<const char*, const char*> dialogNames[] = {
        {"AddrEdit", "Starting Address"}, {"DataLenEdit", "Data Length"},
        {"DataEdit", "Data To Send"},     {"CommandEdit", "Command"},
        {"DummyEdit", "Dummy"},           {"AddrByteNumEdit", "# of Address Bytes"},
    };
    for (const auto& [name, accessible] : dialogNames) {
        EXPECT_EQ(AccessibleText(windows->memDataDlg->findChild<QWidget*>(name), QAccessible::Name),
                  accessible);
    }
    EXPECT_EQ(AccessibleText(windows->cardStatusDlg->findChild<QLabel*>("ImgEjectCard"),
                             QAccessible::Name),
              QStringLiteral("Eject the Card"));
}

}  // namespace
