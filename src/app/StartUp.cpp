#include "app/StartUp.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <exception>

#include "app/About.h"
#include "app/Platform.h"
#include "app/QenForm.h"
#include "core/session/ReaderSession.h"
#include "gui/CardStatusForm.h"
#include "gui/MessageBoxes.h"
#include "gui/SelectForm.h"
#include "gui/memcard/DataForm.h"
#include "gui/memcard/MemCardPages.h"

TMainForm* MainForm = nullptr;
TFrmAbout* FrmAbout = nullptr;
TSelectDlg* SelectDlg = nullptr;
TMemDataDlg* MemDataDlg = nullptr;
TCardStatusDlg* CardStatusDlg = nullptr;

namespace {

void CentreOnScreen(QWidget& window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.x() + (area.width() - window.width()) / 2,
                    area.y() + (area.height() - window.height()) / 2);
    }
}

// Centres the main window and `beside` together as one row on the screen.
void PlaceBeside(QWidget& mainWindow, QWidget& beside) {
    beside.adjustSize();
    constexpr int kGap = 8;
    int left = mainWindow.x();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        left =
            area.x() + std::max(0, (area.width() - mainWindow.width() - kGap - beside.width()) / 2);
    }
    mainWindow.move(left, mainWindow.y());
    beside.move(left + mainWindow.frameGeometry().width() + kGap, mainWindow.y());
    beside.show();
}

}  // namespace

ProgramWindows::~ProgramWindows() {
    CardStatusDlg = nullptr;
    MemDataDlg = nullptr;
    SelectDlg = nullptr;
    FrmAbout = nullptr;
    MainForm = nullptr;
    // The dialogs refer to the main window and its session: they go first.
    cardStatusDlg.reset();
    memDataDlg.reset();
    selectDlg.reset();
    frmAbout.reset();
    mainForm.reset();
}

std::unique_ptr<ProgramWindows> CreateWindows(const Platform& platform) {
    auto windows = std::make_unique<ProgramWindows>();
    windows->mainForm = std::make_unique<TMainForm>(platform);
    MainForm = windows->mainForm.get();
    windows->frmAbout = std::make_unique<TFrmAbout>();
    FrmAbout = windows->frmAbout.get();
    ReaderSession& session = MainForm->Session();
    windows->selectDlg = std::make_unique<TSelectDlg>(session, MainForm);
    SelectDlg = windows->selectDlg.get();
    windows->memDataDlg = std::make_unique<TMemDataDlg>(MainForm->MemoryCardPages(), session,
                                                        platform.boxes, MainForm);
    MemDataDlg = windows->memDataDlg.get();
    windows->cardStatusDlg = std::make_unique<TCardStatusDlg>();
    CardStatusDlg = windows->cardStatusDlg.get();
    MainForm->AttachWindows(FrmAbout, SelectDlg, MemDataDlg, CardStatusDlg);

    CentreOnScreen(*MainForm);
    MainForm->show();
    // With two or more readers the user chooses one before the main window can be used.
    if (session.ReaderCount >= 2) {
        CentreOnScreen(*SelectDlg);
        SelectDlg->show();
    } else {
        MainForm->setEnabled(true);
    }
    return windows;
}

int RunProgram(QApplication& app, const Platform& platform, QWidget* beside) {
    try {
        const std::unique_ptr<ProgramWindows> windows = CreateWindows(platform);
        if (beside != nullptr) {
            PlaceBeside(*MainForm, *beside);
        }
        return app.exec();
    } catch (const std::exception& error) {
        platform.boxes.ShowError(error.what());
    } catch (...) {
        platform.boxes.ShowError("Unknown error");
    }
    return 0;
}
