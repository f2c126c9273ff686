#pragma once

#include <QStringList>

class QTextStream;

// `control [--reader NAME|INDEX | --simulated] --code N HEX`: sends one control command to
// the reader (N a vendor function number, giving SCARD_CTL_CODE(N), or a full code; HEX the
// data, blanks allowed) and prints the exchange in the program's log lines. Exit status 0
// when the reader answered, 1 when it refused the command (the reason on `err`), 2 for a
// usage error or a reader that cannot be found or reached.
int RunControlCommand(const QStringList& args, QTextStream& out, QTextStream& err);
