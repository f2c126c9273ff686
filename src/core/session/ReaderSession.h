#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/session/CardLibrary.h"
#include "core/session/Outcome.h"

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

// The main window's reader session: the library context, the table of attached readers
// (read at start and again when asked), the selected reader and, per reader, its card
// handle and protocol. A card handle is never left open behind a card or reader that has
// gone: the service counts open handles per reader and refuses connects past its limit. The fields
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

    // Makes reader `index` the selected one. Leaving another reader (or one that was
    // unplugged) disconnects the card connected there, with the Disconnect lines, and
    // tracks the new reader from a clean state: armed, no card seen, no refusals counted.
    void SelectReader(int index);

    // Reads the reader table again, establishing the context first if there is none yet.
    // Per-reader entries follow their reader to its new place; a selected reader that is
    // no longer attached is lost (see ReaderLost). On failure the table stays as it was.
    // Writes nothing; false when the table could not be read.
    bool RefreshReaders();
    // Whether the set of attached readers may have changed since the last call, from a
    // status query on the service's reader-change notification that returns at once. The
    // first call answers true, as nothing has been seen yet.
    bool ReaderListChanged();
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
    std::uint32_t ConnectFailCode = 0;  // what the last connect answered
    bool CardBusy = false;
    std::int32_t ConnectFailCount = 0;
    // A reader has been chosen (at start, in the selection dialog, or by itself as the only
    // one attached) and is still attached.
    bool ReaderChosen = false;
    // The selected reader is no longer attached: tracking and Connect leave it alone until
    // a reader is selected again.
    bool ReaderLost = false;

    CardLibrary& Library() { return library_; }
    ResponseLog& CardLog() { return cardLog_; }

  private:
    friend class CardBusyGuard;
    // Both reader-list calls into `names` (one zero byte beyond the length given to the
    // library); a list that grows between them is asked for again.
    std::uint32_t ReadReaderList(std::vector<char>& names, std::uint32_t& length);
    void ListReaderNames();
    // Releases the selected reader's card handle without a word in the log: the card or its
    // reader has gone, and the service counts every handle left open against the reader.
    void ReleaseCard();
    // The selected reader has been unplugged: its card handle is released and tracking
    // stops until a reader is selected again.
    void LoseSelectedReader();
    // Flags for a reader that is tracked afresh.
    void ResetTracking();

    CardLibrary& library_;
    ResponseLog& cardLog_;
    std::uint32_t notificationState_ = 0;  // last answer of the reader-change notification
    bool notificationSeen_ = false;
};

inline CardBusyGuard::CardBusyGuard(ReaderSession& session) : session_(session) {
    session_.CardBusy = true;
}
inline CardBusyGuard::~CardBusyGuard() {
    session_.CardBusy = false;
}
