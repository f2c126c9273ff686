#include "cli/ReaderChoice.h"

#include "core/session/PcscCodes.h"
#include "core/session/ReaderList.h"
#include "insight/PcscCodeNames.h"

QString ReaderListErrorText(std::uint32_t code) {
    if (code == 0 || code == pcsc_codes::kNoReadersAvailable) {
        return QStringLiteral("no reader attached");
    }
    return QStringLiteral("the reader list cannot be read: %1")
        .arg(QString::fromStdString(PcscCodeText(code)));
}

std::optional<std::vector<std::string>> AttachedReaders(CardLibrary& library, QString& error) {
    std::vector<std::string> names;
    if (const std::uint32_t code = ListAttachedReaders(library, names)) {
        error = ReaderListErrorText(code);
        return std::nullopt;
    }
    return names;
}

std::optional<std::string> ChooseReader(const std::vector<std::string>& attached,
                                        const QString& wanted, QString& error) {
    if (attached.empty()) {
        error = ReaderListErrorText(0);
        return std::nullopt;
    }
    if (wanted.isEmpty()) {
        return attached.front();
    }
    for (const std::string& name : attached) {
        if (QString::fromStdString(name) == wanted) {
            return name;
        }
    }
    bool isIndex = false;
    const uint index = wanted.toUInt(&isIndex);
    if (isIndex && index < attached.size()) {
        return attached[index];
    }
    error = QStringLiteral("no reader '%1' among the %2 attached").arg(wanted).arg(attached.size());
    return std::nullopt;
}

std::optional<std::string> ChooseAttachedReader(CardLibrary& library, const QString& wanted,
                                                QString& error) {
    const auto attached = AttachedReaders(library, error);
    return attached ? ChooseReader(*attached, wanted, error) : std::nullopt;
}
