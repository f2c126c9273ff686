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

constexpr int kBesideGap = 8;

void CentreOnScreen(QWidget& window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.x() + (area.width() - window.width()) / 2,
                    area.y() + (area.height() - window.height()) / 2);
    }
}

void PlaceBeside(QWidget& mainWindow, QWidget& beside) {
    beside.adjustSize();
    const QSize main = mainWindow.frameGeometry().size();
    const QSize other = beside.frameGeometry().size();
    // Without a screen the row starts where the main window is.
    QRect area(mainWindow.pos(), QSize(main.width() + kBesideGap + other.width(), main.height()));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    const BesidePlacement place = PlaceBesideOn(area, main, other, mainWindow.y());
    mainWindow.move(place.main);
    beside.move(place.beside);
    beside.show();
}

}  // namespace

BesidePlacement PlaceBesideOn(const QRect& area, const QSize& main, const QSize& beside, int top) {
    const int row = main.width() + kBesideGap + beside.width();
    if (row <= area.width()) {
        const int left = area.x() + (area.width() - row) / 2;
        return {QPoint(left, top), QPoint(left + main.width() + kBesideGap, top)};
    }
    // No room side by side: the window overlaps the main window's right-hand part, and
    // stays on the screen.
    const int mainLeft = area.x() + std::max(0, (area.width() - main.width()) / 2);
    const int rightmost = std::max(area.x(), area.x() + area.width() - beside.width());
    const int besideLeft =
        std::clamp(mainLeft + main.width() - beside.width(), area.x(), rightmost);
    return {QPoint(mainLeft, top), QPoint(besideLeft, top)};
}

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
    if (session.ReaderCount() >= 2) {
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
