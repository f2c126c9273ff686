#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/memcard/DataForm.h"
#include "gui/memcard/MemCardPages.h"
#include "support/MockLibraries.h"
#include "support/RecordingMessageBoxes.h"
#include "support/SessionDriver.h"

// The five pages in a tab widget on a stand-in main window, and the Data Dialog beside it.
class MemCardWidgets : public ::testing::Test {
  protected:
    static constexpr std::uint32_t kCard = 0x0C4D;

    MemCardWidgets() {
        OpenSession(session, library, {"Reader A"}, 0, kCard, 16);
        tabs = new QTabWidget(&mainWindow);
        pages = std::make_unique<MemCardPages>(session, boxes, tabs);
        dialog = std::make_unique<TMemDataDlg>(*pages, session, boxes, &mainWindow);
        pages->AttachDataDialog(dialog.get());
        mainWindow.show();
    }

    template <typename T>
    T* Find(const QObject* parent, const char* name) {
        T* found = parent->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(dialog.get(), name); }
    QLabel* Label(const char* name) { return Find<QLabel>(dialog.get(), name); }
    QPushButton* DialogButton(const char* name) { return Find<QPushButton>(dialog.get(), name); }
    QPushButton* PageButton(const char* name) { return Find<QPushButton>(&mainWindow, name); }

    // Clicks the operation's button on its page.
    void Open(std::uint32_t code) { PageButton(FindMemOperation(code)->button)->click(); }
    // Replaces a field's text by typing, as a user selecting all and typing over it would.
    static void Retype(QLineEdit* edit, const char* text) {
        edit->selectAll();
        if (*text == '\0') {
            QTest::keyClick(edit, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(edit, QString::fromLatin1(text));
        }
    }
    void PressOk() { DialogButton("BitBtn1")->click(); }

    ::testing::NiceMock<MockCardLibrary> library;
    RecordingMessageBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session{library, cardLog};
    QWidget mainWindow;
    QTabWidget* tabs = nullptr;
    std::unique_ptr<MemCardPages> pages;
    std::unique_ptr<TMemDataDlg> dialog;
};
