#include "insight/TlvDictionary.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "core/common/Conversions.h"
#include "core/tlv/TlvPath.h"
#include "insight/TlvTags.h"

namespace {

constexpr struct {
    const char* word;
    TlvFormat format;
} kFormatWords[] = {
    {"hex", TlvFormat::Hex},
    {"text", TlvFormat::Text},
    {"number", TlvFormat::Number},
    {"bcd", TlvFormat::Bcd},
    {"date", TlvFormat::Date},
    {"country", TlvFormat::Country},
    {"currency", TlvFormat::Currency},
    {"file-descriptor", TlvFormat::FileDescriptor},
    {"life-cycle", TlvFormat::LifeCycle},
    {"aip", TlvFormat::Aip},
    {"tvr", TlvFormat::Tvr},
    {"dol", TlvFormat::Dol},
    {"oid", TlvFormat::Oid},
    {"cplc", TlvFormat::Cplc},
};

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text = BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string ClassAndKind(const TlvNode& node) {
    static const char* const kClasses[] = {"universal", "application", "context-specific",
                                           "private"};
    return std::string(kClasses[static_cast<int>(TlvClassOf(node.tag))]) +
           (node.constructed ? ", constructed" : ", primitive");
}

// One tag, as a path of one step without an index.
std::optional<std::uint32_t> TagNamed(const std::string& word) {
    TlvPath path;
    if (ParseTlvPath(word, path) || path.size() != 1 || word.find('[') != std::string::npos) {
        return std::nullopt;
    }
    return path.front().tag;
}

std::vector<std::string> Words(const std::string& line, std::size_t count, std::string& rest) {
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (words.size() < count) {
        const std::size_t begin = line.find_first_not_of(" \t", pos);
        if (begin == std::string::npos) {
            break;
        }
        pos = line.find_first_of(" \t", begin);
        words.push_back(line.substr(begin, pos == std::string::npos ? pos : pos - begin));
        if (pos == std::string::npos) {
            pos = line.size();
        }
    }
    const std::size_t begin = line.find_first_not_of(" \t", pos);
    const std::size_t end = line.find_last_not_of(" \t\r");
    rest = begin == std::string::npos || end < begin ? "" : line.substr(begin, end - begin + 1);
    return words;
}

void AddLines(const std::vector<TlvNode>& nodes, const TlvDictionary& dictionary,
              std::vector<std::uint32_t>& parents, std::vector<std::string>& lines) {
    const std::string indent(2 * parents.size(), ' ');
    for (const TlvNode& node : nodes) {
        const TlvDescription description = dictionary.Describe(node, parents);
        std::string line = indent;
        if (node.kind == TlvNodeKind::Object) {
            line += TlvTagText(node.tag) + " ";
        }
        line += description.name;
        if (!description.value.empty()) {
            line += ": " + description.value;
        }
        if (node.cut) {
            line += " (cut at the end: " + std::to_string(node.value.size()) + " of " +
                    std::to_string(node.length) + " bytes)";
        }
        if (node.raw) {
            line += " (content does not parse)";
        }
        lines.push_back(std::move(line));
        parents.push_back(node.tag);
        AddLines(node.children, dictionary, parents, lines);
        parents.pop_back();
    }
}

bool ReadFileText(const QString& name, std::string& text, std::string& error) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        error = name.toStdString() + ": " + file.errorString().toStdString();
        return false;
    }
    text = file.readAll().toStdString();
    return true;
}

}  // namespace

TlvDictionary::TlvDictionary() : entries_(BuiltinTlvEntries()) {}

void TlvDictionary::Merge(const std::vector<TlvEntry>& entries) {
    entries_.insert(entries_.end(), entries.begin(), entries.end());
}

const TlvEntry* TlvDictionary::Find(std::uint32_t tag, std::uint32_t parent) const {
    for (const std::uint32_t wanted : {parent, kAnyParent}) {
        for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
            if (entry->tag == tag && entry->parent == wanted) {
                return &*entry;
            }
        }
    }
    return nullptr;
}

TlvDescription TlvDictionary::Describe(const TlvNode& node,
                                       std::span<const std::uint32_t> parents) const {
    if (node.kind == TlvNodeKind::Trailing) {
        return {"Trailing bytes", Hex(node.value)};
    }
    if (node.kind == TlvNodeKind::NotTlv) {
        return {"Not TLV", Hex(node.value)};
    }
    const TlvEntry* entry = Find(node.tag, parents.empty() ? kNoParent : parents.back());
    TlvDescription description{entry != nullptr ? entry->name : ClassAndKind(node), ""};
    if (node.constructed && !node.raw) {
        return description;
    }
    if (node.raw || entry == nullptr) {
        description.value = Hex(node.value);
    } else if (const auto items = ReadTlvDol(node.value);
               entry->format == TlvFormat::Dol && items) {
        for (const TlvDolItem& item : *items) {
            const TlvEntry* named = Find(item.tag, kNoParent);
            description.value += (description.value.empty() ? "" : ", ") + TlvTagText(item.tag) +
                                 (named != nullptr ? " " + named->name : "") + " (" +
                                 std::to_string(item.length) + ")";
        }
    } else {
        description.value = FormatTlvValue(entry->format, node.value);
    }
    return description;
}

std::vector<TlvEntry> ParseTlvEntries(const std::string& text, std::string& error) {
    std::vector<TlvEntry> entries;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        start = end + 1;
        line = line.substr(0, line.find('#'));
        std::string name;
        const std::vector<std::string> words = Words(line, 3, name);
        if (words.empty()) {
            continue;
        }
        const auto fault = [&](const std::string& what) {
            error = "line " + std::to_string(number) + ": " + what;
            return std::vector<TlvEntry>{};
        };
        TlvEntry entry;
        const std::optional<std::uint32_t> tag = TagNamed(words[0]);
        if (!tag) {
            return fault("'" + words[0] + "' is not a tag");
        }
        entry.tag = *tag;
        if (words.size() < 3 || name.empty()) {
            return fault("an entry is TAG PARENT FORMAT NAME");
        }
        if (words[1] == "*" || words[1] == "-") {
            entry.parent = words[1] == "*" ? kAnyParent : kNoParent;
        } else if (const std::optional<std::uint32_t> parent = TagNamed(words[1])) {
            entry.parent = *parent;
        } else {
            return fault("'" + words[1] + "' is not a tag, '*' or '-'");
        }
        const auto format = std::find_if(std::begin(kFormatWords), std::end(kFormatWords),
                                         [&](const auto& f) { return words[2] == f.word; });
        if (format == std::end(kFormatWords)) {
            return fault("'" + words[2] + "' is not a format");
        }
        entry.format = format->format;
        entry.name = name;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<std::string> TlvTreeLines(const TlvTree& tree, const TlvDictionary& dictionary) {
    std::vector<std::string> lines;
    std::vector<std::uint32_t> parents;
    AddLines(tree.nodes, dictionary, parents, lines);
    return lines;
}

std::string TlvUserFile() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("zp-readertest/tags.txt"))
        .toStdString();
}

TlvDictionary LoadTlvDictionary(const std::string& extraFile, std::vector<std::string>& errors) {
    TlvDictionary dictionary;
    const auto load = [&](const std::string& name, bool required) {
        const QString file = QString::fromStdString(name);
        if (!required && !QFile::exists(file)) {
            return;
        }
        std::string text;
        std::string error;
        if (!ReadFileText(file, text, error)) {
            errors.push_back(error);
            return;
        }
        const std::vector<TlvEntry> entries = ParseTlvEntries(text, error);
        if (!error.empty()) {
            errors.push_back(name + ": " + error);
            return;
        }
        dictionary.Merge(entries);
    };
    load(TlvUserFile(), false);
    if (!extraFile.empty()) {
        load(extraFile, true);
    }
    return dictionary;
}
