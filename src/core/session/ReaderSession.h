#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/session/CardLibrary.h"
#include "core/session/Outcome.h"
#include "core/session/ReaderRecord.h"

class ResponseLog;

inline constexpr int MaxReaders = 40;
// Command and receive buffer of every APDU exchange.
inline constexpr std::uint32_t ApduBufferSize = 1024;
// Refused connects the tracking timer logs before it leaves the card alone.
inline constexpr std::int32_t ConnectFailLimit = 3;

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

// The main window's reader session: the library context, one record per attached reader
// (read at start and again when asked), the selected reader and the tracking flags of its
// card. Records are found by the reader's name, so a re-read that moves a reader moves its
// record with it. A card handle is never left open behind a card or reader that has gone:
// the service counts open handles per reader and refuses connects past its limit. The
// state changes only through the methods, which keep it consistent.
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
    // Releases the context, which is zero afterwards whatever the library answered.
    bool ReleaseReaders();

    // What the Connect button did.
    enum class ConnectResult { Nothing, Connected, Failed };
    // Connect button logic: refreshes, arms when Auto Connect is off, connects and logs.
    ConnectResult ConnectByButton(bool autoConnectChecked);
    // Disconnect button logic; false when no card was connected (nothing done).
    bool DisconnectByButton();

    // Makes reader `index` the selected one and the one the user chose. Leaving another
    // reader (or one that was unplugged) disconnects the card connected there, with the
    // Disconnect lines, and tracks the new reader from a clean state: armed, no card seen,
    // no refusals counted. An index naming no reader leaves none selected.
    void SelectReader(int index);
    // Selects again the reader chosen last, when it has come back after an unplug; true
    // when it did.
    bool RetakeChosenReader();

    // Reads the reader list again, establishing the context first if there is none yet.
    // Each record follows its reader; a reader new to the list gets an empty record; a
    // reader that has gone has its card handle released and its record handed to the
    // gone-reader handler before it is dropped. A selected reader that has gone is lost (see
    // ReaderLost). On failure the list stays as it was. Writes nothing.
    bool RefreshReaders();
    // Looks at the service's reader-change notification without waiting (establishing a
    // missing context first) and re-reads the list when it reports a change; the first look
    // counts as one. The change is taken as seen only when the re-read succeeded, so a
    // failed one is tried again on the next call. True when the list was re-read.
    bool FollowReaderChanges();
    // Called with each record of a reader that has gone, before the record is dropped: its
    // SAM and stripe handles are for their owners to release.
    void SetReaderGoneHandler(std::function<void(ReaderRecord&)> handler) {
        readerGone_ = std::move(handler);
    }

    // For one card operation: CardBusy stays set while the guard lives.
    [[nodiscard]] CardBusyGuard MarkBusy() { return CardBusyGuard(*this); }
    // Tracking's bookkeeping of refused connects and of a card disconnected by hand.
    void ResetConnectFails() { connectFailCount_ = 0; }
    void CountConnectFail() { ++connectFailCount_; }
    void RearmTracking() { trackingArmed_ = true; }

    std::uint32_t Context() const { return context_; }
    std::uint32_t ReaderCount() const { return static_cast<std::uint32_t>(readers_.size()); }
    // Name of reader `index` in list order, or null when there is no such reader.
    const char* ReaderName(int index) const;
    // The record of reader `index` / of the reader of that name; null when there is none.
    ReaderRecord* Record(int index);
    ReaderRecord* FindRecord(std::string_view name);
    // The selected reader's record; null when none is selected or it has been unplugged.
    ReaderRecord* SelectedRecord();
    const ReaderRecord* SelectedRecord() const;
    const char* SelectedReaderName() const;
    // Position of the selected reader in the list; -1 when there is none.
    int SelectedIndex() const;
    std::uint32_t SelectedCardHandle() const;
    std::uint32_t SelectedProtocol() const;
    // The selected reader's status record (its ATR); null when there is none.
    const ReaderState* SelectedReaderState() const;
    // The selected reader's protocol control record, rewritten for an exchange: its active
    // protocol and the record length. A session without a selected reader hands out a
    // record of its own.
    IoRequest& PrepareIoRequest();

    bool TrackingArmed() const { return trackingArmed_; }
    bool CardPresent() const { return cardPresent_; }
    bool CardConnected() const { return cardConnected_; }
    bool ConnectFailed() const { return connectFailed_; }
    // What the last connect answered (0 when it succeeded).
    std::uint32_t ConnectFailCode() const { return connectFailCode_; }
    bool CardBusy() const { return cardBusy_; }
    std::int32_t ConnectFailCount() const { return connectFailCount_; }
    // A reader is selected that was chosen (at start, in the selection dialog, or taken by
    // itself as the only one) and is still attached.
    bool ReaderInUse() const { return readerInUse_; }
    // The selected reader is no longer attached: tracking and Connect leave it alone until
    // a reader is selected again.
    bool ReaderLost() const { return readerLost_; }
    // A reader has been chosen in this run, whether or not it is still attached.
    bool ReaderEverChosen() const { return !chosenName_.empty(); }

    CardLibrary& Library() { return library_; }
    ResponseLog& CardLog() { return cardLog_; }

  private:
    friend class CardBusyGuard;
    bool EstablishContext();
    // Replaces the records by the names listed, keeping each record of a name still there.
    void TakeReaderList(const std::vector<std::string>& names);
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
    std::uint32_t context_ = 0;
    std::vector<std::unique_ptr<ReaderRecord>> readers_;  // list order, at most MaxReaders
    std::string selectedName_;                            // empty: none selected
    std::string chosenName_;  // the reader chosen last, kept while it is unplugged
    bool trackingArmed_ = false;
    bool cardPresent_ = false;
    bool cardConnected_ = false;
    bool connectFailed_ = false;
    std::uint32_t connectFailCode_ = 0;
    bool cardBusy_ = false;
    std::int32_t connectFailCount_ = 0;
    bool readerInUse_ = false;
    bool readerLost_ = false;
    IoRequest spareIoRequest_{};
    // The notification's state as last seen, count of reader changes included.
    std::optional<std::uint32_t> knownReaderChanges_;
    std::function<void(ReaderRecord&)> readerGone_;
};

inline CardBusyGuard::CardBusyGuard(ReaderSession& session) : session_(session) {
    session_.cardBusy_ = true;
}
inline CardBusyGuard::~CardBusyGuard() {
    session_.cardBusy_ = false;
}
