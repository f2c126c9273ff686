#include "app/QtMessageBoxes.h"

#include "app/ProgramTitle.h"

#include <QMessageBox>

namespace {

void ShowBox(QMessageBox::Icon icon, const QString& caption, const std::string& text) {
    QMessageBox box(icon, caption,
                    QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok);
    box.exec();
}

}  // namespace

// No caption of the program's own: the platform's default title.
void QtMessageBoxes::ShowError(const std::string& text) {
    ShowBox(QMessageBox::Critical, QString(), text);
}

void QtMessageBoxes::ShowInfo(const std::string& text) {
    ShowBox(QMessageBox::Information, QString::fromLatin1(ProgramTitle), text);
}
