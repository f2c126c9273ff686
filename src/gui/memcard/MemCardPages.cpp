#include "gui/memcard/MemCardPages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/Mnemonics.h"
#include "gui/ResponseLogEdit.h"
#include "gui/memcard/DataForm.h"
#include "insight/InsightText.h"

namespace {

struct PageLayout {
    MemPage page;
    const char* sheet;
    const char* caption;
    const char* log;
    const char* clear;
    const char* clearCaption;
    void (MemCardPages::*clearClick)();
};

constexpr std::array<PageLayout, kMemPageCount> kPages{{
    {MemPage::SLE4442, "SLE4442Sheet", "SLE4432/4442", "SLE4442Respon", "SLE4442Clear", "&Clear",
     &MemCardPages::SLE4442ClearClick},
    {MemPage::SLE4428, "SLE4428Sheet", "SLE4418/4428", "SLE4428Respon", "SLE4428Clear", "&Clear",
     &MemCardPages::SLE4428ClearClick},
    {MemPage::SLE4404, "SLE4404", "SLE4404", "SLE4404Respon", "SLE4404Clear", "Clear",
     &MemCardPages::SLE4404ClearClick},
    {MemPage::SLE4436, "SLE4436Sheet", "SLE4406/4436/5536", "SLE4436Respon", "SLE4436Clear",
     "Clear", &MemCardPages::SLE4436ClearClick},
    {MemPage::I2C, "I2CSheet", "I2C", "I2CRespon", "I2CClear", "Clear",
     &MemCardPages::I2CClearClick},
}};

struct OperationButton {
    std::uint32_t code;
    void (MemCardPages::*click)();
};

// Every page's buttons, left to right, page after page.
constexpr std::array<OperationButton, 28> kButtons{{
    {1, &MemCardPages::SLE4442ReadMClick},    {4, &MemCardPages::SLE4442WriteMClick},
    {2, &MemCardPages::SLE4442ReadPClick},    {5, &MemCardPages::SLE4442WritePClick},
    {3, &MemCardPages::SLE4442ReadSClick},    {6, &MemCardPages::SLE4442WriteSClick},
    {7, &MemCardPages::SLE4442VerifyClick},   {8, &MemCardPages::SLE4428ReadMClick},
    {9, &MemCardPages::SLE4428ReadPClick},    {10, &MemCardPages::SLE4428WriteMClick},
    {11, &MemCardPages::SLE4428WritePClick},  {12, &MemCardPages::SLE4428WritePBClick},
    {13, &MemCardPages::SLE4428PSCClick},     {14, &MemCardPages::SLE4404ReadMClick},
    {15, &MemCardPages::SLE4404ReadUClick},   {16, &MemCardPages::SLE4404WriteMClick},
    {17, &MemCardPages::SLE4404WriteUClick},  {18, &MemCardPages::SLE4404EraseMClick},
    {19, &MemCardPages::SLE4404VerifyUClick}, {20, &MemCardPages::SLE4404VerifyMClick},
    {21, &MemCardPages::SLE4436ReadMClick},   {22, &MemCardPages::SLE4436ReadCClick},
    {23, &MemCardPages::SLE4436WriteMClick},  {24, &MemCardPages::SLE4436WriteCClick},
    {25, &MemCardPages::SLE4436ReloadClick},  {26, &MemCardPages::SLE4436VerifyClick},
    {28, &MemCardPages::I2CReadMClick},       {29, &MemCardPages::I2CWriteMClick},
}};

}  // namespace

MemCardPages::MemCardPages(ReaderSession& session, MessageBoxes& boxes, QTabWidget* pageCtrl,
                           QObject* parent)
    : QObject(parent), session_(session), boxes_(boxes), pageCtrl_(pageCtrl) {
    for (const PageLayout& layout : kPages) {
        CreatePage(layout.page);
    }
}

void MemCardPages::CreatePage(MemPage page) {
    const PageLayout& layout = kPages[static_cast<std::size_t>(page)];
    auto* sheet = new QWidget;
    sheet->setObjectName(QString::fromLatin1(layout.sheet));
    pageCtrl_->addTab(sheet, QString::fromLatin1(layout.caption));

    auto* column = new QVBoxLayout(sheet);
    auto* buttonRow = new QHBoxLayout;
    column->addLayout(buttonRow);
    std::vector<QWidget*> tabOrder;
    for (const OperationButton& button : kButtons) {
        const MemOperationEntry* entry = FindMemOperation(button.code);
        if (entry->page != page) {
            continue;
        }
        auto* control = new QPushButton(QString::fromLatin1(entry->caption), sheet);
        control->setObjectName(QString::fromLatin1(entry->button));
        SetHint(control, QString::fromLatin1(entry->hint));
        connect(control, &QPushButton::clicked, this, button.click);
        buttonRow->addWidget(control);
        tabOrder.push_back(control);
    }
    buttonRow->addStretch();

    auto* label = new QLabel(QStringLiteral("Response :"), sheet);
    label->setObjectName(QString::fromLatin1(layout.log) + QStringLiteral("Label"));
    column->addWidget(label);
    ResponseLogModel& model = logModels_[static_cast<std::size_t>(page)];
    auto* log = new ResponseLogEdit(QString::fromLatin1(layout.log), model, sheet);
    log->setAccessibleName(QString::fromLatin1(layout.caption) + QStringLiteral(" response"));
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    column->addWidget(log, 1);
    logs_.pages[static_cast<std::size_t>(page)] = &model;
    tabOrder.push_back(log);

    auto* clear = new QPushButton(QString::fromLatin1(layout.clearCaption), sheet);
    clear->setObjectName(QString::fromLatin1(layout.clear));
    connect(clear, &QPushButton::clicked, this, layout.clearClick);
    auto* clearRow = new QHBoxLayout;
    clearRow->addStretch();
    clearRow->addWidget(clear);
    column->addLayout(clearRow);
    tabOrder.push_back(clear);

    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
}

void MemCardPages::OpenOperation(std::uint32_t code) {
    const MemOperationEntry* entry = FindMemOperation(code);
    if (entry == nullptr || dialog_ == nullptr) {
        return;
    }
    params_.MemOpCode = code;
    dialog_->setWindowTitle(QString::fromLatin1(entry->dialogTitle));
    if (entry->dataLabel != nullptr) {
        dialog_->SetDataLabel(QString::fromLatin1(entry->dataLabel));
    }
    dialog_->ResetFields();
    dialog_->ApplyOperationRanges();
    dialog_->SetDialogMode(entry->mode);
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    pageCtrl_->window()->setEnabled(false);
}

void MemCardPages::RunMemOperation() {
    if (const auto code = ::RunMemOperation(params_, session_, boxes_, logs_)) {
        emit ExchangeStatus(MemoryResultText(*code));
    }
}

void MemCardPages::ClearLog(MemPage page) {
    logs_.Of(page).ClearLog();
}

void MemCardPages::SLE4442ReadMClick() {
    OpenOperation(1);
}
void MemCardPages::SLE4442ReadPClick() {
    OpenOperation(2);
}
void MemCardPages::SLE4442ReadSClick() {
    OpenOperation(3);
}
void MemCardPages::SLE4442WriteMClick() {
    OpenOperation(4);
}
void MemCardPages::SLE4442WritePClick() {
    OpenOperation(5);
}
void MemCardPages::SLE4442WriteSClick() {
    OpenOperation(6);
}
void MemCardPages::SLE4442VerifyClick() {
    OpenOperation(7);
}
void MemCardPages::SLE4428ReadMClick() {
    OpenOperation(8);
}
void MemCardPages::SLE4428ReadPClick() {
    OpenOperation(9);
}
void MemCardPages::SLE4428WriteMClick() {
    OpenOperation(10);
}
void MemCardPages::SLE4428WritePClick() {
    OpenOperation(11);
}
void MemCardPages::SLE4428WritePBClick() {
    OpenOperation(12);
}
void MemCardPages::SLE4428PSCClick() {
    OpenOperation(13);
}
void MemCardPages::SLE4404ReadMClick() {
    OpenOperation(14);
}
void MemCardPages::SLE4404ReadUClick() {
    OpenOperation(15);
}
void MemCardPages::SLE4404WriteMClick() {
    OpenOperation(16);
}
void MemCardPages::SLE4404WriteUClick() {
    OpenOperation(17);
}
void MemCardPages::SLE4404EraseMClick() {
    OpenOperation(18);
}
void MemCardPages::SLE4404VerifyUClick() {
    OpenOperation(19);
}
void MemCardPages::SLE4404VerifyMClick() {
    OpenOperation(20);
}
void MemCardPages::SLE4436ReadMClick() {
    OpenOperation(21);
}
void MemCardPages::SLE4436ReadCClick() {
    OpenOperation(22);
}
void MemCardPages::SLE4436WriteMClick() {
    OpenOperation(23);
}
void MemCardPages::SLE4436WriteCClick() {
    OpenOperation(24);
}
void MemCardPages::SLE4436ReloadClick() {
    OpenOperation(25);
}
void MemCardPages::SLE4436VerifyClick() {
    OpenOperation(26);
}
void MemCardPages::I2CReadMClick() {
    OpenOperation(28);
}
void MemCardPages::I2CWriteMClick() {
    OpenOperation(29);
}
void MemCardPages::SLE4442ClearClick() {
    ClearLog(MemPage::SLE4442);
}
void MemCardPages::SLE4428ClearClick() {
    ClearLog(MemPage::SLE4428);
}
void MemCardPages::SLE4404ClearClick() {
    ClearLog(MemPage::SLE4404);
}
void MemCardPages::SLE4436ClearClick() {
    ClearLog(MemPage::SLE4436);
}
void MemCardPages::I2CClearClick() {
    ClearLog(MemPage::I2C);
}
