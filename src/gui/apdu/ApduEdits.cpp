#include "gui/apdu/ApduEdits.h"

#include <QFontDatabase>
#include <QLineEdit>

QLineEdit* CreateApduEdit(const QString& objectName, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return edit;
}

ApduTexts ReadApduTexts(const std::vector<QLineEdit*>& edits) {
    const auto text = [&edits](ApduField field) {
        return edits.at(field)->text().toLatin1().toStdString();
    };
    return {text(FieldCla), text(FieldIns),  text(FieldP1), text(FieldP2),
            text(FieldLc),  text(FieldData), text(FieldLe)};
}
