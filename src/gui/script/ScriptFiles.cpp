#include "gui/script/ScriptFiles.h"

#include <QFileDialog>

ScriptFileChooser ScriptFileDialogs() {
    return [](QWidget* parent, ScriptFileRole role) {
        const QString scripts = QObject::tr("Scripts (*.script *.txt);;All files (*)");
        switch (role) {
            case ScriptFileRole::Record:
                return QFileDialog::getSaveFileName(parent, QObject::tr("Record Script"), QString(),
                                                    scripts);
            case ScriptFileRole::Run:
                return QFileDialog::getOpenFileName(parent, QObject::tr("Run Script"), QString(),
                                                    scripts);
            case ScriptFileRole::SaveResults:
                break;
        }
        return QFileDialog::getSaveFileName(parent, QObject::tr("Save Results"), QString(),
                                            QObject::tr("JUnit XML (*.xml);;Text (*.txt)"));
    };
}
