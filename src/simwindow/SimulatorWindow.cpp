#include "simwindow/SimulatorWindow.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <memory>
#include <mutex>

#include "core/msr/MsrLibrary.h"
#include "sim/SimCardFactory.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimI2cCard.h"
#include "sim/SimMsrLibrary.h"
#include "sim/SimSamLibrary.h"
#include "sim/SimTestCard.h"
#include "simwindow/TestCardBox.h"

namespace {

constexpr int kRefusedConnects = 3;

struct TrackSample {
    const char* name;
    const char* track1;
    const char* track2;
    const char* track3;
};

// ISO 7811 test cards: track 1 alphanumeric, tracks 2 and 3 numeric.
constexpr TrackSample kTrackSamples[] = {
    {"Visa test card", "%B4111111111111111^DOE/JOHN^2912101000000000000000000000000?",
     ";4111111111111111=29121010000000000000?",
     ";011234567890123456=724724000000000000030300002010100000000000000000000000?"},
    {"Mastercard test card", "%B5555555555554444^SMITH/ANNA^3005201000000000000000000000000?",
     ";5555555555554444=30052010000000000000?", ""},
    {"Track 2 only", "", ";6011000990139424=27081010000000000000?", ""},
    {"Blank stripe", "", "", ""},
};

QString Named(const char* name, int reader) {
    return QString::fromLatin1(name) + QString::number(reader);
}

QPushButton* Button(const QString& caption, const char* name, int reader, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(Named(name, reader));
    return button;
}

// The controls of one simulated reader.
class ReaderPanel : public QWidget {
  public:
    ReaderPanel(int reader, SimCardLibrary& cards, SimSamLibrary& sam, SimMsrLibrary& msr,
                QWidget* parent)
        : QWidget(parent), reader_(reader), cards_(cards), sam_(sam), msr_(msr) {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(CreateCardBox());
        layout->addWidget(CreateTestCardBox());
        layout->addWidget(CreateTimingBox());
        layout->addWidget(CreateSamBox());
        layout->addWidget(CreateStripeBox());
        layout->addStretch();
        ShowCardStatus();
        ShowSamStatus();
    }

  private:
    QGroupBox* CreateCardBox() {
        auto* box = new QGroupBox(tr("Card"), this);
        kind_ = new QComboBox(box);
        kind_->setObjectName(Named("SimCardKind", reader_));
        for (SimCardKind kind : kAllSimCardKinds) {
            kind_->addItem(QString::fromLatin1(SimCardKindName(kind)), static_cast<int>(kind));
        }
        i2cChip_ = new QComboBox(box);
        i2cChip_->setObjectName(Named("SimI2cChip", reader_));
        for (const SimI2cChip& chip : kSimI2cChips) {
            i2cChip_->addItem(
                tr("%1 (%2 bytes)").arg(QString::fromLatin1(chip.name)).arg(chip.size));
        }
        i2cChip_->setCurrentIndex(static_cast<int>(&kSimI2cDefaultChip - kSimI2cChips));
        auto* insert = Button(tr("Insert"), "SimInsertCard", reader_, box);
        auto* remove = Button(tr("Remove"), "SimRemoveCard", reader_, box);
        auto* refuse = Button(tr("Refuse next 3 connects"), "SimRefuseConnects", reader_, box);
        cardStatus_ = new QLabel(box);
        cardStatus_->setObjectName(Named("SimCardStatus", reader_));

        auto* row = new QHBoxLayout;
        row->addWidget(kind_, 1);
        row->addWidget(i2cChip_);
        row->addWidget(insert);
        row->addWidget(remove);
        auto* layout = new QVBoxLayout(box);
        layout->addLayout(row);
        layout->addWidget(refuse);
        layout->addWidget(cardStatus_);

        connect(kind_, &QComboBox::currentIndexChanged, this, [this] { ShowI2cChoice(); });
        connect(insert, &QPushButton::clicked, this, [this] {
            std::lock_guard lock(cards_.SharedLock());
            const auto kind = static_cast<SimCardKind>(kind_->currentData().toInt());
            if (kind == SimCardKind::I2C) {
                cards_.InsertCard(
                    reader_, std::make_unique<SimI2cCard>(kSimI2cChips[i2cChip_->currentIndex()]));
            } else if (IsTestCard(kind)) {
                cards_.InsertCard(reader_,
                                  std::make_unique<SimTestCard>(kind, testCard_->Settings()));
            } else {
                cards_.InsertCard(reader_, kind);
            }
            ShowCardStatus();
        });
        ShowI2cChoice();
        connect(remove, &QPushButton::clicked, this, [this] {
            std::lock_guard lock(cards_.SharedLock());
            cards_.RemoveCard(reader_);
            ShowCardStatus();
        });
        connect(refuse, &QPushButton::clicked, this, [this] {
            std::lock_guard lock(cards_.SharedLock());
            cards_.RefuseNextConnects(kRefusedConnects);
        });
        return box;
    }

    static bool IsTestCard(SimCardKind kind) {
        return kind == SimCardKind::TestT0 || kind == SimCardKind::TestT1 ||
               kind == SimCardKind::TestBoth;
    }

    // The test card's settings go with the next one inserted, and at once to one inserted.
    TestCardBox* CreateTestCardBox() {
        testCard_ = new TestCardBox(reader_, this);
        connect(testCard_, &TestCardBox::Changed, this, [this] {
            std::lock_guard lock(cards_.SharedLock());
            if (auto* card = dynamic_cast<SimTestCard*>(cards_.CardIn(reader_))) {
                const SimTestCardSettings settings = testCard_->Settings();
                card->SetTimeUnit(settings.timeUnit);
                card->SetFaults(settings.faults);
            }
        });
        return testCard_;
    }

    // Latency (fixed plus random jitter) and failures of every N-th transmit.
    QGroupBox* CreateTimingBox() {
        auto* box = new QGroupBox(tr("Timing"), this);
        auto* layout = new QFormLayout(box);
        const SimTimingSettings now = cards_.ReaderTiming(reader_);
        auto spin = [&](const char* name, const QString& label, std::uint32_t value) {
            auto* spin = new QSpinBox(box);
            spin->setObjectName(Named(name, reader_));
            spin->setRange(0, 10'000'000);
            spin->setValue(static_cast<int>(value));
            layout->addRow(label, spin);
            connect(spin, &QSpinBox::valueChanged, this, [this] { ApplyTiming(); });
            return spin;
        };
        latency_ = spin("SimLatencySpin", tr("Latency (µs):"), now.latencyUs);
        jitter_ = spin("SimJitterSpin", tr("Jitter (µs):"), now.jitterUs);
        failEvery_ = spin("SimFailEverySpin", tr("Fail every N (0: never):"), now.failEvery);
        return box;
    }

    void ApplyTiming() {
        std::lock_guard lock(cards_.SharedLock());
        cards_.SetReaderTiming(reader_, {static_cast<std::uint32_t>(latency_->value()),
                                         static_cast<std::uint32_t>(jitter_->value()),
                                         static_cast<std::uint32_t>(failEvery_->value())});
    }

    QGroupBox* CreateSamBox() {
        auto* box = new QGroupBox(tr("SAM"), this);
        auto* insert = Button(tr("Insert"), "SimInsertSam", reader_, box);
        auto* remove = Button(tr("Remove"), "SimRemoveSam", reader_, box);
        samStatus_ = new QLabel(box);
        samStatus_->setObjectName(Named("SimSamStatus", reader_));
        auto* layout = new QHBoxLayout(box);
        layout->addWidget(samStatus_, 1);
        layout->addWidget(insert);
        layout->addWidget(remove);

        connect(insert, &QPushButton::clicked, this, [this] {
            sam_.InsertSam(reader_);
            ShowSamStatus();
        });
        connect(remove, &QPushButton::clicked, this, [this] {
            sam_.RemoveSam(reader_);
            ShowSamStatus();
        });
        return box;
    }

    QGroupBox* CreateStripeBox() {
        auto* box = new QGroupBox(tr("Magnetic stripe"), this);
        auto* samples = new QComboBox(box);
        samples->setObjectName(Named("SimTrackSample", reader_));
        samples->addItem(tr("Typed tracks"));
        for (const TrackSample& sample : kTrackSamples) {
            samples->addItem(QString::fromLatin1(sample.name));
        }
        auto* layout = new QFormLayout(box);
        layout->addRow(tr("Sample:"), samples);
        const char* names[] = {"SimTrack1Edit", "SimTrack2Edit", "SimTrack3Edit"};
        for (int t = 0; t < 3; ++t) {
            tracks_[t] = new QLineEdit(box);
            tracks_[t]->setObjectName(Named(names[t], reader_));
            tracks_[t]->setMaxLength(static_cast<int>(kMsrTrackCapacity));
            layout->addRow(tr("Track %1:").arg(t + 1), tracks_[t]);
        }
        auto* swipe = Button(tr("Swipe"), "SimSwipe", reader_, box);
        layout->addRow(QString(), swipe);

        connect(samples, &QComboBox::currentIndexChanged, this, [this](int index) {
            if (index < 1) {
                return;  // typed tracks stay as they are
            }
            const TrackSample& sample = kTrackSamples[index - 1];
            tracks_[0]->setText(QString::fromLatin1(sample.track1));
            tracks_[1]->setText(QString::fromLatin1(sample.track2));
            tracks_[2]->setText(QString::fromLatin1(sample.track3));
        });
        connect(swipe, &QPushButton::clicked, this, [this] {
            msr_.Swipe(reader_, tracks_[0]->text().toLatin1().toStdString(),
                       tracks_[1]->text().toLatin1().toStdString(),
                       tracks_[2]->text().toLatin1().toStdString());
        });
        return box;
    }

    // The EEPROM size is chosen with the card, and only for an I2C card.
    void ShowI2cChoice() {
        i2cChip_->setEnabled(static_cast<SimCardKind>(kind_->currentData().toInt()) ==
                             SimCardKind::I2C);
    }

    void ShowCardStatus() {
        std::lock_guard lock(cards_.SharedLock());
        const SimCard* card = cards_.CardIn(reader_);
        if (card == nullptr) {
            cardStatus_->setText(tr("No card"));
            return;
        }
        QString name = QString::fromLatin1(SimCardKindName(card->Kind()));
        if (const auto* i2c = dynamic_cast<const SimI2cCard*>(card)) {
            name += QLatin1Char(' ') + QString::fromLatin1(i2c->Chip().name);
        }
        cardStatus_->setText(tr("Inserted: %1").arg(name));
    }

    void ShowSamStatus() {
        samStatus_->setText(sam_.HasSam(reader_) ? tr("Inserted") : tr("No SAM"));
    }

    int reader_;
    SimCardLibrary& cards_;
    SimSamLibrary& sam_;
    SimMsrLibrary& msr_;
    QComboBox* kind_ = nullptr;
    QComboBox* i2cChip_ = nullptr;
    TestCardBox* testCard_ = nullptr;
    QLabel* cardStatus_ = nullptr;
    QLabel* samStatus_ = nullptr;
    QSpinBox* latency_ = nullptr;
    QSpinBox* jitter_ = nullptr;
    QSpinBox* failEvery_ = nullptr;
    QLineEdit* tracks_[3] = {};
};

}  // namespace

SimulatorWindow::SimulatorWindow(SimCardLibrary& cards, SimSamLibrary& sam, SimMsrLibrary& msr,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("SimulatorWindow"));
    setWindowTitle(tr("Simulated Reader"));
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("SimReaderTabs"));
    const std::vector<std::string>& readers = cards.Readers();
    for (std::size_t i = 0; i < readers.size(); ++i) {
        tabs->addTab(new ReaderPanel(static_cast<int>(i), cards, sam, msr, tabs),
                     QString::fromStdString(readers[i]));
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
}
