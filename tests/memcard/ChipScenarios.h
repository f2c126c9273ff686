#pragma once

// The datasheet facts of each memory-card family as the pages record them: each scenario
// runs on the pages offscreen against the simulated reader, and those the storage-card
// commands express run again through zp-vcard on the real PC/SC stack, with the same
// expected records.

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/SelectForm.h"
#include "gui/memcard/DataForm.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestAtrList.h"
#include "support/TimerTick.h"

// One operation through its button and the Data Dialog; null fields are left as they are.
struct MemStep {
    const char* button;
    const char* address = nullptr;
    const char* length = nullptr;
    const char* data = nullptr;
    const char* i2cCommand = nullptr;  // with the dummy 00 and one address byte
};

struct ChipScenario {
    const char* name;
    const char* card;  // the card as zp-vcard names it
    const char* log;   // the page's response log
    bool overPcsc;     // the storage-card commands express every step
    std::vector<MemStep> steps;
    std::vector<std::string> records;  // the log's lines after all steps
};

// Failure codes are the one thing the backends write differently: the simulated library
// answers the PC/SC codes of a wrong and of a blocked code, the storage-card path the card's
// status word, 63 Cx (x tries left) and 69 83. Expected lines write them as {wrong x} and
// {blocked}.
enum class Backend { Simulated, Pcsc };

inline std::string ForBackend(std::string line, Backend backend) {
    const bool sim = backend == Backend::Simulated;
    if (const auto at = line.find("{wrong "); at != std::string::npos) {
        char code[17];
        std::snprintf(code, sizeof code, "%016X",
                      sim ? 0x8010006Bu : 0x63C0u + static_cast<unsigned>(line[at + 7] - '0'));
        line.replace(at, 9, code);
    }
    if (const auto at = line.find("{blocked}"); at != std::string::npos) {
        line.replace(at, 9, sim ? "000000008010006C" : "0000000000006983");
    }
    return line;
}

inline const std::string kSep(12, ' ');

// clang-format off
inline const std::vector<ChipScenario>& ChipScenarios() {
    static const std::vector<ChipScenario> scenarios = {
        {"SLE4442: a write over the protected header writes the free bytes; a read past the end "
         "delivers the bytes up to it",
         "sle4442", "SLE4442Respon", true,
         {{"SLE4442Verify", nullptr, nullptr, "FFFFFF"},
          {"SLE4442WriteM", "0", "6", "000000000000"},
          {"SLE4442ReadM", "0", "6"},
          {"SLE4442ReadM", "250", "10"}},
         {"SLE4442 Verification :", "     Verification Codes (0x03 bytes) : FF FF FF ",
          "SLE4442 Verify Success", kSep,
          "SLE4432/4442 Write Main Memory :", "     Starting Address : 0x000",
          "     Send Data (0x006 bytes) : 00 00 00 00 00 00 ",
          "SLE4432/4442 Write Main Memory Success", kSep,
          "SLE4432/4442 Read Main Memory :", "     Starting Address : 0x000",
          "     Receive Length = 0x006", "SLE4432/4442 Read Main Memory Success",
          "Receive Data : 006 bytes : ", "A2 13 10 91 00 00 ", kSep,
          "SLE4432/4442 Read Main Memory :", "     Starting Address : 0x0FA",
          "     Receive Length = 0x00A", "SLE4432/4442 Read Main Memory Success",
          "Receive Data : 006 bytes : ", "FF FF FF FF FF FF ", kSep}},

        {"SLE4442: protection bits read 0 when set, the PSC reads back once verified, three wrong "
         "codes lock the card",
         "sle4442", "SLE4442Respon", false,
         {{"SLE4442ReadS"},
          {"SLE4442Verify", nullptr, nullptr, "FFFFFF"},
          {"SLE4442ReadS"},
          {"SLE4442WriteM", "2", "4", "00000000"},
          {"SLE4442WriteP", "4", "1", "00"},
          {"SLE4442ReadP"},
          {"SLE4442ReadM", "2", "4"},
          {"SLE4442Verify", nullptr, nullptr, "000000"},
          {"SLE4442Verify", nullptr, nullptr, "000000"},
          {"SLE4442Verify", nullptr, nullptr, "000000"},
          {"SLE4442ReadS"},
          {"SLE4442Verify", nullptr, nullptr, "FFFFFF"}},
         {"SLE4442 Read Security Memory :", "     Starting Address : 0x000",
          "     Receive Length = 0x004", "SLE4442 Read Security Memory Success",
          "Receive Data : 004 bytes : ", "07 00 00 00 ", kSep,
          "SLE4442 Verification :", "     Verification Codes (0x03 bytes) : FF FF FF ",
          "SLE4442 Verify Success", kSep,
          "SLE4442 Read Security Memory :", "     Starting Address : 0x000",
          "     Receive Length = 0x004", "SLE4442 Read Security Memory Success",
          "Receive Data : 004 bytes : ", "07 FF FF FF ", kSep,
          "SLE4432/4442 Write Main Memory :", "     Starting Address : 0x002",
          "     Send Data (0x004 bytes) : 00 00 00 00 ",
          "SLE4432/4442 Write Main Memory Success", kSep,
          "SLE4432/4442 Write Protect Memory :", "     Starting Address : 0x004",
          "     Send Data (0x001 bytes) : 00 ", "SLE4432/4442 Write Protect Memory Success", kSep,
          "SLE4432/4442 Read Protect Memory : ", "     Starting Address : 0x000",
          "     Receive Length = 0x004", "SLE4432/4442 Read Protect Memory Success",
          "Receive Data : 004 bytes : ", "E0 FF FF FF ", kSep,
          "SLE4432/4442 Read Main Memory :", "     Starting Address : 0x002",
          "     Receive Length = 0x004", "SLE4432/4442 Read Main Memory Success",
          "Receive Data : 004 bytes : ", "10 91 00 00 ", kSep,
          "SLE4442 Verification :", "     Verification Codes (0x03 bytes) : 00 00 00 ",
          "SLE4442 Verify Fail, return code=0x{wrong 2}", kSep,
          "SLE4442 Verification :", "     Verification Codes (0x03 bytes) : 00 00 00 ",
          "SLE4442 Verify Fail, return code=0x{wrong 1}", kSep,
          "SLE4442 Verification :", "     Verification Codes (0x03 bytes) : 00 00 00 ",
          "SLE4442 Verify Fail, return code=0x{wrong 0}", kSep,
          "SLE4442 Read Security Memory :", "     Starting Address : 0x000",
          "     Receive Length = 0x004", "SLE4442 Read Security Memory Success",
          "Receive Data : 004 bytes : ", "00 00 00 00 ", kSep,
          "SLE4442 Verification :", "     Verification Codes (0x03 bytes) : FF FF FF ",
          "SLE4442 Verify Fail, return code=0x{blocked}", kSep}},

        {"SLE4428: the PSC reads 00 until verified; a read past the end delivers the bytes up to it",
         "sle4428", "SLE4428Respon", true,
         {{"SLE4428ReadM", "1021", "3"},
          {"SLE4428PSC", nullptr, nullptr, "FFFF"},
          {"SLE4428ReadM", "1021", "3"},
          {"SLE4428ReadM", "1016", "16"}},
         {"SLE4418/4428 Read Main Memory :", "     Starting Address : 0x3FD",
          "     Receive Length = 0x003", "SLE4418/4428 Read Main Memory Success",
          "Receive Data : 003 bytes : ", "FF 00 00 ", kSep,
          "SLE4428 PSC Verification :", "     Verification Codes (0x02 bytes) : FF FF ",
          "SLE4428 PSC Verification Success", kSep,
          "SLE4418/4428 Read Main Memory :", "     Starting Address : 0x3FD",
          "     Receive Length = 0x003", "SLE4418/4428 Read Main Memory Success",
          "Receive Data : 003 bytes : ", "FF FF FF ", kSep,
          "SLE4418/4428 Read Main Memory :", "     Starting Address : 0x3F8",
          "     Receive Length = 0x010", "SLE4418/4428 Read Main Memory Success",
          "Receive Data : 008 bytes : ", "FF FF FF FF FF FF FF FF ", kSep}},

        {"SLE4428: protect bits read 00 when set; a write over protected bytes writes the free ones",
         "sle4428", "SLE4428Respon", false,
         {{"SLE4428PSC", nullptr, nullptr, "FFFF"},
          {"SLE4428WriteP", "16", "2", "AABB"},
          {"SLE4428WriteM", "15", "4", "01020304"},
          {"SLE4428ReadP", "15", "4"}},
         {"SLE4428 PSC Verification :", "     Verification Codes (0x02 bytes) : FF FF ",
          "SLE4428 PSC Verification Success", kSep,
          "SLE4418/4428 Write Memory With Protect Bit:", "     Starting Address : 0x010",
          "     Send Data (0x002 bytes) : AA BB ",
          "SLE4418/4428 Write Memory With Protect Bit Success", kSep,
          "SLE4418/4428 Write Main Memory :", "     Starting Address : 0x00F",
          "     Send Data (0x004 bytes) : 01 02 03 04 ",
          "SLE4418/4428 Write Main Memory Success", kSep,
          "SLE4418/4428 Read Memory With Protect Bit:", "     Starting Address : 0x00F",
          "     Receive Length = 0x004", "SLE4418/4428 Read Main Memory Success",
          "Receive Data : 0x004 bytes : ", "Data:01 AA BB 04 ", "PBit:01 00 00 01 ", kSep}},

        {"SLE4404: manufacturer, issuer, user code, counter and user memory, memory code and its "
         "counter; codes read 00 until verified; a write leaves the manufacturer area as it is",
         "sle4404", "SLE4404Respon", true,
         {{"SLE4404ReadM", "0", "51"},
          {"SLE4404VerifyU", nullptr, nullptr, "FFFF"},
          {"SLE4404VerifyM", nullptr, nullptr, "FFFFFFFF"},
          {"SLE4404WriteU", "25", "1", "5A"},
          {"SLE4404WriteM", "0", "4", "00000000"},
          {"SLE4404ReadM", "0", "4"},
          {"SLE4404ReadM", "8", "36"},
          {"SLE4404ReadU", "20", "10"}},
         {"SLE4404 Read Memory :", "     Starting Address : 0x000", "     Receive Length = 0x033",
          "SLE4404 Read Memory Success", "Receive Data : 033 bytes : ",
          "44 04 FF FF FF FF FF FF FF FF 00 00 FF FF FF FF ",
          "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ",
          "FF FF FF FF FF FF 00 00 00 00 FF FF FF FF FF FF ", "FF FF FF ", kSep,
          "SLE4404 User Code Verification :", "     Verification Codes (0x02 bytes) : FF FF ",
          "SLE4404 User Code Verify Success", kSep,
          "SLE4404 Memory Code Verification :",
          "     Verification Codes (0x04 bytes) : FF FF FF FF ",
          "SLE4404 Memory Code Verify Success", kSep,
          "SLE4404 Write User Memory :", "     Starting Address : 0x019",
          "     Send Data (0x001 bytes) : 5A ", "SLE4404 Write User Memory Success", kSep,
          "SLE4404 Write Memory :", "     Starting Address : 0x000",
          "     Send Data (0x004 bytes) : 00 00 00 00 ", "SLE4404 Write Memory Success", kSep,
          "SLE4404 Read Memory :", "     Starting Address : 0x000", "     Receive Length = 0x004",
          "SLE4404 Read Memory Success", "Receive Data : 004 bytes : ", "44 04 00 00 ", kSep,
          "SLE4404 Read Memory :", "     Starting Address : 0x008", "     Receive Length = 0x024",
          "SLE4404 Read Memory Success", "Receive Data : 024 bytes : ",
          "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ",
          "FF FF FF FF FF FF FF FF FF FF FF FF FF 5A FF FF ", "FF FF FF FF ", kSep,
          "SLE4404 Read User Memory :", "     Starting Address : 0x014",
          "     Receive Length = 0x00A", "SLE4404 Read User Memory Success",
          "Receive Data : 006 bytes : ", "FF FF FF FF FF 5A ", kSep}},

        {"SLE4404: four wrong user codes run the counter in user byte 0 down to lock-out",
         "sle4404", "SLE4404Respon", true,
         {{"SLE4404VerifyU", nullptr, nullptr, "1234"},
          {"SLE4404VerifyU", nullptr, nullptr, "1234"},
          {"SLE4404VerifyU", nullptr, nullptr, "1234"},
          {"SLE4404VerifyU", nullptr, nullptr, "1234"},
          {"SLE4404ReadU", "0", "1"},
          {"SLE4404VerifyU", nullptr, nullptr, "FFFF"}},
         {"SLE4404 User Code Verification :", "     Verification Codes (0x02 bytes) : 12 34 ",
          "SLE4404 User Code Verify Fail, return code=0x{wrong 3}", kSep,
          "SLE4404 User Code Verification :", "     Verification Codes (0x02 bytes) : 12 34 ",
          "SLE4404 User Code Verify Fail, return code=0x{wrong 2}", kSep,
          "SLE4404 User Code Verification :", "     Verification Codes (0x02 bytes) : 12 34 ",
          "SLE4404 User Code Verify Fail, return code=0x{wrong 1}", kSep,
          "SLE4404 User Code Verification :", "     Verification Codes (0x02 bytes) : 12 34 ",
          "SLE4404 User Code Verify Fail, return code=0x{wrong 0}", kSep,
          "SLE4404 Read User Memory :", "     Starting Address : 0x000",
          "     Receive Length = 0x001", "SLE4404 Read User Memory Success",
          "Receive Data : 001 bytes : ", "F0 ", kSep,
          "SLE4404 User Code Verification :", "     Verification Codes (0x02 bytes) : FF FF ",
          "SLE4404 User Code Verify Fail, return code=0x{blocked}", kSep}},

        {"24C16: the device select picks the block, a page write rolls over within its page, a "
         "read rolls over at the end of memory",
         "i2c-24c16", "I2CRespon", false,
         {{"I2CWriteM", "14", "4", "01020304", "A2"},
          {"I2CReadM", "0", "3", nullptr, "A3"},
          {"I2CWriteM", "0", "1", "AA", "A0"},
          {"I2CReadM", "252", "6", nullptr, "AF"}},
         {"I2C Write Memory :", "     Command : A2", "     Number of Address Bytes : 01",
          "     Starting Address : 0x00E", "     Send Data (0x004 bytes) : 01 02 03 04 ",
          "I2C Write Memory Success", kSep,
          "I2C Read Memory :", "     Command : A3", "     Dummy : 00",
          "     Number of Address Bytes : 01", "     Starting Address : 0x000",
          "     Receive Length = 0x003", "I2C Read Memory Success",
          "Receive Data : 003 bytes : ", "03 04 FF ", kSep,
          "I2C Write Memory :", "     Command : A0", "     Number of Address Bytes : 01",
          "     Starting Address : 0x000", "     Send Data (0x001 bytes) : AA ",
          "I2C Write Memory Success", kSep,
          "I2C Read Memory :", "     Command : AF", "     Dummy : 00",
          "     Number of Address Bytes : 01", "     Starting Address : 0x0FC",
          "     Receive Length = 0x006", "I2C Read Memory Success",
          "Receive Data : 006 bytes : ", "FF FF FF FF AA FF ", kSep}},
    };
    return scenarios;
}
// clang-format on

// The program as its start-up sequence builds it over a platform, its memory-card pages
// driven by mouse clicks and typing.
class MemCardDriver {
  public:
    MemCardDriver(CardLibrary& card, SamLibrary& sam, MsrLibrary& msr)
        : platform_{card, sam, msr, boxes_, atrList_.Path()} {}

    // Starts the program, takes the first reader when asked to choose, and lets the connect
    // timer connect the card.
    bool Connect() {
        windows_ = CreateWindows(platform_);
        if (windows_->selectDlg->isVisible()) {
            Click(windows_->selectDlg.get(), "OKButton");
        }
        TickTimer(windows_->mainForm->findChild<QTimer*>(QStringLiteral("ConnectTimer")));
        return Session().CardConnected();
    }

    void Run(const MemStep& step) {
        auto* pages = windows_->mainForm->findChild<QTabWidget*>(QStringLiteral("PageCtrl"));
        for (int index = 0; index < pages->count(); ++index) {
            if (pages->widget(index)->findChild<QPushButton*>(QString::fromLatin1(step.button))) {
                pages->setCurrentIndex(index);
            }
        }
        Click(windows_->mainForm.get(), step.button);
        if (step.i2cCommand != nullptr) {
            Retype("CommandEdit", step.i2cCommand);
            Retype("DummyEdit", "00");
            Retype("AddrByteNumEdit", "01");
        }
        Retype("AddrEdit", step.address);
        Retype("DataLenEdit", step.length);
        Retype("DataEdit", step.data);
        Click(windows_->memDataDlg.get(), "BitBtn1");
    }

    std::vector<std::string> Log(const char* name) {
        return windows_->mainForm->findChild<ResponseLogEdit*>(QString::fromLatin1(name))->Lines();
    }

    // The scenario's steps on the connected card; the records it expects, for `backend`.
    void Play(const ChipScenario& scenario, Backend backend, std::vector<std::string>& expected) {
        for (const MemStep& step : scenario.steps) {
            Run(step);
        }
        expected.clear();
        for (const std::string& line : scenario.records) {
            expected.push_back(ForBackend(line, backend));
        }
    }

    ReaderSession& Session() { return windows_->mainForm->Session(); }
    RecordingMessageBoxes& Boxes() { return boxes_; }

  private:
    static void Click(QWidget* window, const char* button) {
        QTest::mouseClick(window->findChild<QPushButton*>(QString::fromLatin1(button)),
                          Qt::LeftButton);
    }

    // Selects the field's text and types over it.
    void Retype(const char* field, const char* text) {
        if (text == nullptr) {
            return;
        }
        auto* edit = windows_->memDataDlg->findChild<QLineEdit*>(QString::fromLatin1(field));
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }

    RecordingMessageBoxes boxes_;
    TestAtrList atrList_;
    Platform platform_;
    std::unique_ptr<ProgramWindows> windows_;
};
