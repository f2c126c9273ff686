// zp-vcard: attaches one of the simulated reader's cards to a slot of vpcd, the virtual
// reader driver of the PC/SC service, so that programs see it in "Virtual PCD 00 0N".
//
//   zp-vcard [--slot N] --card KIND [--latency-us N] [--jitter-us N] [--fail-every N]
//            [--time-unit-us N] [--cut-above N] [--rewrite-le] [--drop-last-above N]
//            [--no-extended] [--late-time-request]   (--help, --version)
//
// KIND names a card kind ("sle4442", "i2c", ...) or an I2C card by the EEPROM it carries
// ("i2c-24c01" .. "i2c-24c64"; "i2c" alone carries a 24C02).
// vpcd listens on 127.0.0.1, port 35963 + N (slot 0 unless told). The card stays attached until the
// program is stopped (SIGINT or SIGTERM); when vpcd goes away it waits for it and attaches again.
// Each APDU can be delayed by a fixed latency plus a random jitter, and every N-th answered
// 6F 00 instead of reaching the card, to measure the tester's stress runs.
// The test card ("test-t0", "test-t1") takes a time unit for its time requests and the
// fault switches of a faulty reader; an exchange a switch fails is answered empty. Under
// vpcd the card speaks the one protocol its kind names, so "test-both" is refused.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include "VpcdClient.h"
#include "cli/CommandLine.h"
#include "sim/SimCardFactory.h"
#include "sim/SimTestCard.h"
#include "sim/SimVpcdResponder.h"

namespace {
constexpr int kBasePort = 35963;
constexpr int kMaxSlot = 0xFFFF - kBasePort;
constexpr useconds_t kRetryMicroseconds = 500'000;

std::atomic<bool> stopRequested{false};

void OnStopSignal(int) {
    stopRequested = true;
}

// Without SA_RESTART, so that a blocking connect or receive returns at once.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The cards --card names, separated by blanks: the kinds, and an I2C card by its EEPROM.
QString CardKindList() {
    QStringList names;
    for (const std::string& option : SimCardOptions()) {
        names.append(QString::fromStdString(option));
    }
    return names.join(QLatin1Char(' '));
}

int Usage(const QString& error) {
    std::fprintf(stderr,
                 "zp-vcard: %s\nusage: zp-vcard [--slot N] --card KIND\nKIND is one of: %s\n",
                 qPrintable(error), qPrintable(CardKindList()));
    return 2;
}

// A decimal count of at most nine digits.
bool ParseCount(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return true;
}

bool ParseSlot(std::string_view text, int& slot) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    slot = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        slot = slot * 10 + (c - '0');
    }
    return slot <= kMaxSlot;
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationVersion(QStringLiteral(ZP_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Attaches one of the simulated reader's cards to a slot of vpcd, the virtual reader\n"
        "driver of the PC/SC service, until stopped with SIGINT or SIGTERM."));
    const QCommandLineOption slotOption(
        QStringLiteral("slot"),
        QStringLiteral("The vpcd slot N, on port %1 + N (default 0).").arg(kBasePort),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption cardOption(
        QStringLiteral("card"), QStringLiteral("The card to attach: %1.").arg(CardKindList()),
        QStringLiteral("KIND"));
    const QCommandLineOption latencyOption(
        QStringLiteral("latency-us"), QStringLiteral("Fixed latency of each APDU in microseconds."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption jitterOption(
        QStringLiteral("jitter-us"),
        QStringLiteral("Random extra latency of each APDU, up to N microseconds."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption failOption(
        QStringLiteral("fail-every"),
        QStringLiteral("Answer every N-th APDU 6F 00 without the card (0: never)."),
        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption timeUnitOption(
        QStringLiteral("time-unit-us"),
        QStringLiteral("Test card: one unit of a time request's work in microseconds."),
        QStringLiteral("N"), QStringLiteral("100000"));
    const QCommandLineOption cutOption(
        QStringLiteral("cut-above"),
        QStringLiteral("Test card: reply data longer than N bytes is cut to N bytes."),
        QStringLiteral("N"));
    const QCommandLineOption rewriteLeOption(
        QStringLiteral("rewrite-le"),
        QStringLiteral("Test card: every Le reaches the card as 00."));
    const QCommandLineOption dropOption(
        QStringLiteral("drop-last-above"),
        QStringLiteral("Test card: a command longer than N bytes loses its last byte."),
        QStringLiteral("N"));
    const QCommandLineOption noExtendedOption(
        QStringLiteral("no-extended"),
        QStringLiteral("Test card: commands with extended lengths are refused."));
    const QCommandLineOption lateOption(
        QStringLiteral("late-time-request"),
        QStringLiteral("Test card: a time request is given up after one time unit."));
    parser.addOptions({slotOption, cardOption, latencyOption, jitterOption, failOption,
                       timeUnitOption, cutOption, rewriteLeOption, dropOption, noExtendedOption,
                       lateOption});
    if (const auto status = AnswerHelpOrVersion(argc, argv, parser)) {
        return *status;
    }
    if (!parser.errorText().isEmpty()) {
        return Usage(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Usage(QStringLiteral("unexpected argument ") + parser.positionalArguments().first());
    }
    int slot = 0;
    if (!ParseSlot(parser.value(slotOption).toStdString(), slot)) {
        return Usage(QStringLiteral("bad slot ") + parser.value(slotOption));
    }
    if (!parser.isSet(cardOption)) {
        return Usage(QStringLiteral("no card kind given"));
    }
    const auto card = MakeSimCardFromOption(parser.value(cardOption).toStdString());
    if (!card) {
        return Usage(QStringLiteral("unknown card kind ") + parser.value(cardOption));
    }
    SimTimingSettings timing;
    const std::pair<const QCommandLineOption*, std::uint32_t*> counts[] = {
        {&latencyOption, &timing.latencyUs},
        {&jitterOption, &timing.jitterUs},
        {&failOption, &timing.failEvery}};
    for (const auto& [option, value] : counts) {
        if (!ParseCount(parser.value(*option).toStdString(), *value)) {
            return Usage(QStringLiteral("bad --%1 %2")
                             .arg(option->names().constFirst(), parser.value(*option)));
        }
    }
    auto* testCard = dynamic_cast<SimTestCard*>(card.get());
    const QCommandLineOption* testOptions[] = {&timeUnitOption, &cutOption,        &rewriteLeOption,
                                               &dropOption,     &noExtendedOption, &lateOption};
    for (const QCommandLineOption* option : testOptions) {
        if (parser.isSet(*option) && testCard == nullptr) {
            return Usage(
                QStringLiteral("--%1 needs a test card").arg(option->names().constFirst()));
        }
    }
    if (testCard != nullptr) {
        if (std::popcount(testCard->Protocols()) != 1) {
            return Usage(
                QStringLiteral("under vpcd the test card offers one protocol: test-t0 or test-t1"));
        }
        std::uint32_t unit = 0;
        if (!ParseCount(parser.value(timeUnitOption).toStdString(), unit)) {
            return Usage(QStringLiteral("bad --time-unit-us ") + parser.value(timeUnitOption));
        }
        testCard->SetTimeUnit(std::chrono::microseconds(unit));
        SimTestCardFaults faults;
        const std::pair<const QCommandLineOption*, std::optional<std::uint32_t>*> limits[] = {
            {&cutOption, &faults.cutRepliesAbove}, {&dropOption, &faults.dropLastByteAbove}};
        for (const auto& [option, limit] : limits) {
            if (!parser.isSet(*option)) {
                continue;
            }
            std::uint32_t value = 0;
            if (!ParseCount(parser.value(*option).toStdString(), value)) {
                return Usage(QStringLiteral("bad --%1 %2")
                                 .arg(option->names().constFirst(), parser.value(*option)));
            }
            *limit = value;
        }
        faults.rewriteLe = parser.isSet(rewriteLeOption);
        faults.refuseExtended = parser.isSet(noExtendedOption);
        faults.lateTimeRequest = parser.isSet(lateOption);
        testCard->SetFaults(faults);
    }
    CatchStopSignals();
    SimVpcdResponder responder(*card);
    responder.SetTiming(timing);
    const auto port = static_cast<std::uint16_t>(kBasePort + slot);
    VpcdClient client(port);
    bool waitingReported = false;
    while (!stopRequested) {
        std::string error;
        if (!client.Connect(error)) {
            if (!waitingReported) {
                std::fprintf(stderr, "zp-vcard: waiting for vpcd on 127.0.0.1:%d (%s)\n", port,
                             error.c_str());
                waitingReported = true;
            }
            usleep(kRetryMicroseconds);
            continue;
        }
        waitingReported = false;
        std::printf("zp-vcard: %s attached to vpcd slot %d (127.0.0.1:%d)\n",
                    qPrintable(parser.value(cardOption)), slot, port);
        std::fflush(stdout);
        if (!client.Serve(responder, stopRequested, error)) {
            std::fprintf(stderr, "zp-vcard: connection to vpcd failed (%s)\n", error.c_str());
        } else if (!stopRequested) {
            std::fprintf(stderr, "zp-vcard: vpcd closed the connection\n");
        }
        client.Close();
        card->PowerDown();
    }
    return EXIT_SUCCESS;
}
