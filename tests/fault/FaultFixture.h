#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "gui/memcard/DataForm.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestAtrList.h"

// The simulated card library, with one more fault: the reader list's filling call (the
// second CardListReaders of the start-up) can be made to fail on its own.
class FaultCardLibrary : public SimCardLibrary {
  public:
    FaultCardLibrary() : SimCardLibrary({"Sim Reader 00 00"}) {}

    void FailListFill(std::uint32_t code) { listFillFailure_ = code; }

    std::uint32_t CardListReaders(std::uint32_t context, const char* groups, char* readers,
                                  std::uint32_t* length) override {
        if (readers != nullptr && listFillFailure_) {
            const std::uint32_t code = *listFillFailure_;
            listFillFailure_.reset();
            return code;
        }
        return SimCardLibrary::CardListReaders(context, groups, readers, length);
    }

  private:
    std::optional<std::uint32_t> listFillFailure_;
};

// Entries of the Data Dialog for one memory-card operation, typed after its button; a null
// text leaves the field as the button left it.
struct MemEntry {
    const char* sheet;
    const char* button;
    const char* address = nullptr;
    const char* length = nullptr;
    const char* data = nullptr;
    const char* command = nullptr;
    const char* dummy = nullptr;
    const char* addressBytes = nullptr;
};

// The whole program on the simulated reader, built by its start-up sequence, driven from
// its pages as a user would.
class FaultFixture {
  public:
    FaultFixture() : sam(card), msr(card) {}
    ~FaultFixture() { windows.reset(); }

    void Start() { windows = CreateWindows(platform); }
    void Restart() {
        windows.reset();
        Start();
    }

    template <typename T>
    T* Find(const char* name) const {
        T* found = windows->mainForm->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The lines of a response log; none while the windows do not exist.
    std::vector<std::string> Log(const char* name) const;
    // The text a response log shows once the event loop has passed over it, read from the
    // screen's document rather than from the log's own list.
    std::string ShownText(const char* name) const;
    ReaderSession& Session() { return windows->mainForm->Session(); }

    void Click(const char* button) { Find<QPushButton>(button)->click(); }
    void ShowPage(const char* sheet);
    void SetText(const char* edit, const char* text);
    // A card of that kind in the reader, connected with the Connect button.
    void ConnectCard(SimCardKind kind);
    // The seven APDU fields of the CPU card page, and Send.
    void SendApdu(const char* cla, const char* ins, const char* p1, const char* p2, const char* lc,
                  const char* data, const char* le);
    void SendSamApdu(const char* cla, const char* ins, const char* p1, const char* p2,
                     const char* lc, const char* data, const char* le);
    // The operation's button, the Data Dialog's entries, OK.
    void RunMemOperation(const MemEntry& entry);
    void MsrTimerTick();

    FaultCardLibrary card;
    SimSamLibrary sam;
    SimMsrLibrary msr;
    RecordingMessageBoxes boxes;
    TestAtrList atrList;
    Platform platform{card, sam, msr, boxes, atrList.Path()};
    std::unique_ptr<ProgramWindows> windows;
};
