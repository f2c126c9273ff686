#pragma once

#include <QStringList>
#include <memory>
#include <string>

class CardLibrary;
class QTextStream;
class ReaderControlFactory;

// `info [--reader NAME|INDEX | --simulated] [--json]`: the reader's properties, as the
// Properties window shows them, as text or JSON. Exit status 0 when the reader was read, 2
// for a usage error or a reader that cannot be found or reached. `args` holds the words
// after the subcommand's name.
int RunInfoCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// The backends a reader command works on: the platform's PC/SC service, or the built-in
// simulated PIN-pad reader (without a card).
class ReaderCommandPlatform {
  public:
    virtual ~ReaderCommandPlatform() = default;
    virtual CardLibrary& Cards() = 0;
    virtual ReaderControlFactory& Controls() = 0;
};
std::unique_ptr<ReaderCommandPlatform> MakeReaderCommandPlatform(bool simulated);

// The reader named by --reader: a name of an attached reader, else a 0-based index into the
// reader list; without one, the first reader. Empty, with the reason in `error`, when there
// is none such.
std::string ChooseReader(CardLibrary& cards, const QString& wanted, std::string& error);
