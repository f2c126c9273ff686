#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "session/CardLibrary.h"
#include "session/Outcome.h"

class ResponseLog;

inline constexpr int MaxReaders = 40;
// Command and receive buffer of every APDU exchange.
inline constexpr std::uint32_t ApduBufferSize = 1024;
// Refused connects the tracking timer logs before it leaves the card alone.
inline constexpr std::int32_t ConnectFailLimit = 3;

// What the session keeps per reader: the card handle, the active protocol and the
// protocol control record of its exchanges.
struct ReaderSlot {
    std::uint32_t CardHandle = 0;
    std::uint32_t ActiveProtocol = 0;
    ::IoRequest IoRequest{};
};

class ReaderSession;

// Holds CardBusy set for as long as it lives: from just before a card operation's library
// call until its outcome has been logged, error box included.
class CardBusyGuard {
  public:
    explicit CardBusyGuard(ReaderSession& session);
    ~CardBusyGuard();
    CardBusyGuard(const CardBusyGuard&) = delete;
    CardBusyGuard& operator=(const CardBusyGuard&) = delete;

  private:
    ReaderSession& session_;
};

// The main window's reader session: the library context, the table of readers found at
// start, the selected reader and, per reader, its card handle and protocol. The fields
// are public to be read; the program changes them only through the methods, which keep
// them consistent. Every per-reader entry is indexed by SelectedReader.
class ReaderSession {
  public:
    ReaderSession(CardLibrary& library, ResponseLog& cardLog);

    // Context and reader list; writes "Initialize Success" on success. A failure names
    // the error box for the window to show.
    Outcome InitializeReaders();
    // Present bit of the selected reader; false when the state could not be read.
    bool RefreshCardState();
    // True when a card is now connected on the selected reader.
    bool TryConnectCard();
    bool DisconnectCard();
    bool ReleaseReaders();

    // What the Connect button did.
    enum class ConnectResult { Nothing, Connected, Failed };
    // Connect button logic: refreshes, arms when Auto Connect is off, connects and logs.
    ConnectResult ConnectByButton(bool autoConnectChecked);
    // Disconnect button logic; false when no card was connected (nothing done).
    bool DisconnectByButton();

    // Name of reader `index`, or null when there is no such reader.
    const char* ReaderName(int index) const;
    const char* SelectedReaderName() const { return ReaderName(SelectedReader); }
    std::uint32_t SelectedCardHandle() const { return Readers[Slot()].CardHandle; }
    std::uint32_t SelectedProtocol() const { return Readers[Slot()].ActiveProtocol; }
    // The selected reader's protocol control record, rewritten for an exchange: its active
    // protocol and the record length.
    IoRequest& PrepareIoRequest();
    // SelectedReader bounded to the tables.
    int Slot() const;

    // Makes reader `index` the selected one.
    void SelectReader(int index);
    // For one card operation: CardBusy stays set while the guard lives.
    [[nodiscard]] CardBusyGuard MarkBusy() { return CardBusyGuard(*this); }

    // Tracking's bookkeeping of refused connects and of a card disconnected by hand.
    void ResetConnectFails() { ConnectFailCount = 0; }
    void CountConnectFail() { ++ConnectFailCount; }
    void RearmTracking() { TrackingArmed = true; }

    std::uint32_t ReaderContext = 0;
    // Handed to the status query as one array, so it stays beside the per-reader slots.
    std::array<ReaderState, MaxReaders> ReaderStates{};
    std::array<ReaderSlot, MaxReaders> Readers{};
    std::int32_t SelectedReader = 0;
    std::vector<char> ReaderNames;  // multi-string; ReaderStates point into it
    std::uint32_t ReaderNamesLength = 0;
    std::uint32_t ReaderCount = 0;
    bool TrackingArmed = false;
    bool CardPresent = false;
    bool CardConnected = false;
    bool ConnectFailed = false;
    bool CardBusy = false;
    std::int32_t ConnectFailCount = 0;

    CardLibrary& Library() { return library_; }
    ResponseLog& CardLog() { return cardLog_; }

  private:
    friend class CardBusyGuard;
    void ListReaderNames();

    CardLibrary& library_;
    ResponseLog& cardLog_;
};

inline CardBusyGuard::CardBusyGuard(ReaderSession& session) : session_(session) {
    session_.CardBusy = true;
}
inline CardBusyGuard::~CardBusyGuard() {
    session_.CardBusy = false;
}
