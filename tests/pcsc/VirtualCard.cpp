#include "VirtualCard.h"

#include <QProcessEnvironment>
#include <QStringList>

#include "core/session/CardLibrary.h"

namespace {
// The service's "changed" bit; it is never part of a state we wait from.
constexpr std::uint32_t kStateChanged = 0x0002;
// Longest single wait for a change notification; the deadline is checked in between.
constexpr std::uint32_t kNotificationWaitMs = 250;
}  // namespace

bool RealStackReady() {
    return qEnvironmentVariable("ZP_PCSC_READY") == QStringLiteral("1");
}

bool VirtualCard::Insert() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PYTHONPATH"), qEnvironmentVariable("ZP_VICC_PYTHONPATH"));
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral("/usr/bin/vicc"), QStringLiteral("-t"),
                    QStringLiteral("iso7816"), QStringLiteral("-P"), QString::number(port_)});
    return process_.waitForStarted();
}

void VirtualCard::Remove() {
    if (!Running()) {
        return;
    }
    process_.kill();
    process_.waitForFinished();
}

std::string VirtualCard::Output() {
    return process_.readAll().toStdString();
}

bool WaitForCardState(CardLibrary& library, std::uint32_t context, const char* reader, bool present,
                      std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    ReaderState state;
    state.reader = reader;
    for (;;) {
        state.currentState = 0;
        if (library.CardGetStatusChange(context, 0, &state, 1) == 0 &&
            ((state.eventState & kStatePresent) != 0) == present) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        // Returns as soon as the reader's state differs from the one just seen.
        state.currentState = state.eventState & ~kStateChanged;
        library.CardGetStatusChange(context, kNotificationWaitMs, &state, 1);
    }
}
