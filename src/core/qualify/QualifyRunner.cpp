#include "core/qualify/QualifyRunner.h"

#include <algorithm>
#include <chrono>

#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/qualify/QualifyApplets.h"
#include "core/qualify/QualifyLink.h"
#include "core/script/CardConnection.h"
#include "core/session/CardLibrary.h"
#include "core/session/ReaderControl.h"

namespace {
constexpr std::uint32_t kDispositionUnpower = 2;
constexpr std::uint32_t kShortBufferAsk = 16;  // a 16-byte reply into a 17-byte buffer
constexpr std::uint32_t kLongestTimeRequest = 0xFF;
constexpr std::uint32_t kAnyLength = kMaxExtendedReply;

using Clock = std::chrono::steady_clock;

std::uint64_t MicrosSince(Clock::time_point start) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
}

std::string CodeText(std::uint32_t code) {
    return ReturnCodeText("return code=0x", code);
}

std::string StatusText(std::uint16_t sw) {
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(sw >> 8),
                                  static_cast<std::uint8_t>(sw)};
    return "SW " + BytesToHexText(bytes, 2).substr(0, 5);
}

using ByteSpan = std::span<const std::uint8_t>;

std::int64_t FirstDifference(ByteSpan expected, ByteSpan received) {
    const auto pair =
        std::mismatch(expected.begin(), expected.end(), received.begin(), received.end());
    if (pair.first == expected.end() && pair.second == received.end()) {
        return -1;
    }
    return pair.first - expected.begin();
}

// The few words that say how a reply missed its expectation; equal for equal faults so that
// the matrix folds them into one range.
std::string MismatchText(ByteSpan expected, ByteSpan received) {
    const std::uint16_t want = StatusWordOf(expected);
    const std::uint16_t got = StatusWordOf(received);
    if (received.size() < 2) {
        return "reply without status word";
    }
    if (got != want) {
        return StatusText(got) + " instead of " + StatusText(want).substr(3);
    }
    if (received.size() != expected.size()) {
        return std::to_string(received.size() - 2) + " bytes received";
    }
    return "data differs";
}

class CellCheck {
  public:
    explicit CellCheck(QualifyCell& cell) : cell_(cell) {}

    // Counts the exchange; `own` ones are the case's time. False when the run was stopped.
    bool Count(const LinkReply& reply, bool own) {
        cell_.exchanges += reply.exchanges;
        if (own) {
            cell_.micros += reply.micros;
        }
        return !reply.stopped;
    }

    // The reply must be `data` and 90 00.
    void Expect(const LinkReply& reply, ByteSpan data, const char* what) {
        if (cell_.exchanges == reply.exchanges) {
            cell_.statusWord = StatusWordOf(reply.bytes);
        }
        const bool match = reply.code == 0 && reply.bytes.size() == data.size() + 2 &&
                           std::equal(data.begin(), data.end(), reply.bytes.begin()) &&
                           StatusWordOf(reply.bytes) == kStatusOk;
        if (match) {
            return;
        }
        QualifyBytes expected(data.begin(), data.end());
        expected.insert(expected.end(), {0x90, 0x00});
        if (reply.code != 0) {
            Fail(reply.code, expected, {}, Prefixed(what, CodeText(reply.code)));
        } else {
            Fail(0, expected, reply.bytes, Prefixed(what, MismatchText(expected, reply.bytes)));
        }
    }

    // The call must answer `wanted`; `received` is what it delivered otherwise.
    void ExpectCode(std::uint32_t code, std::uint32_t wanted, const char* wantedName,
                    ByteSpan received = {}) {
        cell_.code = code;
        if (code != wanted) {
            Fail(code, {}, received, CodeText(code) + " instead of " + wantedName);
        }
    }

    void Fail(std::uint32_t code, ByteSpan expected, ByteSpan received, const std::string& detail) {
        if (cell_.outcome == CellOutcome::Fail) {
            cell_.detail += "; " + detail;
            return;
        }
        cell_.outcome = CellOutcome::Fail;
        cell_.code = code;
        cell_.expected.assign(expected.begin(), expected.end());
        cell_.received.assign(received.begin(), received.end());
        cell_.firstDifference = code != 0 ? -1 : FirstDifference(expected, received);
        if (!received.empty()) {
            cell_.statusWord = StatusWordOf(received);
        }
        cell_.detail = detail;
    }

  private:
    static std::string Prefixed(const char* what, const std::string& text) {
        return what == nullptr ? text : std::string(what) + ": " + text;
    }

    QualifyCell& cell_;
};

TestApplet AppletFor(QualifyCase kind, TestApplet shortCases) {
    switch (kind) {
        case QualifyCase::Case2Extended:
        case QualifyCase::Case3Extended:
        case QualifyCase::WaitingTime:
            return TestApplet::Extended;
        case QualifyCase::TimeRequest:
        case QualifyCase::PinPad:
        case QualifyCase::CardPulled:
            return TestApplet::ReaderTest;
        case QualifyCase::UnpowerReset:
        case QualifyCase::ResetReconnect:
            return TestApplet::None;
        default:
            return shortCases;
    }
}

bool IsExtended(QualifyCase kind) {
    return kind == QualifyCase::Case2Extended || kind == QualifyCase::Case3Extended;
}

const char* MissingAppletText(TestApplet applet) {
    return applet == TestApplet::Extended ? "no extended-length applet on the card"
                                          : "no reader-test applet on the card";
}
}  // namespace

bool QualifyResult::AllPassed() const {
    bool ran = false;
    for (const QualifyCell& cell : cells) {
        if (cell.outcome == CellOutcome::Fail) {
            return false;
        }
        ran = ran || cell.outcome == CellOutcome::Pass;
    }
    return ran;
}

// One protocol column: its connection, the applets found on it, its cells.
class QualifyColumn {
  public:
    QualifyColumn(CardLibrary& library, const QualifyObserver& observer, ReaderControl* control,
                  std::optional<std::uint32_t> pinCode, const std::atomic<bool>& stop,
                  std::uint32_t context, std::string reader, const QualifyBytes& atr)
        : library_(library),
          observer_(observer),
          control_(control),
          pinCode_(pinCode),
          link_(library, observer.log, stop),
          context_(context),
          reader_(std::move(reader)),
          atr_(atr) {}

    std::uint32_t Connect(std::uint32_t protocol) {
        return link_.Connect(context_, reader_, protocol);
    }

    // Selects each applet once to learn which the card has; the last found stays selected.
    void FindApplets() {
        hasExtended_ = Select(TestApplet::Extended);
        hasReaderTest_ = Select(TestApplet::ReaderTest);
        current_ = hasReaderTest_ ? TestApplet::ReaderTest
                                  : (hasExtended_ ? TestApplet::Extended : TestApplet::None);
    }
    bool HasReaderTest() const { return hasReaderTest_; }
    bool HasExtended() const { return hasExtended_; }
    std::uint64_t Exchanges() const { return link_.Exchanges(); }

    // Runs the cell; false when the run was stopped during it (the cell is then untouched).
    bool Run(QualifyCell& cell) {
        const TestApplet shortApplet =
            hasReaderTest_ ? TestApplet::ReaderTest : TestApplet::Extended;
        const TestApplet applet = AppletFor(cell.kind, shortApplet);
        if (IsExtended(cell.kind) && link_.Protocol() == kProtocolT0) {
            cell.detail = "extended lengths do not fit a T=0 exchange";
            return true;
        }
        if ((applet == TestApplet::Extended && !hasExtended_) ||
            (applet == TestApplet::ReaderTest && !hasReaderTest_)) {
            cell.detail = MissingAppletText(applet);
            return true;
        }
        QualifyCell result = cell;
        result.outcome = CellOutcome::Pass;
        CellCheck check(result);
        if (applet != TestApplet::None && current_ != applet && !SelectOrRecover(applet)) {
            if (stopped_) {
                return false;
            }
            check.Fail(0, {}, {}, "the applet could not be selected");
        } else if (!RunChecks(result, check, applet)) {
            return false;
        }
        cell = std::move(result);
        return true;
    }

  private:
    // A reader that lost the card's state in a failed exchange answers nothing until the card
    // is reset: the reset keeps one failed cell from failing every cell after it. The failed
    // cell keeps its own evidence, and the reconnect and the new selection are in the log.
    bool SelectOrRecover(TestApplet applet) {
        if (Select(applet) || stopped_) {
            return current_ == applet;
        }
        return link_.Reconnect(kDispositionReset) == 0 && Select(applet);
    }

    bool Select(TestApplet applet) {
        for (const QualifyBytes& command : SelectCommands(applet)) {
            // The reply's FCI is of no use here: 61 XX selected the applet as 90 00 does.
            const LinkReply reply = link_.Transmit(command, kAnyLength);
            stopped_ = reply.stopped;
            const std::uint16_t sw = StatusWordOf(reply.bytes);
            if (reply.code == 0 && (sw == kStatusOk || (sw >> 8) == 0x61)) {
                current_ = applet;
                return true;
            }
        }
        current_ = TestApplet::None;
        return false;
    }

    // The exchange of a case and its check; false when stopped.
    bool Exchange(CellCheck& check, const QualifyBytes& command, ByteSpan expected, bool own = true,
                  const char* what = nullptr) {
        const LinkReply reply = link_.Fetch(command);
        if (!check.Count(reply, own)) {
            return false;
        }
        check.Expect(reply, expected, what);
        return true;
    }

    bool Ask(CellCheck& check, const std::vector<CardQuestion>& questions) {
        for (const CardQuestion& question : questions) {
            if (!Exchange(check, question.command, question.expected, false, question.what)) {
                return false;
            }
        }
        return true;
    }

    bool RunChecks(QualifyCell& cell, CellCheck& check, TestApplet applet) {
        const std::uint32_t n = cell.length;
        const bool extendedApplet = applet == TestApplet::Extended;
        const bool t0 = link_.Protocol() == kProtocolT0;
        switch (cell.kind) {
            case QualifyCase::Case1:
                return Exchange(check, Case1Command(applet), {});
            case QualifyCase::Case2:
                return Exchange(check, Case2Command(applet, n), CountingBytes(n)) &&
                       (!extendedApplet || Ask(check, Case2Questions(n, false, t0)));
            case QualifyCase::Case3:
                return Exchange(check, Case3Command(applet, n), {}) &&
                       (!extendedApplet || Ask(check, Case3Questions(n, false)));
            case QualifyCase::Case4:
                return RunCase4(cell, check, applet, t0) &&
                       (!extendedApplet || Ask(check, Case3Questions(n, false)));
            case QualifyCase::Case2Extended:
                return Exchange(check, Case2ExtendedCommand(n), CountingBytes(n)) &&
                       Ask(check, Case2Questions(n, true, t0));
            case QualifyCase::Case3Extended:
                return Exchange(check, Case3ExtendedCommand(n), {}) &&
                       Ask(check, Case3Questions(n, true));
            case QualifyCase::TimeRequest:
                return Exchange(check, TimeRequestCommand(n), {});
            case QualifyCase::WaitingTime:
                return Exchange(check, SetWaitingTimeCommand(n), {}) &&
                       Exchange(check, WaitingTimeCase1Command(), {});
            case QualifyCase::PinPad:
                return RunPinPad(cell, check);
            case QualifyCase::ShortBuffer: {
                const LinkReply reply =
                    link_.Transmit(Case2Command(applet, kShortBufferAsk), kShortBufferAsk + 1);
                if (!check.Count(reply, true)) {
                    return false;
                }
                check.ExpectCode(reply.code, pcsc_codes::kInsufficientBuffer,
                                 "SCARD_E_INSUFFICIENT_BUFFER", reply.bytes);
                return true;
            }
            case QualifyCase::OtherProtocol: {
                const std::uint32_t other = t0 ? kProtocolT1 : kProtocolT0;
                const LinkReply reply = link_.Transmit(Case1Command(applet), kAnyLength, other);
                if (!check.Count(reply, true)) {
                    return false;
                }
                cell.code = reply.code;
                if (reply.code == 0) {
                    check.Fail(0, {}, reply.bytes, "the transmit was carried out");
                }
                return true;
            }
            case QualifyCase::ExclusiveShared:
                return RunExclusive(cell, check);
            case QualifyCase::UnpowerReset:
                return RunReconnect(cell, check, kDispositionUnpower);
            case QualifyCase::ResetReconnect:
                return RunReconnect(cell, check, kDispositionReset);
            case QualifyCase::CardPulled:
                return RunCardPull(cell, check);
        }
        return true;
    }

    bool RunCase4(QualifyCell& cell, CellCheck& check, TestApplet applet, bool t0) {
        const std::uint32_t out = cell.length + 1;
        const LinkReply reply = link_.Fetch(Case4Command(applet, cell.length));
        if (!check.Count(reply, true)) {
            return false;
        }
        // Over T=0 the card announces its reply with 61 XX and the program fetches it.
        const auto announced = static_cast<std::uint16_t>(0x6100 | (out & 0xFF));
        if (t0 && reply.code == 0 && reply.firstStatus != announced) {
            check.Fail(0, StatusBytes(announced), StatusBytes(reply.firstStatus),
                       StatusText(reply.firstStatus) + " instead of 61 XX");
            return true;
        }
        check.Expect(reply, CountingBytes(out), nullptr);
        return true;
    }

    bool RunPinPad(QualifyCell& cell, CellCheck& check) {
        if (control_ == nullptr || !pinCode_) {
            cell.outcome = CellOutcome::Skipped;
            cell.detail = "no connection to the reader's PIN pad";
            return true;
        }
        if (observer_.prompt && !observer_.prompt(QualifyPrompt::TypePin)) {
            cell.outcome = CellOutcome::Skipped;
            cell.detail = "not confirmed";
            return true;
        }
        const auto start = Clock::now();
        ReaderAccess access = ReaderAccess::Shared;
        std::vector<std::uint8_t> reply;
        std::uint32_t code = control_->Open(reader_, access);
        if (code == 0) {
            code = control_->Control(*pinCode_, PinVerifyStructure(), reply);
            control_->Close();
        }
        cell.micros += MicrosSince(start);
        if (code != 0) {
            check.Fail(code, StatusBytes(kStatusOk), {}, "PIN pad: " + CodeText(code));
        } else if (StatusWordOf(reply) != kStatusOk || reply.size() != 2) {
            check.Fail(0, StatusBytes(kStatusOk), reply,
                       "PIN pad: " + MismatchText(StatusBytes(kStatusOk), reply));
        }
        return Exchange(check, PinDumpCommand(), PinDumpExpected(), false, "card received");
    }

    bool RunExclusive(QualifyCell& cell, CellCheck& check) {
        const auto start = Clock::now();
        std::uint32_t other = 0;
        std::uint32_t protocol = 0;
        const std::uint32_t code = library_.CardConnect(context_, reader_.c_str(), kShareExclusive,
                                                        link_.Protocol(), &other, &protocol);
        cell.micros = MicrosSince(start);
        if (code == 0) {
            library_.CardDisconnect(other, kDispositionLeave);
        }
        check.ExpectCode(code, pcsc_codes::kSharingViolation, "SCARD_E_SHARING_VIOLATION");
        return true;
    }

    bool RunReconnect(QualifyCell& cell, CellCheck& check, std::uint32_t disposition) {
        const auto start = Clock::now();
        const std::uint32_t code = link_.Reconnect(disposition);
        cell.micros = MicrosSince(start);
        current_ = TestApplet::None;
        if (code != 0) {
            check.Fail(code, atr_, {}, "reconnect: " + CodeText(code));
            return true;
        }
        QualifyBytes atr;
        const std::uint32_t atrCode = ReadCardAtr(library_, context_, reader_, atr);
        if (atrCode != 0 || atr != atr_) {
            check.Fail(atrCode, atr_, atr,
                       atrCode != 0 ? "status: " + CodeText(atrCode) : "another ATR");
        }
        return true;
    }

    bool RunCardPull(QualifyCell& cell, CellCheck& check) {
        if (observer_.prompt && !observer_.prompt(QualifyPrompt::PullCard)) {
            cell.outcome = CellOutcome::Skipped;
            cell.detail = "not confirmed";
            return true;
        }
        const LinkReply reply = link_.Transmit(TimeRequestCommand(kLongestTimeRequest), kAnyLength);
        if (!check.Count(reply, true)) {
            return false;
        }
        check.ExpectCode(reply.code, pcsc_codes::kRemovedCard, "SCARD_W_REMOVED_CARD");
        return true;
    }

    CardLibrary& library_;
    const QualifyObserver& observer_;
    ReaderControl* control_;
    std::optional<std::uint32_t> pinCode_;
    QualifyLink link_;
    std::uint32_t context_;
    std::string reader_;
    const QualifyBytes& atr_;
    bool hasReaderTest_ = false;
    bool hasExtended_ = false;
    bool stopped_ = false;
    TestApplet current_ = TestApplet::None;
};

QualifyRunner::QualifyRunner(CardLibrary& library, QualifyPlan plan)
    : library_(library), plan_(std::move(plan)) {}

void QualifyRunner::SetObserver(QualifyObserver observer) {
    observer_ = std::move(observer);
}

void QualifyRunner::SetReaderControl(ReaderControl* control) {
    control_ = control;
}

void QualifyRunner::Stop() {
    stop_.store(true);
}

QualifyResult QualifyRunner::Run(const std::string& reader) {
    const auto start = Clock::now();
    QualifyResult result;
    result.cells = PlannedCells(plan_);
    CardConnection context(library_);
    if ((result.code = context.Establish()) != 0) {
        result.end = QualifyEnd::NoContext;
        return result;
    }
    result.code = ReadCardAtr(library_, context.Context(), reader, result.atr);
    if (result.code != 0 || result.atr.empty()) {
        result.end = QualifyEnd::NoCard;
        return result;
    }
    std::size_t done = 0;
    const std::size_t total = result.cells.size();
    bool stopped = false;
    for (const std::uint32_t protocol : plan_.protocols) {
        QualifyColumn column(library_, observer_, control_, plan_.verifyPinDirect, stop_,
                             context.Context(), reader, result.atr);
        const std::uint32_t code = column.Connect(protocol);
        std::string refusal;
        if (code != 0) {
            refusal = std::string("not connected under ") + ProtocolName(protocol) + ": " +
                      ReturnCodeText("return code=0x", code);
            result.code = code;
        } else {
            result.protocols.push_back(protocol);
            column.FindApplets();
            result.readerTestApplet = result.readerTestApplet || column.HasReaderTest();
            result.extendedApplet = result.extendedApplet || column.HasExtended();
            if (!column.HasReaderTest() && !column.HasExtended()) {
                refusal = "neither test applet on the card";
            }
        }
        for (QualifyCell& cell : result.cells) {
            if (cell.protocol != protocol || stopped) {
                continue;
            }
            if (!refusal.empty()) {
                cell.detail = refusal;
            } else if (!column.Run(cell)) {
                stopped = true;
                continue;
            }
            ++done;
            if (observer_.cell) {
                observer_.cell(cell);
            }
            if (observer_.progress) {
                observer_.progress(done, total);
            }
        }
        result.exchanges += column.Exchanges();
        if (stopped) {
            break;
        }
    }
    result.micros = MicrosSince(start);
    if (stopped || stop_.load()) {
        result.end = QualifyEnd::Stopped;
    } else if (result.protocols.empty()) {
        result.end = QualifyEnd::NoCard;
    } else if (!result.readerTestApplet && !result.extendedApplet) {
        result.end = QualifyEnd::NoTestApplet;
    }
    return result;
}
