#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/contactless/CardFacts.h"
#include "core/contactless/ClassicCard.h"
#include "core/contactless/KeyList.h"
#include "core/contactless/ReaderProbe.h"
#include "core/contactless/Type2Tag.h"
#include "core/session/CardLibraryFactory.h"
#include "gui/contactless/ContactlessWorker.h"

class MessageBoxes;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;
class ResponseLogEdit;

// Asks for a file: the caption and the name filter; an empty answer is a cancel.
using ContactlessFileChooser =
    std::function<QString(const QString& caption, const QString& filter)>;

// "Contactless": the card in one reader seen through the reader's contactless commands.
// It shows the card's UID, ATS, SAK, ATQA and name, reads a MIFARE Classic card sector by
// sector with the key list, an Ultralight or NTAG tag page by page with its NDEF message,
// writes blocks, values, trailers and pages, saves and loads dumps, and probes how the
// reader speaks these commands. Every exchange runs on the worker and is logged in the
// window's own log.
class ContactlessWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLogRefreshMs = 250;

    ContactlessWindow(CardLibraryFactory libraries, MessageBoxes& boxes, QWidget* parent = nullptr);
    ~ContactlessWindow() override;

    void SetReader(const QString& reader);
    void SetSaveFileChooser(ContactlessFileChooser chooser) { chooseSave_ = std::move(chooser); }
    void SetOpenFileChooser(ContactlessFileChooser chooser) { chooseOpen_ = std::move(chooser); }

  public slots:
    void ReadCardBtnClick();
    void KeyFileBtnClick();
    void ProbeBtnClick();
    void SaveProbeBtnClick();
    void WriteBlockBtnClick();
    void StoreValueBtnClick();
    void IncrementBtnClick();
    void DecrementBtnClick();
    void WriteTrailerBtnClick();
    void WritePageBtnClick();
    void SaveDumpBtnClick();
    void LoadDumpBtnClick();
    void WriteDumpBtnClick();
    void LogTimerTimer();

  private:
    void CreateWidgets();
    void ConnectWidgets();
    QWidget* CreateCardBox();
    QWidget* CreateClassicPage();
    QWidget* CreatePagesPage();
    QWidget* CreateProbePage();
    void SetBusy(bool busy);
    // Runs `job` on the worker; `then` runs on this thread when it reached the card.
    void RunJob(ContactlessWorker::Job job, std::function<void()> then);

    void ShowFacts();
    void ShowKeys();
    void ShowClassic();
    void ShowSector(int sector);
    void ShowTag();
    // The block spin's block, its sector's opening key and the layout, or an error box.
    struct BlockTarget {
        ClassicLayout layout;
        int block;
        KeyCandidate key;
    };
    std::optional<BlockTarget> ChosenBlock();
    std::optional<KeyCandidate> KeyForSector(int sector) const;
    // Changes one block on the card, reads it back into the image, or shows why it failed.
    void ChangeBlock(const BlockTarget& target, const QString& what,
                     std::function<CardStep(ClassicCard& card)> change);
    void ChangeValue(ValueOp op);

    std::unique_ptr<ContactlessWorker> worker_;
    std::atomic<bool> stop_ = false;  // ends a read under way when the window goes
    MessageBoxes& boxes_;
    ContactlessFileChooser chooseSave_;
    ContactlessFileChooser chooseOpen_;
    QString reader_;

    KeyFile keys_;
    ReaderDialect dialect_;
    std::optional<CardFacts> facts_;
    std::optional<ClassicImage> classic_;                // as read, or as loaded from a dump
    std::vector<std::optional<KeyCandidate>> readKeys_;  // the keys of the last card read
    std::optional<TagImage> tag_;
    std::optional<ProbeReport> lastProbe_;

    QLabel* readerLabel_ = nullptr;
    QLabel* uid_ = nullptr;
    QLabel* ats_ = nullptr;
    QLabel* sak_ = nullptr;
    QLabel* atqa_ = nullptr;
    QLabel* cardName_ = nullptr;
    QLabel* layout_ = nullptr;
    QPushButton* readCard_ = nullptr;
    QPushButton* keyFile_ = nullptr;
    QPushButton* probe_ = nullptr;
    QPushButton* saveDump_ = nullptr;
    QPushButton* loadDump_ = nullptr;
    QPushButton* writeDump_ = nullptr;
    QListWidget* keyList_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QTableWidget* sectorGrid_ = nullptr;
    QTableWidget* blockTable_ = nullptr;
    QTableWidget* accessTable_ = nullptr;
    QLabel* accessCheck_ = nullptr;
    QSpinBox* block_ = nullptr;
    QLineEdit* blockData_ = nullptr;
    QPushButton* writeBlock_ = nullptr;
    QLineEdit* value_ = nullptr;
    QPushButton* storeValue_ = nullptr;
    QPushButton* increment_ = nullptr;
    QPushButton* decrement_ = nullptr;
    QLineEdit* keyA_ = nullptr;
    QLineEdit* accessBits_ = nullptr;
    QLineEdit* keyB_ = nullptr;
    QPushButton* writeTrailer_ = nullptr;
    QTableWidget* pageTable_ = nullptr;
    QTableWidget* ndefTable_ = nullptr;
    QSpinBox* page_ = nullptr;
    QLineEdit* pageData_ = nullptr;
    QPushButton* writePage_ = nullptr;
    QPlainTextEdit* probeReport_ = nullptr;
    QPushButton* saveProbe_ = nullptr;
    ResponseLogEdit* log_ = nullptr;
    QTimer* logTimer_ = nullptr;
};
