#include "core/qualify/QualifyCell.h"

const char* CaseName(QualifyCase kind) {
    switch (kind) {
        case QualifyCase::Case1:
            return "case 1";
        case QualifyCase::Case2:
            return "case 2";
        case QualifyCase::Case3:
            return "case 3";
        case QualifyCase::Case4:
            return "case 4";
        case QualifyCase::Case2Extended:
            return "case 2E";
        case QualifyCase::Case3Extended:
            return "case 3E";
        case QualifyCase::TimeRequest:
            return "time request";
        case QualifyCase::WaitingTime:
            return "waiting-time extension";
        case QualifyCase::PinPad:
            return "PIN pad verify";
        case QualifyCase::ShortBuffer:
            return "receive buffer one byte short";
        case QualifyCase::OtherProtocol:
            return "other protocol's control record";
        case QualifyCase::ExclusiveShared:
            return "exclusive connect while shared";
        case QualifyCase::UnpowerReset:
            return "reconnect with unpower";
        case QualifyCase::ResetReconnect:
            return "reconnect with reset";
        case QualifyCase::CardPulled:
            return "card pulled during a time request";
    }
    return "";
}

const char* LengthName(QualifyCase kind) {
    switch (kind) {
        case QualifyCase::Case2:
        case QualifyCase::Case2Extended:
            return "Le";
        case QualifyCase::Case3:
        case QualifyCase::Case4:
        case QualifyCase::Case3Extended:
            return "Lc";
        case QualifyCase::TimeRequest:
            return "P2";
        case QualifyCase::WaitingTime:
            return "P1P2";
        default:
            return "";
    }
}

const char* ProtocolName(std::uint32_t protocol) {
    return protocol == 1 ? "T=0" : "T=1";
}

const char* OutcomeName(CellOutcome outcome) {
    switch (outcome) {
        case CellOutcome::Pass:
            return "pass";
        case CellOutcome::Fail:
            return "fail";
        case CellOutcome::Skipped:
            return "skipped";
    }
    return "";
}
