#include "FaultFixture.h"

#include <QCoreApplication>

#include "gui/msr/MsrPage.h"
#include "support/TimerTick.h"

std::vector<std::string> FaultFixture::Log(const char* name) const {
    if (windows == nullptr) {
        return {};
    }
    const auto* log = windows->mainForm->findChild<ResponseLogEdit*>(QString::fromLatin1(name));
    return log != nullptr ? log->Lines() : std::vector<std::string>{};
}

std::string FaultFixture::ShownText(const char* name) const {
    if (windows == nullptr) {
        return {};
    }
    auto* log = windows->mainForm->findChild<ResponseLogEdit*>(QString::fromLatin1(name));
    if (log == nullptr) {
        return {};
    }
    // Only the log's own queued writes: a timer tick now would add lines of its own.
    QCoreApplication::sendPostedEvents(log, QEvent::MetaCall);
    return log->toPlainText().toLatin1().toStdString();
}

void FaultFixture::ShowPage(const char* sheet) {
    Find<QTabWidget>("PageCtrl")->setCurrentWidget(Find<QWidget>(sheet));
}

void FaultFixture::SetText(const char* edit, const char* text) {
    QLineEdit* field = windows->mainForm->findChild<QLineEdit*>(QString::fromLatin1(edit));
    if (field == nullptr) {
        field = windows->memDataDlg->findChild<QLineEdit*>(QString::fromLatin1(edit));
    }
    ASSERT_NE(field, nullptr) << edit;
    field->setText(QString::fromLatin1(text));
}

void FaultFixture::ConnectCard(SimCardKind kind) {
    card.InsertCard(0, kind);
    Click("ConnectBtn");
    ASSERT_TRUE(Session().CardConnected());
}

void FaultFixture::SendApdu(const char* cla, const char* ins, const char* p1, const char* p2,
                            const char* lc, const char* data, const char* le) {
    ShowPage("SCardSheet");
    const char* names[] = {"CLA", "INS", "P1", "P2", "Lc", "DATA", "Le"};
    const char* texts[] = {cla, ins, p1, p2, lc, data, le};
    for (int i = 0; i < 7; ++i) {
        SetText(names[i], texts[i]);
    }
    Click("SCardSend");
}

void FaultFixture::SendSamApdu(const char* cla, const char* ins, const char* p1, const char* p2,
                               const char* lc, const char* data, const char* le) {
    ShowPage("SAMSheet");
    const char* names[] = {"SAMCLA", "SAMINS", "SAMP1", "SAMP2", "SAMLc", "SAMData", "SAMLe"};
    const char* texts[] = {cla, ins, p1, p2, lc, data, le};
    for (int i = 0; i < 7; ++i) {
        SetText(names[i], texts[i]);
    }
    Click("BitBtnSAMSend");
}

void FaultFixture::RunMemOperation(const MemEntry& entry) {
    ShowPage(entry.sheet);
    Click(entry.button);
    ASSERT_TRUE(windows->memDataDlg->isVisible()) << entry.button;
    const std::pair<const char*, const char*> fields[] = {
        {"CommandEdit", entry.command},          {"DummyEdit", entry.dummy},
        {"AddrByteNumEdit", entry.addressBytes}, {"AddrEdit", entry.address},
        {"DataLenEdit", entry.length},           {"DataEdit", entry.data}};
    for (const auto& [name, text] : fields) {
        if (text != nullptr) {
            SetText(name, text);
        }
    }
    windows->memDataDlg->findChild<QPushButton*>(QStringLiteral("BitBtn1"))->click();
    ASSERT_FALSE(windows->memDataDlg->isVisible())
        << entry.button << ": the dialog refused its entries";
}

void FaultFixture::MsrTimerTick() {
    TickTimer(Find<QTimer>("MsrTimer"));
}
