#include "cli/InfoCommand.h"

#include <QCommandLineParser>
#include <QTextStream>
#include <vector>

#include "core/session/CardLibrary.h"
#include "core/session/ReaderList.h"
#include "insight/PcscCodeNames.h"
#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscReaderControl.h"
#include "report/ReaderPropertiesReport.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimReaderControl.h"

namespace {

class PcscPlatform : public ReaderCommandPlatform {
  public:
    CardLibrary& Cards() override { return cards_; }
    ReaderControlFactory& Controls() override { return controls_; }

  private:
    PcscCardLibrary cards_;
    PcscReaderControlFactory controls_;
};

class SimPlatform : public ReaderCommandPlatform {
  public:
    CardLibrary& Cards() override { return cards_; }
    ReaderControlFactory& Controls() override { return controls_; }

  private:
    SimCardLibrary cards_;
    SimReaderControlFactory controls_{cards_};
};

std::vector<std::string> ReaderNames(CardLibrary& cards, std::uint32_t& code) {
    std::vector<std::string> names;
    std::uint32_t context = 0;
    code = cards.CardEstablishContext(kScopeSystem, nullptr, nullptr, &context);
    if (code != 0) {
        return names;
    }
    code = ListReaderNames(cards, context, names);
    cards.CardReleaseContext(context);
    return names;
}

}  // namespace

std::unique_ptr<ReaderCommandPlatform> MakeReaderCommandPlatform(bool simulated) {
    if (simulated) {
        return std::make_unique<SimPlatform>();
    }
    return std::make_unique<PcscPlatform>();
}

std::string ChooseReader(CardLibrary& cards, const QString& wanted, std::string& error) {
    std::uint32_t code = 0;
    const std::vector<std::string> names = ReaderNames(cards, code);
    if (code != 0 && code != pcsc_codes::kNoReadersAvailable) {
        error = "The reader list could not be read: " + PcscCodeText(code);
        return {};
    }
    if (names.empty()) {
        error = "No reader is attached.";
        return {};
    }
    if (wanted.isEmpty()) {
        return names.front();
    }
    for (const std::string& name : names) {
        if (QString::fromStdString(name) == wanted) {
            return name;
        }
    }
    bool number = false;
    const int index = wanted.toInt(&number);
    if (number && index >= 0 && static_cast<std::size_t>(index) < names.size()) {
        return names[static_cast<std::size_t>(index)];
    }
    error = "No reader " + wanted.toStdString() + " is attached.";
    return {};
}

int RunInfoCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    const QCommandLineOption reader(QStringLiteral("reader"),
                                    QStringLiteral("The reader, by name or index."),
                                    QStringLiteral("NAME|INDEX"));
    const QCommandLineOption simulated(QStringLiteral("simulated"),
                                       QStringLiteral("The built-in simulated reader."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Answer in JSON."));
    parser.addOptions({reader, simulated, json});
    if (!parser.parse(QStringList{QStringLiteral("info")} + args) ||
        !parser.positionalArguments().isEmpty() ||
        (parser.isSet(reader) && parser.isSet(simulated))) {
        err << "usage: info [--reader NAME|INDEX | --simulated] [--json]\n";
        if (!parser.errorText().isEmpty()) {
            err << parser.errorText() << '\n';
        }
        return 2;
    }
    const auto platform = MakeReaderCommandPlatform(parser.isSet(simulated));
    std::string error;
    const std::string name = ChooseReader(platform->Cards(), parser.value(reader), error);
    if (name.empty()) {
        err << QString::fromStdString(error) << '\n';
        return 2;
    }
    const auto control = platform->Controls().Create();
    const ReaderReport report = ReadReaderReport(*control, name);
    out << QString::fromStdString(parser.isSet(json) ? ReaderReportJson(report)
                                                     : ReaderReportText(report));
    if (report.openCode != 0) {
        err << "The reader could not be connected: "
            << QString::fromStdString(PcscCodeText(report.openCode)) << '\n';
        return 2;
    }
    return 0;
}
