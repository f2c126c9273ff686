#include "app/QtMessageBoxes.h"

#include "app/ProgramTitle.h"

#include <QMessageBox>

namespace {

int ShowBox(QMessageBox::Icon icon, const QString& caption, const std::string& text,
            QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
    QMessageBox box(icon, caption,
                    QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), buttons);
    return box.exec();
}

}  // namespace

// No caption of the program's own: the platform's default title.
void QtMessageBoxes::ShowError(const std::string& text) {
    ShowBox(QMessageBox::Critical, QString(), text);
}

void QtMessageBoxes::ShowInfo(const std::string& text) {
    ShowBox(QMessageBox::Information, QString::fromLatin1(ProgramTitle), text);
}

bool QtMessageBoxes::AskYesNo(const std::string& text) {
    return ShowBox(QMessageBox::Question, QString::fromLatin1(ProgramTitle), text,
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
