#pragma once

#include <QString>
#include <vector>

#include "core/apdu/ApduFields.h"

class QLineEdit;
class QWidget;

// An APDU field: a single-line edit in the fixed-pitch font.
QLineEdit* CreateApduEdit(const QString& objectName, QWidget* parent);

// The texts of the seven fields given in command order, as 8-bit text.
ApduTexts ReadApduTexts(const std::vector<QLineEdit*>& edits);
