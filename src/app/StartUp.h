#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <memory>

class QApplication;
class QWidget;
class TCardStatusDlg;
class TFrmAbout;
class TMainForm;
class TMemDataDlg;
class TSelectDlg;
struct Platform;

// The five windows, one instance each, reachable through these pointers while they live.
extern TMainForm* MainForm;
extern TFrmAbout* FrmAbout;
extern TSelectDlg* SelectDlg;
extern TMemDataDlg* MemDataDlg;
extern TCardStatusDlg* CardStatusDlg;

// Owns the five windows; the secondary windows have no parent, so that disabling the main
// window does not disable them. Destroying it clears the instance pointers.
class ProgramWindows {
  public:
    ~ProgramWindows();

    std::unique_ptr<TMainForm> mainForm;
    std::unique_ptr<TFrmAbout> frmAbout;
    std::unique_ptr<TSelectDlg> selectDlg;
    std::unique_ptr<TMemDataDlg> memDataDlg;
    std::unique_ptr<TCardStatusDlg> cardStatusDlg;
};

// The start-up sequence: creates the windows in their order, opens the reader session and
// shows the main window (and the selection dialog when two or more readers are attached).
std::unique_ptr<ProgramWindows> CreateWindows(const Platform& platform);

// Where the main window and a window shown beside it go on the screen's `area`, both at
// `top`: side by side, centred as one row, where the row fits across the area; otherwise
// the other window overlaps the main window, inside the area.
struct BesidePlacement {
    QPoint main;
    QPoint beside;
};
BesidePlacement PlaceBesideOn(const QRect& area, const QSize& main, const QSize& beside, int top);

// Creates the windows, shows `beside` (if any) next to the main window and runs the
// message loop until the program ends.
int RunProgram(QApplication& app, const Platform& platform, QWidget* beside = nullptr);
