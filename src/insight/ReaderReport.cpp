#include "insight/ReaderReport.h"

#include <cstdio>

#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/session/PcscCodes.h"
#include "insight/PcscCodeNames.h"
#include "insight/ReaderAttributes.h"
#include "insight/ReaderFeatures.h"

namespace {

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, text.empty() ? "%02X" : " %02X", byte);
        text += pair;
    }
    return text;
}

// Asks for a feature's data; the feature's section gets "not supported" when refused.
bool AskFeature(ReaderControl& control, std::uint32_t code, const char* section,
                std::vector<std::uint8_t>& reply, ReaderReport& report) {
    if (control.Control(code, {}, reply) != 0) {
        report.rows.push_back({section, "", kNotSupported});
        return false;
    }
    return true;
}

void ReadAttributes(ReaderControl& control, ReaderReport& report) {
    std::vector<std::uint8_t> value;
    for (int i = 0; i < kReaderAttributeCount; ++i) {
        const auto attribute = static_cast<ReaderAttribute>(i);
        std::string text = kNotSupported;
        if (control.GetAttribute(attribute, value) == 0) {
            text = DescribeAttribute(attribute, value.data(), value.size());
            if (attribute == ReaderAttribute::ChannelId) {
                const auto channel = AttributeNumber(value.data(), value.size());
                report.usb = channel && *channel >> 16 == 0x20;
            }
        }
        report.rows.push_back({"Attributes", std::string(AttributeLabel(attribute)), text});
    }
}

void ReadFeatures(ReaderControl& control, ReaderReport& report) {
    std::vector<std::uint8_t> reply;
    if (!AskFeature(control, control.FeatureRequestCode(), "Features", reply, report)) {
        return;
    }
    const FeatureList list = ParseFeatureList(reply.data(), reply.size());
    for (const ReaderFeature& feature : list.features) {
        report.rows.push_back(
            {"Features", FeatureName(feature.tag), ControlCodeText(feature.controlCode)});
    }
    if (list.features.empty()) {
        report.rows.push_back({"Features", "", "none"});
    }
    if (list.truncated || list.skipped != 0) {
        report.rows.push_back({"Features", "", "malformed list: " + HexBytes(reply)});
    }
    report.escapeCode = FindFeature(list, kFeatureCcidEscCommand);

    if (const auto code = FindFeature(list, kFeatureGetTlvProperties);
        code && AskFeature(control, *code, "TLV properties", reply, report)) {
        const TlvProperties tlv = ParseTlvProperties(reply.data(), reply.size());
        for (const TlvProperty& property : tlv.properties) {
            report.rows.push_back(
                {"TLV properties", TlvPropertyName(property.tag), DescribeTlvProperty(property)});
        }
        if (tlv.truncated) {
            report.rows.push_back({"TLV properties", "", "cut short: " + HexBytes(reply)});
        }
    }
    if (const auto code = FindFeature(list, kFeatureIfdPinProperties);
        code && AskFeature(control, *code, "PIN properties", reply, report)) {
        if (const auto pin = ParsePinProperties(reply.data(), reply.size())) {
            report.rows.push_back({"PIN properties", "wLcdLayout", LcdLayoutText(pin->lcdLayout)});
            report.rows.push_back({"PIN properties", "bEntryValidationCondition",
                                   EntryValidationText(pin->entryValidationCondition)});
            report.rows.push_back(
                {"PIN properties", "bTimeOut2", std::to_string(pin->timeOut2) + " s"});
        } else {
            report.rows.push_back({"PIN properties", "", "too short: " + HexBytes(reply)});
        }
    }
}

void ReadState(ReaderControl& control, ReaderReport& report) {
    report.rows.push_back({"State", "Connection",
                           report.access == ReaderAccess::Shared ? "shared" : "direct (no card)"});
    ReaderStatusFacts status;
    if (control.Status(status) != 0) {
        report.rows.push_back({"State", "Flags", kNotSupported});
        return;
    }
    report.rows.push_back({"State", "Flags", ReaderStateFlagsText(status)});
    report.rows.push_back({"State", "Event counter", std::to_string(status.eventCounter)});
    report.rows.push_back({"State", "Protocol", ProtocolMaskText(status.protocol)});
    report.rows.push_back({"State", "ATR", status.atr.empty() ? "none" : HexBytes(status.atr)});
}

}  // namespace

ReaderReport ReadReaderReport(ReaderControl& control, const std::string& reader) {
    ReaderReport report;
    report.reader = reader;
    report.defaultEscapeCode = control.ControlCode(kCcidEscapeFunction);
    report.openCode = control.Open(reader, report.access);
    if (report.openCode != 0) {
        return report;
    }
    ReadAttributes(control, report);
    ReadFeatures(control, report);
    ReadState(control, report);
    control.Close();
    return report;
}

ControlExchange RunControlExchange(ReaderControl& control, const std::string& reader,
                                   std::uint32_t code, const std::vector<std::uint8_t>& data) {
    ControlExchange exchange;
    exchange.code = code;
    ReaderAccess access{};
    exchange.result = control.Open(reader, access);
    if (exchange.result != 0) {
        return exchange;
    }
    exchange.opened = true;
    exchange.result = control.Control(code, data, exchange.reply);
    control.Close();
    return exchange;
}

std::string ControlCodeText(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

void AppendControlCommand(ResponseLog& log, std::uint32_t code,
                          const std::vector<std::uint8_t>& data) {
    AppendLogLine(log, "Control Code : " + ControlCodeText(code));
    AppendSentData(log, data.data(), static_cast<std::int32_t>(data.size()));
}

void AppendControlOutcome(ResponseLog& log, const ControlExchange& exchange) {
    if (exchange.result == 0) {
        AppendReceivedData(log, exchange.reply.data(),
                           static_cast<std::uint32_t>(exchange.reply.size()));
    } else {
        AppendReturnCodeLine(log, "Control Fail, return code=0x", exchange.result);
    }
    AppendSeparatorLine(log);
}

std::string ControlRefusalText(const ControlExchange& exchange, bool usbReader) {
    if (!exchange.opened) {
        return "The reader could not be connected: " + PcscCodeText(exchange.result) + ".";
    }
    // pcsc-lite answers an unsupported feature with the value of SCARD_E_UNEXPECTED.
    const std::string code = exchange.result == 0x8010001F
                                 ? "SCARD_E_UNSUPPORTED_FEATURE (0x8010001F)"
                                 : PcscCodeText(exchange.result);
    std::string text =
        "Control code " + ControlCodeText(exchange.code) + " was refused: " + code + ".";
    switch (exchange.result) {
        case pcsc_codes::kUnsupportedFeature:
        case 0x8010001F:
            text += "\nThe reader does not support this control code.";
            break;
        case 0x80100016:  // SCARD_E_NOT_TRANSACTED
        case pcsc_codes::kInvalidValue:
        case pcsc_codes::kInvalidParameter:
            text += "\nThe reader's driver refused the command.";
            break;
        default:
            break;
    }
    if (usbReader) {
        text +=
            "\nA CCID reader's driver allows escape commands only when its configuration permits "
            "them (ifdDriverOptions 0x0001 in the driver's Info.plist).";
    }
    return text;
}
