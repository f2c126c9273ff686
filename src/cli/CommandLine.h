#pragma once

#include <optional>

class QCommandLineParser;

// Adds -h/--help and -v/--version to `parser`, which holds the program's description and
// its own options, and parses the command line with it. When either is given, prints the
// usage, or the program's name and QCoreApplication::applicationVersion(), to standard output
// and returns the exit status 0; this happens before any application object exists, so that
// both work without a display. Otherwise returns nothing and `parser` holds the result:
// Qt's own options (-platform, -style, ...) are among its unknown options, and are left to
// the application object.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv, QCommandLineParser& parser);
