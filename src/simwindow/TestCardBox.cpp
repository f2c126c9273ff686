#include "simwindow/TestCardBox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

namespace {
constexpr int kLongestCommand = 65544;  // an extended case 4 with 65535 bytes of data
constexpr int kLongestUnitMs = 10'000;
}  // namespace

TestCardBox::TestCardBox(int reader, QWidget* parent)
    : QGroupBox(tr("Test card"), parent), reader_(reader) {
    const SimTestCardSettings defaults;
    auto* layout = new QGridLayout(this);
    timeUnitMs_ = Spin("SimTestTimeUnitSpin", kLongestUnitMs,
                       static_cast<int>(defaults.timeUnit.count() / 1000));
    layout->addWidget(new QLabel(tr("Time request unit (ms):"), this), 0, 0);
    layout->addWidget(timeUnitMs_, 0, 1);
    cut_ = Check(tr("Cut replies longer than"), "SimTestCutCheck");
    cutAbove_ = Spin("SimTestCutSpin", kLongestCommand, 254);
    layout->addWidget(cut_, 1, 0);
    layout->addWidget(cutAbove_, 1, 1);
    drop_ = Check(tr("Drop the last byte of commands longer than"), "SimTestDropCheck");
    dropAbove_ = Spin("SimTestDropSpin", kLongestCommand, 260);
    layout->addWidget(drop_, 2, 0);
    layout->addWidget(dropAbove_, 2, 1);
    rewriteLe_ = Check(tr("Rewrite Le to 00"), "SimTestRewriteLeCheck");
    noExtended_ = Check(tr("Refuse extended lengths"), "SimTestNoExtendedCheck");
    late_ = Check(tr("Answer time requests late"), "SimTestLateCheck");
    layout->addWidget(rewriteLe_, 3, 0, 1, 2);
    layout->addWidget(noExtended_, 4, 0, 1, 2);
    layout->addWidget(late_, 5, 0, 1, 2);
}

QCheckBox* TestCardBox::Check(const QString& caption, const char* name) {
    auto* check = new QCheckBox(caption, this);
    check->setObjectName(QString::fromLatin1(name) + QString::number(reader_));
    connect(check, &QCheckBox::toggled, this, &TestCardBox::Changed);
    return check;
}

QSpinBox* TestCardBox::Spin(const char* name, int maximum, int value) {
    auto* spin = new QSpinBox(this);
    spin->setObjectName(QString::fromLatin1(name) + QString::number(reader_));
    spin->setRange(0, maximum);
    spin->setValue(value);
    connect(spin, &QSpinBox::valueChanged, this, &TestCardBox::Changed);
    return spin;
}

SimTestCardSettings TestCardBox::Settings() const {
    SimTestCardSettings settings;
    settings.timeUnit = std::chrono::milliseconds(timeUnitMs_->value());
    SimTestCardFaults& faults = settings.faults;
    if (cut_->isChecked()) {
        faults.cutRepliesAbove = static_cast<std::uint32_t>(cutAbove_->value());
    }
    if (drop_->isChecked()) {
        faults.dropLastByteAbove = static_cast<std::uint32_t>(dropAbove_->value());
    }
    faults.rewriteLe = rewriteLe_->isChecked();
    faults.refuseExtended = noExtended_->isChecked();
    faults.lateTimeRequest = late_->isChecked();
    return settings;
}
