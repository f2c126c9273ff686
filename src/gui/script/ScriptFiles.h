#pragma once

#include <QString>
#include <functional>

class QWidget;

// The files the script actions ask for.
enum class ScriptFileRole {
    Record,       // a new script to record into
    Run,          // a script to run
    SaveResults,  // the results: JUnit XML for a name ending in .xml, plain text otherwise
};

// Asks for a file; an empty answer means the user cancelled. Production asks with the
// file dialogs; tests answer paths of their own.
using ScriptFileChooser = std::function<QString(QWidget* parent, ScriptFileRole role)>;
ScriptFileChooser ScriptFileDialogs();
