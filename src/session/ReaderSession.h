#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "session/CardLibrary.h"

class MessageBoxes;
class ResponseLog;

inline constexpr int MaxReaders = 40;
// Command and receive buffer of every APDU exchange.
inline constexpr std::uint32_t ApduBufferSize = 1024;
// Refused connects the tracking timer logs before it leaves the card alone.
inline constexpr std::int32_t ConnectFailLimit = 3;

// The main window's reader session: the library context, the table of readers found at
// start, the selected reader and, per reader, its card handle and protocol. Pages read
// and write these fields directly; every per-reader array is indexed by SelectedReader.
class ReaderSession {
  public:
    ReaderSession(CardLibrary& library, MessageBoxes& boxes, ResponseLog& cardLog);

    // Context and reader list; writes "Initialize Success" on success.
    bool InitializeReaders();
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
    std::uint32_t SelectedCardHandle() const { return CardHandles[Slot()]; }
    std::uint32_t SelectedProtocol() const { return ActiveProtocols[Slot()]; }
    // SelectedReader bounded to the tables.
    int Slot() const;

    std::uint32_t ReaderContext = 0;
    std::array<ReaderState, MaxReaders> ReaderStates{};
    std::array<std::uint32_t, MaxReaders> CardHandles{};
    std::array<IoRequest, MaxReaders> IoRequests{};
    std::array<std::uint32_t, MaxReaders> ActiveProtocols{};
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
    MessageBoxes& Boxes() { return boxes_; }
    ResponseLog& CardLog() { return cardLog_; }

  private:
    void ListReaderNames();

    CardLibrary& library_;
    MessageBoxes& boxes_;
    ResponseLog& cardLog_;
};
