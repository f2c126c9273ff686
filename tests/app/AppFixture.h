#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "core/session/ReaderSession.h"
#include "gui/ResponseLogEdit.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "support/RecordingMessageBoxes.h"
#include "support/TestAtrList.h"
#include "support/TimerTick.h"

// The whole program on the simulated reader, built by the real start-up sequence.
class AppTest : public ::testing::Test {
  protected:
    explicit AppTest(std::vector<std::string> readers = {"Sim Reader 00 00"})
        : card(std::move(readers)), sam(card), msr(card) {}

    void Start() {
        windows = CreateWindows(platform);
        boxes.Watch([this] { return Log("ScardRespon").size(); });
    }

    void TearDown() override { windows.reset(); }

    template <typename T>
    T* Find(const char* name) {
        T* found = windows->mainForm->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    std::vector<std::string> Log(const char* name) { return Find<ResponseLogEdit>(name)->Lines(); }
    ReaderSession& Session() { return windows->mainForm->Session(); }
    QTimer* ConnectTimer() { return Find<QTimer>("ConnectTimer"); }
    QAction* AutoConnect() { return Find<QAction>("AutoConnect"); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    QString CurrentPage() { return Find<QTabWidget>("PageCtrl")->currentWidget()->objectName(); }
    void Tick() { TickTimer(ConnectTimer()); }

    // The main window active on `page`.
    void ShowPage(const char* page) {
        Find<QTabWidget>("PageCtrl")->setCurrentWidget(Find<QWidget>(page));
        windows->mainForm->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(windows->mainForm.get()));
    }
    // A key as the platform delivers it: to the active window, which hands it to its focus.
    static void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::activeWindow()->windowHandle(), static_cast<Qt::Key>(key),
                        modifiers);
    }
    static QString Focused() {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }

    SimCardLibrary card;
    SimSamLibrary sam;
    SimMsrLibrary msr;
    RecordingMessageBoxes boxes;
    TestAtrList atrList;
    Platform platform{card, sam, msr, boxes, atrList.Path()};
    std::unique_ptr<ProgramWindows> windows;
};
