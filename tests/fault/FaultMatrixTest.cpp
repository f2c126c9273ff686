// Every operation of the card, SAM and stripe libraries, called from its page while the
// simulated library answers a failure code: the exact lines and boxes of the failure, the
// busy flag back to 0, the earlier lines of the log untouched, and the same operation
// succeeding when it is tried again.
#include <gmock/gmock.h>

#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "FaultFixture.h"
#include "support/TimerTick.h"

using ::testing::ElementsAreArray;

namespace {

using Kind = RecordingMessageBoxes::Kind;
const std::string kSeparator(12, ' ');

enum class Lib { Card, Sam, Msr, CardListFill };

struct ExpectedBox {
    Kind kind;
    std::string text;    // "{code}" stands for the code's sixteen hex digits
    std::size_t before;  // lines the operation had written when the box appeared
};

struct Outcome {
    std::vector<std::string> lines;  // "{code}" as above
    std::vector<ExpectedBox> boxes;
};

using Step = std::function<void(FaultFixture&)>;

struct FaultCase {
    std::string name;
    Lib library;
    const char* operation;
    const char* log;        // the response log of the operation's page
    Step prepare;           // brings the page to where the operation runs; writes earlier lines
    Step act;               // the operation, from its page
    Outcome failure;        // all it writes and shows when the library fails
    Outcome next;           // the first lines and every box of the same operation tried again
    Step check{};           // the state after the failure, where the page keeps any
    Step retry{};           // the operation tried again, when that is not `act`
    bool restarts = false;  // the retry is a new start of the program
    bool busyDuringBox = false;  // CardBusy is 1 while the failure's box is open
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

std::string Digits(std::uint32_t code) {
    char text[17];
    std::snprintf(text, sizeof text, "%016X", code);
    return text;
}

std::string WithCode(std::string text, std::uint32_t code) {
    const auto at = text.find("{code}");
    return at == std::string::npos ? text : text.replace(at, 6, Digits(code));
}

std::vector<std::string> WithCode(const std::vector<std::string>& lines, std::uint32_t code) {
    std::vector<std::string> expanded;
    for (const std::string& line : lines) {
        expanded.push_back(WithCode(line, code));
    }
    return expanded;
}

const std::vector<std::string> kNoLines;

// ---- The reader operations of the card library ----

void StartConnected(FaultFixture& f) {
    f.Start();
    f.ConnectCard(SimCardKind::CpuT1);
}

std::vector<FaultCase> ReaderCases() {
    const Step start = [](FaultFixture& f) { f.Start(); };
    const Step nothing = [](FaultFixture&) {};
    const Step restart = [](FaultFixture& f) { f.Restart(); };
    const Outcome started{{"Initialize Success"}, {}};
    const Step noReaders = [](FaultFixture& f) {
        EXPECT_EQ(f.Session().ReaderCount(), 0u);
        EXPECT_FALSE(f.Find<QTimer>("ConnectTimer")->isActive());
    };
    const Step getChallenge = [](FaultFixture& f) {
        f.SendApdu("00", "84", "00", "00", "", "", "08");
    };
    return {
        {.name = "EstablishContextAtStart",
         .library = Lib::Card,
         .operation = "CardEstablishContext",
         .log = "ScardRespon",
         .prepare = nothing,
         .act = start,
         .failure = {kNoLines, {{Kind::Error, "Establish Context Fail!", 0}}},
         .next = started,
         .check = noReaders,
         .retry = restart,
         .restarts = true},
        {.name = "ListReadersLengthAtStart",
         .library = Lib::Card,
         .operation = "CardListReaders",
         .log = "ScardRespon",
         .prepare = nothing,
         .act = start,
         .failure = {kNoLines, {{Kind::Error, "SCardListReaders Fail!", 0}}},
         .next = started,
         .check = noReaders,
         .retry = restart,
         .restarts = true},
        {.name = "ListReadersFillAtStart",
         .library = Lib::CardListFill,
         .operation = "CardListReaders",
         .log = "ScardRespon",
         .prepare = nothing,
         .act = start,
         .failure = {kNoLines, {{Kind::Error, "SCardListReaders Fail!", 0}}},
         .next = started,
         .check = noReaders,
         .retry = restart,
         .restarts = true},
        {.name = "ReleaseContextOnClose",
         .library = Lib::Card,
         .operation = "CardReleaseContext",
         .log = "ScardRespon",
         .prepare = start,
         .act = [](FaultFixture& f) { f.windows->mainForm->close(); },
         .failure = {kNoLines, {}},
         .next = started,
         .retry = restart,
         .restarts = true},
        // Both state queries of the Connect button fail: nothing is seen, nothing connected.
        {.name = "GetStatusChangeOnConnect",
         .library = Lib::Card,
         .operation = "CardGetStatusChange",
         .log = "ScardRespon",
         .prepare =
             [](FaultFixture& f) {
                 f.Start();
                 // The refresh fails here, the query inside the connect with the code tried.
                 f.card.FailNext("CardGetStatusChange", 0x80100069);
                 f.card.InsertCard(0, SimCardKind::CpuT1);
             },
         .act = [](FaultFixture& f) { f.Click("ConnectBtn"); },
         .failure = {kNoLines, {}},
         .next = {{"Connect Success", ""}, {}},
         .check = [](FaultFixture& f) { EXPECT_FALSE(f.Session().CardConnected()); }},
        {.name = "ConnectByButton",
         .library = Lib::Card,
         .operation = "CardConnect",
         .log = "ScardRespon",
         .prepare =
             [](FaultFixture& f) {
                 f.Start();
                 f.card.InsertCard(0, SimCardKind::CpuT0);
             },
         .act = [](FaultFixture& f) { f.Click("ConnectBtn"); },
         .failure = {{"Connect Fail", ""}, {}},
         .next = {{"Connect Success", ""}, {}},
         .check =
             [](FaultFixture& f) {
                 EXPECT_TRUE(f.Session().ConnectFailed());
                 EXPECT_FALSE(f.Session().CardConnected());
             }},
        {.name = "ConnectByTracking",
         .library = Lib::Card,
         .operation = "CardConnect",
         .log = "ScardRespon",
         .prepare =
             [](FaultFixture& f) {
                 f.Start();
                 f.card.InsertCard(0, SimCardKind::CpuT1);
             },
         .act = [](FaultFixture& f) { TickTimer(f.Find<QTimer>("ConnectTimer")); },
         .failure = {{"Connect Fail"}, {}},
         .next = {{"Connect Success", ""}, {}},
         .check = [](FaultFixture& f) { EXPECT_EQ(f.Session().ConnectFailCount(), 1); }},
        // A refused disconnect leaves the card connected; the handler runs again by hand,
        // its button having been disabled.
        {.name = "DisconnectByButton",
         .library = Lib::Card,
         .operation = "CardDisconnect",
         .log = "ScardRespon",
         .prepare = StartConnected,
         .act = [](FaultFixture& f) { f.Click("DisconnectButton"); },
         .failure = {{"Disconnect Card Fail, return code=0x{code}", ""}, {}},
         .next = {{"Disconnect Card Success", ""}, {}},
         .check = [](FaultFixture& f) { EXPECT_TRUE(f.Session().CardConnected()); },
         .retry = [](FaultFixture& f) { f.windows->mainForm->DisconnectButtonClick(); }},
        {.name = "TransmitBySend",
         .library = Lib::Card,
         .operation = "CardTransmit",
         .log = "ScardRespon",
         .prepare =
             [getChallenge](FaultFixture& f) {
                 StartConnected(f);
                 getChallenge(f);
             },
         .act = getChallenge,
         .failure = {{"Send Data (0x0005 bytes) : ", "00 84 00 00 08 ",
                      "Send Data Fail, return code=0x{code}", kSeparator},
                     {{Kind::Error, "Send Data To Card Fail!", 2}}},
         .next = {{"Send Data (0x0005 bytes) : ", "00 84 00 00 08 ", "Send Data Success",
                   "Receive Data : (0x000A bytes) : "},
                  {}},
         .busyDuringBox = true},
        {.name = "ReaderTypeByGetInfo",
         .library = Lib::Card,
         .operation = "CardReaderType",
         .log = "ScardRespon",
         .prepare = StartConnected,
         .act = [](FaultFixture& f) { f.Click("GetRdrType"); },
         .failure = {kNoLines, {{Kind::Info, "Get Reader Type Fail,return code=0x{code}", 0}}},
         .next = {kNoLines, {{Kind::Info, "Reader Type : ZP-SIM Reader", 0}}}},
    };
}

// ---- The 28 memory-card operations ----

struct MemCase {
    const char* name;
    const char* operation;
    SimCardKind card;
    const char* log;
    std::vector<MemEntry> earlier;  // run first: codes presented, earlier lines written
    MemEntry entry;
    std::vector<std::string> header;  // title and parameter lines
    std::string words;
    std::string success;
};

// Codes as new cards of each family carry them.
const MemEntry k4442Psc{"SLE4442Sheet", "SLE4442Verify", nullptr, nullptr, "FFFFFF"};
const MemEntry k4428Psc{"SLE4428Sheet", "SLE4428PSC", nullptr, nullptr, "FFFF"};
const MemEntry k4404UserCode{"SLE4404", "SLE4404VerifyU", nullptr, nullptr, "FFFF"};
const MemEntry k4404MemoryCode{"SLE4404", "SLE4404VerifyM", nullptr, nullptr, "FFFFFFFF"};
const MemEntry k4436TransportCode{"SLE4436Sheet", "SLE4436Verify", nullptr, nullptr, "FFFFFF"};
const MemEntry kI2CRead{"I2CSheet", "I2CReadM", "0", "16", nullptr, "A0", "00", "01"};

std::vector<MemCase> MemCases() {
    using enum SimCardKind;
    const std::vector<MemEntry> psc4442{k4442Psc};
    const std::vector<MemEntry> psc4428{k4428Psc};
    const std::vector<MemEntry> codes4404{k4404UserCode, k4404MemoryCode};
    const std::vector<MemEntry> code4436{k4436TransportCode};
    const char* const s4442 = "SLE4442Sheet";
    const char* const s4428 = "SLE4428Sheet";
    const char* const s4404 = "SLE4404";
    const char* const s4436 = "SLE4436Sheet";
    return {
        {"SLE4442ReadM",
         "CardSLE4442ReadMain",
         SLE4442,
         "SLE4442Respon",
         psc4442,
         {s4442, "SLE4442ReadM", "16", "20"},
         {"SLE4432/4442 Read Main Memory :", "     Starting Address : 0x010",
          "     Receive Length = 0x014"},
         "SLE4432/4442 Read Main Memory",
         "SLE4432/4442 Read Main Memory Success"},
        {"SLE4442ReadP",
         "CardSLE4442ReadProtect",
         SLE4442,
         "SLE4442Respon",
         psc4442,
         {s4442, "SLE4442ReadP"},
         {"SLE4432/4442 Read Protect Memory : ", "     Starting Address : 0x000",
          "     Receive Length = 0x004"},
         "SLE4432/4442 Read Protect Memory",
         "SLE4432/4442 Read Protect Memory Success"},
        {"SLE4442ReadS",
         "CardSLE4442ReadSecurity",
         SLE4442,
         "SLE4442Respon",
         psc4442,
         {s4442, "SLE4442ReadS"},
         {"SLE4442 Read Security Memory :", "     Starting Address : 0x000",
          "     Receive Length = 0x004"},
         "SLE4442 Read Security Memory",
         "SLE4442 Read Security Memory Success"},
        {"SLE4442WriteM",
         "CardSLE4442WriteMain",
         SLE4442,
         "SLE4442Respon",
         psc4442,
         {s4442, "SLE4442WriteM", "32", "2", "1234"},
         {"SLE4432/4442 Write Main Memory :", "     Starting Address : 0x020",
          "     Send Data (0x002 bytes) : 12 34 "},
         "SLE4432/4442 Write Main Memory",
         "SLE4432/4442 Write Main Memory Success"},
        {"SLE4442WriteP",
         "CardSLE4442WriteProtect",
         SLE4442,
         "SLE4442Respon",
         psc4442,
         {s4442, "SLE4442WriteP", "8", "1", "FF"},
         {"SLE4432/4442 Write Protect Memory :", "     Starting Address : 0x008",
          "     Send Data (0x001 bytes) : FF "},
         "SLE4432/4442 Write Protect Memory",
         "SLE4432/4442 Write Protect Memory Success"},
        {"SLE4442WriteS",
         "CardSLE4442WriteSecurity",
         SLE4442,
         "SLE4442Respon",
         psc4442,
         {s4442, "SLE4442WriteS", "0", "1", "07"},
         {"SLE4442 Write Security Memory :", "     Starting Address : 0x000",
          "     Send Data (0x001 bytes) : 07 "},
         "SLE4442 Write Security Memory",
         "SLE4442 Write Security Memory Success"},
        {"SLE4442Verify",
         "CardSLE4442Verify",
         SLE4442,
         "SLE4442Respon",
         psc4442,
         k4442Psc,
         {"SLE4442 Verification :", "     Verification Codes (0x03 bytes) : FF FF FF "},
         "SLE4442 Verify",
         "SLE4442 Verify Success"},
        {"SLE4428ReadM",
         "CardSLE4428ReadMain",
         SLE4428,
         "SLE4428Respon",
         psc4428,
         {s4428, "SLE4428ReadM", "1000", "24"},
         {"SLE4418/4428 Read Main Memory :", "     Starting Address : 0x3E8",
          "     Receive Length = 0x018"},
         "SLE4418/4428 Read Main Memory",
         "SLE4418/4428 Read Main Memory Success"},
        {"SLE4428ReadP",
         "CardSLE4428ReadWithProtectBit",
         SLE4428,
         "SLE4428Respon",
         psc4428,
         {s4428, "SLE4428ReadP", "0", "20"},
         {"SLE4418/4428 Read Memory With Protect Bit:", "     Starting Address : 0x000",
          "     Receive Length = 0x014"},
         "SLE4418/4428 Read Main Memory With Protect Bit",
         "SLE4418/4428 Read Main Memory Success"},
        {"SLE4428WriteM",
         "CardSLE4428WriteMain",
         SLE4428,
         "SLE4428Respon",
         psc4428,
         {s4428, "SLE4428WriteM", "16", "2", "1234"},
         {"SLE4418/4428 Write Main Memory :", "     Starting Address : 0x010",
          "     Send Data (0x002 bytes) : 12 34 "},
         "SLE4418/4428 Write Main Memory",
         "SLE4418/4428 Write Main Memory Success"},
        {"SLE4428WriteP",
         "CardSLE4428WriteWithProtectBit",
         SLE4428,
         "SLE4428Respon",
         psc4428,
         {s4428, "SLE4428WriteP", "20", "1", "AB"},
         {"SLE4418/4428 Write Memory With Protect Bit:", "     Starting Address : 0x014",
          "     Send Data (0x001 bytes) : AB "},
         "SLE4418/4428 Write Memory With Protect Bit",
         "SLE4418/4428 Write Memory With Protect Bit Success"},
        {"SLE4428WritePB",
         "CardSLE4428WriteProtectBit",
         SLE4428,
         "SLE4428Respon",
         psc4428,
         {s4428, "SLE4428WritePB", "30", "1", "FF"},
         {"SLE4418/4428 Write Protect Bit With Data Comparision:", "     Starting Address : 0x01E",
          "     Send Data (0x001 bytes) : FF "},
         "SLE4418/4428 Write Protect Bit With Data Comparision",
         "SLE4418/4428 Write Protect Bit With Data Comparision Success"},
        {"SLE4428PSC",
         "CardSLE4428VerifyPSC",
         SLE4428,
         "SLE4428Respon",
         psc4428,
         k4428Psc,
         {"SLE4428 PSC Verification :", "     Verification Codes (0x02 bytes) : FF FF "},
         "SLE4428 PSC Verification",
         "SLE4428 PSC Verification Success"},
        {"SLE4404ReadM",
         "CardSLE4404ReadMemory",
         SLE4404,
         "SLE4404Respon",
         codes4404,
         {s4404, "SLE4404ReadM", "0", "51"},
         {"SLE4404 Read Memory :", "     Starting Address : 0x000", "     Receive Length = 0x033"},
         "SLE4404 Read Memory",
         "SLE4404 Read Memory Success"},
        {"SLE4404ReadU",
         "CardSLE4404ReadUserMemory",
         SLE4404,
         "SLE4404Respon",
         codes4404,
         {s4404, "SLE4404ReadU", "0", "26"},
         {"SLE4404 Read User Memory :", "     Starting Address : 0x000",
          "     Receive Length = 0x01A"},
         "SLE4404 Read User Memory",
         "SLE4404 Read User Memory Success"},
        {"SLE4404WriteM",
         "CardSLE4404WriteMemory",
         SLE4404,
         "SLE4404Respon",
         codes4404,
         {s4404, "SLE4404WriteM", "20", "1", "00"},
         {"SLE4404 Write Memory :", "     Starting Address : 0x014",
          "     Send Data (0x001 bytes) : 00 "},
         "SLE4404 Write Memory",
         "SLE4404 Write Memory Success"},
        {"SLE4404WriteU",
         "CardSLE4404WriteUserMemory",
         SLE4404,
         "SLE4404Respon",
         codes4404,
         {s4404, "SLE4404WriteU", "0", "1", "0F"},
         {"SLE4404 Write User Memory :", "     Starting Address : 0x000",
          "     Send Data (0x001 bytes) : 0F "},
         "SLE4404 Write User Memory",
         "SLE4404 Write User Memory Success"},
        {"SLE4404EraseM",
         "CardSLE4404EraseMemory",
         SLE4404,
         "SLE4404Respon",
         codes4404,
         {s4404, "SLE4404EraseM", "18", "2"},
         {"SLE4404 Erase Memory :", "     Starting Address : 0x012", "     Receive Length = 0x002"},
         "SLE4404 Erase Memory",
         "SLE4404 Erase Memory Success"},
        {"SLE4404VerifyU",
         "CardSLE4404VerifyUserCode",
         SLE4404,
         "SLE4404Respon",
         codes4404,
         k4404UserCode,
         {"SLE4404 User Code Verification :", "     Verification Codes (0x02 bytes) : FF FF "},
         "SLE4404 User Code Verify",
         "SLE4404 User Code Verify Success"},
        {"SLE4404VerifyM",
         "CardSLE4404VerifyMemoryCode",
         SLE4404,
         "SLE4404Respon",
         codes4404,
         k4404MemoryCode,
         {"SLE4404 Memory Code Verification :",
          "     Verification Codes (0x04 bytes) : FF FF FF FF "},
         "SLE4404 Memory Code Verify",
         "SLE4404 Memory Code Verify Success"},
        {"SLE4436ReadM",
         "CardSLE4436ReadMemory",
         SLE4436,
         "SLE4436Respon",
         code4436,
         {s4436, "SLE4436ReadM", "5", "43"},
         {"SLE4406/4436/5536 Read Main Memory :", "     Starting Address : 0x05",
          "     Receive Length = 0x2B"},
         "SLE4406/4436/5536 Read Memory",
         "SLE4406/4436/5536 Read Memory Success"},
        {"SLE4436ReadC",
         "CardSLE4436ReadCounterStages",
         SLE4436,
         "SLE4436Respon",
         code4436,
         {s4436, "SLE4436ReadC"},
         {"SLE4406/4436/5536 Read Counter Stages :", "     Starting Address : 0x00",
          "     Receive Length = 0x05"},
         "SLE4406/4436/5536 Read Counter Stages",
         "SLE4406/4436/5536 Read Counter Stages Success"},
        {"SLE4436WriteM",
         "CardSLE4436WriteMemory",
         SLE4436,
         "SLE4436Respon",
         code4436,
         {s4436, "SLE4436WriteM", "13", "1", "00"},
         {"SLE4406/4436/5536 Write Memory :", "     Starting Address : 0x0D",
          "     Send Data (0x01 bytes) : 00 "},
         "SLE4406/4436/5536 Write Memory",
         "SLE4406/4436/5536 Write Memory Success"},
        {"SLE4436WriteC",
         "CardSLE4436WriteCounterStage",
         SLE4436,
         "SLE4436Respon",
         code4436,
         {s4436, "SLE4436WriteC", "4", nullptr, "7F"},
         {"SLE4406/4436/5536 Write Counter Stage :", "     Starting Address : 0x04",
          "     Send Data (0x01 bytes) : 7F "},
         "SLE4406/4436/5536 Write Counter Stage",
         "SLE4406/4436/5536 Write Counter Stage Success"},
        {"SLE4436Reload",
         "CardSLE4436Reload",
         SLE4436,
         "SLE4436Respon",
         code4436,
         {s4436, "SLE4436Reload", "8"},
         {"SLE4406/4436/5536 Reload :", "     Starting Address : 0x08",
          "     Receive Length = 0x01"},
         "SLE4406/4436/5536 Reload",
         "SLE4406/4436/5536 Reload Success"},
        {"SLE4436Verify",
         "CardSLE4436VerifyTransportCode",
         SLE4436,
         "SLE4436Respon",
         code4436,
         k4436TransportCode,
         {"SLE4436/5536 Verify Transport Code :",
          "     Verification Codes (0x03 bytes) : FF FF FF "},
         "SLE4436/5536 Verify",
         "SLE4436/5536 Verify Success"},
        {"I2CReadM",
         "CardI2CReadMemory",
         I2C,
         "I2CRespon",
         {kI2CRead},
         kI2CRead,
         {"I2C Read Memory :", "     Command : A0", "     Dummy : 00",
          "     Number of Address Bytes : 01", "     Starting Address : 0x000",
          "     Receive Length = 0x010"},
         "I2C Read Memory",
         "I2C Read Memory Success"},
        {"I2CWriteM",
         "CardI2CWriteMemory",
         I2C,
         "I2CRespon",
         {kI2CRead},
         {"I2CSheet", "I2CWriteM", "16", "2", "1234", "A0", "00", "01"},
         {"I2C Write Memory :", "     Command : A0", "     Number of Address Bytes : 01",
          "     Starting Address : 0x010", "     Send Data (0x002 bytes) : 12 34 "},
         "I2C Write Memory",
         "I2C Write Memory Success"},
    };
}

FaultCase MemFaultCase(const MemCase& mem) {
    std::vector<std::string> failureLines = mem.header;
    failureLines.push_back(mem.words + " Fail, return code=0x{code}");
    failureLines.push_back(kSeparator);
    std::vector<std::string> nextLines = mem.header;
    nextLines.push_back(mem.success);
    return {.name = mem.name,
            .library = Lib::Card,
            .operation = mem.operation,
            .log = mem.log,
            .prepare =
                [mem](FaultFixture& f) {
                    f.Start();
                    f.ConnectCard(mem.card);
                    for (const MemEntry& entry : mem.earlier) {
                        f.RunMemOperation(entry);
                    }
                },
            .act = [mem](FaultFixture& f) { f.RunMemOperation(mem.entry); },
            .failure = {failureLines, {{Kind::Error, mem.words + " Fail!", mem.header.size()}}},
            .next = {nextLines, {}},
            .busyDuringBox = true};
}

// ---- The SAM library ----

std::vector<FaultCase> SamCases() {
    const Step connected = [](FaultFixture& f) {
        f.Start();
        f.ShowPage("SAMSheet");
        f.Click("SAMConnectBtn");
    };
    const Step getChallenge = [](FaultFixture& f) {
        f.SendSamApdu("00", "84", "00", "00", "", "", "08");
    };
    const Step fieldsHidden = [](FaultFixture& f) {
        EXPECT_FALSE(f.Find<QLineEdit>("SAMCLA")->isVisibleTo(f.windows->mainForm.get()));
        EXPECT_FALSE(f.Find<QPushButton>("BitBtnSAMSend")->isVisibleTo(f.windows->mainForm.get()));
    };
    return {
        {.name = "SamConnect",
         .library = Lib::Sam,
         .operation = "SamConnect",
         .log = "SAMRespon",
         .prepare =
             [connected](FaultFixture& f) {
                 connected(f);
                 f.Click("SAMDisconnectBtn");
             },
         .act = [](FaultFixture& f) { f.Click("SAMConnectBtn"); },
         .failure = {{"Connect SAM0 Fail, return code=0x{code}", ""}, {}},
         .next = {{"Connect SAM0 Success", ""}, {}},
         .check = fieldsHidden},
        {.name = "SamTransmit",
         .library = Lib::Sam,
         .operation = "SamTransmit",
         .log = "SAMRespon",
         .prepare =
             [connected, getChallenge](FaultFixture& f) {
                 connected(f);
                 getChallenge(f);
             },
         .act = getChallenge,
         .failure = {{"Send Data (0x0005 bytes) : ", "00 84 00 00 08 ",
                      "Send Data To SAM Card Fail, return code={code}", kSeparator},
                     {{Kind::Error, "Send Data Fail!", 2}}},
         .next = {{"Send Data (0x0005 bytes) : ", "00 84 00 00 08 ",
                   "Send Data To SAM Card Success", "Receive Data : (0x000A bytes) : "},
                  {}}},
        // The SAM stays connected after a refused disconnect; Disconnect works again.
        {.name = "SamDisconnect",
         .library = Lib::Sam,
         .operation = "SamDisconnect",
         .log = "SAMRespon",
         .prepare = connected,
         .act = [](FaultFixture& f) { f.Click("SAMDisconnectBtn"); },
         .failure = {{"Disconnect SAM0 Fail, return code={code}", ""}, {}},
         .next = {{"Disconnect SAM0 Success", ""}, {}},
         .check =
             [fieldsHidden](FaultFixture& f) {
                 fieldsHidden(f);
                 EXPECT_EQ(f.Find<QLabel>("LblSAMProtocol")->text(), QString());
                 EXPECT_EQ(f.sam.OpenConnectionCount(), 1);
             }},
    };
}

// ---- The stripe reader library ----

std::vector<FaultCase> MsrCases() {
    const Step swipeAndRead = [](FaultFixture& f) {
        f.msr.Swipe(0, "%B1234^TEST^25?", "", "");
        f.Click("BitBtnReadMSR");
    };
    const Step readSwiped = [swipeAndRead](FaultFixture& f) {
        f.Start();
        f.ShowPage("PellikSheet1");
        swipeAndRead(f);
    };
    const Step waiting = [](FaultFixture& f) {
        f.Start();
        f.ShowPage("PellikSheet1");
        f.Click("BitBtnReadMSR");
        ASSERT_TRUE(f.Find<QTimer>("MsrTimer")->isActive());
    };
    const Step idleAndClosed = [](FaultFixture& f) {
        EXPECT_FALSE(f.Find<QTimer>("MsrTimer")->isActive());
        EXPECT_EQ(f.msr.OpenHandleCount(), 0);
    };
    const std::vector<std::string> swipeReport = {"Open MSR Success", "Swipe Card Success: ",
                                                  " MSR Data : ", "  Track01 : (0x000F bytes) : "};
    return {
        {.name = "MsrOpen",
         .library = Lib::Msr,
         .operation = "MsrOpen",
         .log = "MsrRespon",
         .prepare = readSwiped,
         .act = swipeAndRead,
         .failure = {{"Open MSR Fail : {code}"}, {}},
         .next = {swipeReport, {}},
         .check = idleAndClosed,
         .retry = [](FaultFixture& f) { f.Click("BitBtnReadMSR"); }},
        {.name = "MsrRead",
         .library = Lib::Msr,
         .operation = "MsrRead",
         .log = "MsrRespon",
         .prepare = readSwiped,
         .act = swipeAndRead,
         .failure = {{"Open MSR Success", "Read MSR Fail : {code}"}, {}},
         .next = {swipeReport, {}},
         .check = idleAndClosed,
         .retry = [](FaultFixture& f) { f.Click("BitBtnReadMSR"); }},
        {.name = "MsrPoll",
         .library = Lib::Msr,
         .operation = "MsrPoll",
         .log = "MsrRespon",
         .prepare = waiting,
         .act = [](FaultFixture& f) { f.MsrTimerTick(); },
         .failure = {{"Swipe Card Fail : {code}"}, {}},
         .next = {swipeReport, {}},
         .check = idleAndClosed,
         .retry = swipeAndRead},
        {.name = "MsrDisable",
         .library = Lib::Msr,
         .operation = "MsrDisable",
         .log = "MsrRespon",
         .prepare = waiting,
         .act = [](FaultFixture& f) { f.Click("BitBtnDisableReadMSR"); },
         .failure = {{"MSR Reading Disabled"}, {}},
         .next = {swipeReport, {}},
         .check = idleAndClosed,
         .retry = swipeAndRead},
        // The close is not checked: the swipe is shown and the next read works.
        {.name = "MsrClose",
         .library = Lib::Msr,
         .operation = "MsrClose",
         .log = "MsrRespon",
         .prepare = readSwiped,
         .act = swipeAndRead,
         .failure = {{"Open MSR Success",
                      "Swipe Card Success: ", " MSR Data : ", "  Track01 : (0x000F bytes) : ",
                      "    25 42 31 32 33 34 5E 54 45 53 54 5E 32 35 3F ",
                      "  Track02 : (0x0000 bytes) : ", "  Track03 : (0x0000 bytes) : ", kSeparator},
                     {}},
         .next = {swipeReport, {}}},
    };
}

std::vector<FaultCase> AllCases() {
    std::vector<FaultCase> cases = ReaderCases();
    for (const MemCase& mem : MemCases()) {
        cases.push_back(MemFaultCase(mem));
    }
    for (auto* group : {&SamCases, &MsrCases}) {
        for (FaultCase& c : group()) {
            cases.push_back(std::move(c));
        }
    }
    return cases;
}

// Failure codes: the smallest, a PC/SC code (removed card) and the largest.
const std::uint32_t kCodes[] = {0x00000001, 0x80100069, 0xFFFFFFFF};

void Inject(FaultFixture& f, const FaultCase& c, std::uint32_t code) {
    switch (c.library) {
        case Lib::Card:
            f.card.FailNext(c.operation, code);
            break;
        case Lib::Sam:
            f.sam.FailNext(c.operation, code);
            break;
        case Lib::Msr:
            f.msr.FailNext(c.operation, code);
            break;
        case Lib::CardListFill:
            f.card.FailListFill(code);
            break;
    }
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i == 0 ? "" : "\n") + lines[i];
    }
    return text;
}

std::vector<std::string> From(const std::vector<std::string>& lines, std::size_t first) {
    return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(first, lines.size())),
            lines.end()};
}

// The boxes shown since `first`, each with the lines the operation had written by then.
void ExpectBoxes(const FaultFixture& f, std::size_t first, std::size_t linesBefore,
                 const std::vector<ExpectedBox>& expected, std::uint32_t code) {
    const auto& shown = f.boxes.Boxes();
    ASSERT_EQ(shown.size() - first, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& box = shown[first + i];
        EXPECT_EQ(box.kind, expected[i].kind);
        EXPECT_EQ(box.text, WithCode(expected[i].text, code));
        ASSERT_EQ(box.logLineCounts.size(), 1u);
        EXPECT_EQ(box.logLineCounts[0], linesBefore + expected[i].before) << "box before lines";
    }
}

class FaultMatrix : public ::testing::TestWithParam<std::tuple<FaultCase, std::uint32_t>> {};

TEST_P(FaultMatrix, FailsExactlyAndRecovers) {
    const auto& [c, code] = GetParam();
    FaultFixture f;
    f.boxes.Watch([&f, log = c.log] { return f.Log(log).size(); });
    c.prepare(f);
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<std::string> earlier = f.Log(c.log);
    const std::size_t boxesBefore = f.boxes.Boxes().size();
    std::vector<bool> busyAtBox;
    f.boxes.WhileOpen([&] { busyAtBox.push_back(f.windows != nullptr && f.Session().CardBusy()); });

    Inject(f, c, code);
    c.act(f);
    const std::string shown = f.ShownText(c.log);
    std::vector<std::string> lines = f.Log(c.log);
    EXPECT_EQ(shown, Joined(lines)) << "every line reaches the screen";
    ASSERT_GE(lines.size(), earlier.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + earlier.size()), earlier)
        << "earlier lines intact";
    EXPECT_THAT(From(lines, earlier.size()), ElementsAreArray(WithCode(c.failure.lines, code)));
    ExpectBoxes(f, boxesBefore, earlier.size(), c.failure.boxes, code);
    EXPECT_EQ(busyAtBox, std::vector<bool>(c.failure.boxes.size(), c.busyDuringBox));
    if (f.windows != nullptr) {
        EXPECT_FALSE(f.Session().CardBusy());
    }
    if (c.check) {
        c.check(f);
    }

    // The same operation again, the library answering as usual.
    f.boxes.WhileOpen(nullptr);
    const std::size_t retryFrom = c.restarts ? 0 : lines.size();
    const std::size_t boxesBeforeRetry = f.boxes.Boxes().size();
    (c.retry ? c.retry : c.act)(f);
    const std::string shownAfter = f.ShownText(c.log);
    const std::vector<std::string> after = f.Log(c.log);
    EXPECT_EQ(shownAfter, Joined(after));
    if (!c.restarts) {
        ASSERT_GE(after.size(), lines.size());
        EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + lines.size()), lines);
    }
    const std::vector<std::string> retried = From(after, retryFrom);
    ASSERT_GE(retried.size(), c.next.lines.size());
    EXPECT_EQ(std::vector<std::string>(retried.begin(), retried.begin() + c.next.lines.size()),
              c.next.lines);
    ExpectBoxes(f, boxesBeforeRetry, retryFrom, c.next.boxes, code);
    EXPECT_FALSE(f.Session().CardBusy());
}

std::string CaseName(const ::testing::TestParamInfo<FaultMatrix::ParamType>& info) {
    return std::get<0>(info.param).name + "_" + Digits(std::get<1>(info.param)).substr(8);
}

INSTANTIATE_TEST_SUITE_P(AllOperations, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(AllCases()),
                                            ::testing::ValuesIn(kCodes)),
                         CaseName);

}  // namespace
