#include "report/ScriptReport.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QXmlStreamWriter>
#include <cstdio>
#include <map>

#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"

using namespace Qt::StringLiterals;

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text = BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string GotText(const StepResult& result) {
    return result.code == 0 ? Hex(result.reply) : ReturnCodeText("return code=0x", result.code);
}

// Script text as characters: UTF-8, or Latin-1 where the bytes are not valid UTF-8 (a
// script saved in an older editor). Control characters have no place in XML 1.0 and read
// as blanks.
QString ScriptText(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError()) {
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    }
    for (QChar& c : text) {
        if (c.unicode() < 0x20 && c != u'\t') {
            c = u' ';
        }
    }
    return text;
}

std::string Seconds(std::int64_t micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(micros) / 1e6);
    return text;
}

std::string CaseName(const ScriptStep& step) {
    std::string name = "line " + std::to_string(step.line);
    return step.comment.empty() ? name : name + ": " + step.comment;
}

}  // namespace

std::string_view VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Pass:
            return "pass";
        case Verdict::Fail:
            return "FAIL";
        case Verdict::NoExpectation:
            break;
    }
    return "no expectation";
}

std::string CheckFailuresText(const StepResult& result) {
    std::string text;
    for (const std::string& failure : result.checkFailures) {
        text += (text.empty() ? "" : "; ") + failure;
    }
    return text;
}

std::string SummaryText(const ScriptRunSummary& summary) {
    std::string text = std::to_string(summary.commands) + " commands, " +
                       std::to_string(summary.passes) + " passed, " +
                       std::to_string(summary.failures) + " failed, " +
                       std::to_string(summary.micros) + " us";
    if (summary.error) {
        text += ", ended: " + *summary.error;
    } else if (summary.stopped) {
        text += ", stopped";
    }
    return text;
}

std::string TextReport(const Script& script, const std::vector<StepResult>& results,
                       const ScriptRunSummary& summary) {
    std::string text;
    for (const StepResult& result : results) {
        if (result.kind != ScriptStep::Kind::Command) {
            continue;
        }
        const ScriptStep& step = script.steps[result.index];
        text += "line " + std::to_string(result.line) + ": " + Hex(result.command);
        const std::string expected = ExpectationText(step);
        text += "\n  expected: " + (expected.empty() ? std::string("-") : expected);
        text += "\n  got:      " + GotText(result);
        for (const std::string& failure : result.checkFailures) {
            text += "\n  check:    " + failure;
        }
        if (!step.warning.empty()) {
            text += "\n  warning:  " + step.warning;
        }
        text += "\n  " + std::string(VerdictText(result.verdict)) + ", " +
                std::to_string(result.micros) + " us\n";
    }
    return text + SummaryText(summary) + "\n";
}

std::string JunitReport(std::string_view suiteName, const Script& script,
                        const std::vector<StepResult>& results, const ScriptRunSummary& summary) {
    std::map<std::size_t, const StepResult*> ran;
    for (const StepResult& result : results) {
        ran[result.index] = &result;
    }
    int count = 0;
    int skipped = 0;
    for (std::size_t i = 0; i < script.steps.size(); ++i) {
        if (script.steps[i].kind == ScriptStep::Kind::Command) {
            ++count;
            skipped += ran.contains(i) ? 0 : 1;
        }
    }
    const QString suite = ScriptText(suiteName);
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.writeStartDocument();
    writer.writeStartElement(u"testsuites"_s);
    writer.writeStartElement(u"testsuite"_s);
    writer.writeAttribute(u"name"_s, suite);
    writer.writeAttribute(u"tests"_s, QString::number(count));
    writer.writeAttribute(u"failures"_s, QString::number(summary.failures));
    writer.writeAttribute(u"errors"_s, summary.error ? u"1"_s : u"0"_s);
    writer.writeAttribute(u"skipped"_s, QString::number(skipped));
    writer.writeAttribute(u"time"_s, QString::fromStdString(Seconds(summary.micros)));
    for (std::size_t i = 0; i < script.steps.size(); ++i) {
        const ScriptStep& step = script.steps[i];
        if (step.kind != ScriptStep::Kind::Command) {
            continue;
        }
        const auto it = ran.find(i);
        const bool failed = it != ran.end() && it->second->verdict == Verdict::Fail;
        const bool hasChild = it == ran.end() || failed;
        if (hasChild) {
            writer.writeStartElement(u"testcase"_s);
        } else {
            writer.writeEmptyElement(u"testcase"_s);
        }
        writer.writeAttribute(u"classname"_s, suite);
        writer.writeAttribute(u"name"_s, ScriptText(CaseName(step)));
        writer.writeAttribute(
            u"time"_s, QString::fromStdString(Seconds(it == ran.end() ? 0 : it->second->micros)));
        if (it == ran.end()) {
            writer.writeEmptyElement(u"skipped"_s);
        } else if (failed) {
            writer.writeEmptyElement(u"failure"_s);
            const std::string checks = CheckFailuresText(*it->second);
            writer.writeAttribute(
                u"message"_s,
                QString::fromStdString("sent " + Hex(step.command) + ", expected " +
                                       ExpectationText(step) + ", got " + GotText(*it->second) +
                                       (checks.empty() ? "" : "; " + checks)));
        }
        if (hasChild) {
            writer.writeEndElement();
        }
    }
    writer.writeEndDocument();
    return xml.toStdString();
}
