#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "app/QenForm.h"
#include "app/StartUp.h"
#include "gui/ResponseLogEdit.h"
#include "session/ReaderSession.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "support/RecordingMessageBoxes.h"

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
    void Tick() { windows->mainForm->ConnectTimerTimer(); }

    SimCardLibrary card;
    SimSamLibrary sam;
    SimMsrLibrary msr;
    RecordingMessageBoxes boxes;
    Platform platform{card, sam, msr, boxes};
    std::unique_ptr<ProgramWindows> windows;
};
