#pragma once

#include <QProcess>

#include <chrono>
#include <cstdint>
#include <string>

class CardLibrary;

// The virtual readers the PC/SC service offers, and the port on which each waits for its
// virtual card.
inline constexpr const char* kFirstReader = "Virtual PCD 00 00";
inline constexpr const char* kSecondReader = "Virtual PCD 00 01";
inline constexpr int kFirstReaderPort = 35963;
inline constexpr int kSecondReaderPort = 35964;

inline constexpr std::chrono::seconds kCardDeadline{20};

// True when the test environment has started the PC/SC service with the virtual readers.
bool RealStackReady();

// A virtual ISO 7816 card (T=1), inserted by starting its emulator against a reader's
// port and taken out by ending that process by its id.
class VirtualCard {
  public:
    explicit VirtualCard(int port) : port_(port) {}
    ~VirtualCard() { Remove(); }
    VirtualCard(const VirtualCard&) = delete;
    VirtualCard& operator=(const VirtualCard&) = delete;

    // Starts the emulator; false when it could not be started.
    bool Insert();
    void Remove();
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    // What the emulator printed, for failure messages.
    std::string Output();

  private:
    int port_;
    QProcess process_;
};

// Waits until the reader's present bit is `present`, blocking on the service's change
// notification rather than sleeping; false when the deadline passed first.
bool WaitForCardState(CardLibrary& library, std::uint32_t context, const char* reader, bool present,
                      std::chrono::milliseconds deadline = kCardDeadline);
