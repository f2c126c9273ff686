// The Data Dialog's live checks and OK checks over arbitrary field texts, through the real
// dialog on the offscreen platform. An input is a session of a user, one action a line:
//   o<c>    an operation button: opens the dialog for the code (c % 32)
//   a<text> types over the starting address      l<text> types over the length
//   d<text> types over the data                   c<text> over the I2C command
//   u<text> over the I2C dummy                    n<text> over the number of address bytes
//   b       another operation starts or ends (CardBusy toggles)
//   k       OK                                     x       Cancel
// Typing goes through the field's own entry rules, as a paste would, and only into fields
// that the user can reach. After every OK the stored parameters must be what the fields
// hold and lie within the operation's ranges, or the dialog must have refused in a box.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "core/common/Conversions.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/memcard/DataForm.h"
#include "gui/memcard/MemCardPages.h"

namespace {

const std::set<std::string> kRefusals = {
    "The Data Bus is busy!",    "Command Input Error!",
    "Dummy Input Error!",       "Address Byte Number Input Error!",
    "DATA Length Input Error!", "DATA Bytes are not enough!",
    "DATA Input Error!",        "Starting Address Input Error!",
};

std::string Latin1(const QLineEdit* edit) {
    return edit->text().toLatin1().toStdString();
}

bool InRange(std::uint32_t value, MemRange range) {
    return static_cast<std::int64_t>(value) >= range.min &&
           static_cast<std::int64_t>(value) <= range.max;
}

bool HexByte(const std::string& text, std::size_t at, std::uint8_t& out) {
    return text.size() >= at + 2 && HexPairToByte(text.data() + at, out);
}

// The program's windows that the dialog works with: pages on a stand-in main window.
class DialogSession {
  public:
    DialogSession() {
        pageCtrl_ = new QTabWidget(&mainWindow_);
        pages_ = std::make_unique<MemCardPages>(session_, boxes_, pageCtrl_);
        dialog_ = std::make_unique<TMemDataDlg>(*pages_, session_, boxes_, &mainWindow_);
        pages_->AttachDataDialog(dialog_.get());
        mainWindow_.show();
    }

    // Every input starts from a closed dialog with nothing stored and empty I2C fields, so
    // that an input replays alone as it ran in the session.
    void Reset() {
        dialog_->hide();
        busy_.reset();
        pages_->Params() = MemOperationParams{};
        for (const char* name : {"CommandEdit", "DummyEdit", "AddrByteNumEdit"}) {
            Edit(name)->clear();
        }
        boxes_.boxes.clear();
        checkedBoxes_ = 0;
        library_.calls = 0;
        FUZZ_CHECK(mainWindow_.isEnabled());
    }

    void Run(FuzzInput& input) {
        while (!input.Empty()) {
            const std::string line = input.Line();
            if (line.empty()) {
                continue;
            }
            const std::string text = line.substr(1);
            switch (line[0]) {
                case 'o':
                    pages_->OpenOperation(text.empty() ? 0
                                                       : static_cast<std::uint8_t>(text[0]) % 32);
                    break;
                case 'a':
                    Type("AddrEdit", text);
                    break;
                case 'l':
                    Type("DataLenEdit", text);
                    break;
                case 'd':
                    Type("DataEdit", text);
                    break;
                case 'c':
                    Type("CommandEdit", text);
                    break;
                case 'u':
                    Type("DummyEdit", text);
                    break;
                case 'n':
                    Type("AddrByteNumEdit", text);
                    break;
                case 'b':
                    if (busy_) {
                        busy_.reset();
                    } else {
                        busy_.emplace(session_);
                    }
                    break;
                case 'k':
                    PressOk();
                    break;
                case 'x':
                    Press("BitBtn2");
                    FUZZ_CHECK(!dialog_->isVisible() && mainWindow_.isEnabled());
                    break;
                default:
                    break;
            }
        }
    }

  private:
    QLineEdit* Edit(const char* name) const {
        auto* edit = dialog_->findChild<QLineEdit*>(QString::fromLatin1(name));
        FUZZ_CHECK(edit != nullptr);
        return edit;
    }

    // Replaces the field's text as a user selecting all and pasting would.
    void Type(const char* name, const std::string& text) {
        QLineEdit* edit = Edit(name);
        if (!dialog_->isVisible() || !edit->isVisible() || !edit->isEnabled() ||
            edit->isReadOnly()) {
            return;
        }
        edit->selectAll();
        edit->insert(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
        for (std::size_t i = checkedBoxes_; i < boxes_.boxes.size(); ++i) {
            const std::string& box = boxes_.boxes[i].text;
            FUZZ_CHECK(box.ends_with("' is not a valid integer value"));
        }
        checkedBoxes_ = boxes_.boxes.size();
    }

    void Press(const char* name) {
        auto* button = dialog_->findChild<QPushButton*>(QString::fromLatin1(name));
        FUZZ_CHECK(button != nullptr);
        if (dialog_->isVisible() && button->isEnabled()) {
            button->click();
        }
    }

    void PressOk() {
        const bool busy = session_.CardBusy();
        const int calls = library_.calls;
        const std::size_t boxesBefore = boxes_.boxes.size();
        const bool open = dialog_->isVisible();
        Press("BitBtn1");
        FUZZ_CHECK(session_.CardBusy() == busy);
        checkedBoxes_ = boxes_.boxes.size();
        if (library_.calls == calls) {
            // Nothing ran: either the dialog refused in one box and stays open, or OK could
            // not be pressed at all.
            FUZZ_CHECK(boxes_.boxes.size() - boxesBefore <= 1);
            if (boxes_.boxes.size() > boxesBefore) {
                FUZZ_CHECK(kRefusals.contains(boxes_.boxes.back().text));
                FUZZ_CHECK(!busy || boxes_.boxes.back().text == "The Data Bus is busy!");
            }
            FUZZ_CHECK(dialog_->isVisible() == open);
            FUZZ_CHECK(mainWindow_.isEnabled() == !open);
            return;
        }
        FUZZ_CHECK(!busy && open);
        FUZZ_CHECK(!dialog_->isVisible() && mainWindow_.isEnabled());
        CheckStored();
    }

    // The operation ran: what it ran with must be what the dialog showed, within range.
    void CheckStored() const {
        const MemOperationParams& params = pages_->Params();
        const MemOperationEntry* entry = FindMemOperation(params.MemOpCode);
        FUZZ_CHECK(entry != nullptr);
        const bool dataRow = entry->mode == MemDlgMode::mdWrite ||
                             entry->mode == MemDlgMode::mdVerify ||
                             entry->mode == MemDlgMode::mdI2CWrite;
        if (dataRow) {
            const std::string data = Latin1(Edit("DataEdit"));
            FUZZ_CHECK(InRange(params.MemDataLen, entry->length));
            FUZZ_CHECK(params.MemData.size() == params.MemDataLen);
            FUZZ_CHECK(data.size() == 2 * std::size_t{params.MemDataLen});
            for (std::size_t i = 0; i < params.MemData.size(); ++i) {
                std::uint8_t byte = 0;
                FUZZ_CHECK(HexByte(data, 2 * i, byte) && byte == params.MemData[i]);
            }
        } else {
            FUZZ_CHECK(InRange(params.MemReadLen, entry->length));
        }
        if (entry->mode == MemDlgMode::mdVerify) {
            FUZZ_CHECK(params.MemAddress == 0);
        } else {
            FUZZ_CHECK(InRange(params.MemAddress, entry->address));
            FUZZ_CHECK(params.MemAddress == std::stoul(Latin1(Edit("AddrEdit"))));
        }
        if (entry->mode == MemDlgMode::mdI2CRead || entry->mode == MemDlgMode::mdI2CWrite) {
            std::uint8_t byte = 0;
            FUZZ_CHECK(HexByte(Latin1(Edit("CommandEdit")), 0, byte) && byte == params.I2CCommand);
            FUZZ_CHECK(HexByte(Latin1(Edit("DummyEdit")), 0, byte) && byte == params.I2CDummy);
            FUZZ_CHECK(HexByte(Latin1(Edit("AddrByteNumEdit")), 0, byte) &&
                       byte == params.I2CAddrBytes);
        }
    }

    FuzzCardLibrary library_;
    FuzzBoxes boxes_;
    MemoryResponseLog cardLog_;
    ReaderSession session_{library_, cardLog_};
    std::optional<CardBusyGuard> busy_;  // a card operation running, for the busy bus
    QWidget mainWindow_;
    QTabWidget* pageCtrl_ = nullptr;
    std::unique_ptr<MemCardPages> pages_;
    std::unique_ptr<TMemDataDlg> dialog_;
    std::size_t checkedBoxes_ = 0;
};

}  // namespace

// Font configuration keeps a few blocks of its own for good when the first text is laid out.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Kept to the end of the process and never destroyed: Qt's own objects go at exit, in
    // an order of their own.
    static auto* app = new QApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The windows are built once, as the program builds them once.
    static auto* session = new DialogSession;
    session->Reset();
    FuzzInput input(data, size);
    session->Run(input);
    // One pass of the event loop, as the program returns to it after every user action:
    // the logs write their lines, the windows their updates.
    QCoreApplication::processEvents();
    return 0;
}
