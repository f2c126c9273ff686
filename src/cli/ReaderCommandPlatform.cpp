#include "cli/ReaderCommandPlatform.h"

#include "pcsc/PcscCardLibrary.h"
#include "pcsc/PcscReaderControl.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimReaderControl.h"

namespace {

class PcscPlatform : public ReaderCommandPlatform {
  public:
    CardLibrary& Cards() override { return cards_; }
    ReaderControlFactory& Controls() override { return controls_; }

  private:
    PcscCardLibrary cards_;
    PcscReaderControlFactory controls_;
};

class SimPlatform : public ReaderCommandPlatform {
  public:
    CardLibrary& Cards() override { return cards_; }
    ReaderControlFactory& Controls() override { return controls_; }

  private:
    SimCardLibrary cards_;
    SimReaderControlFactory controls_{cards_};
};

}  // namespace

std::unique_ptr<ReaderCommandPlatform> MakeReaderCommandPlatform(bool simulated) {
    if (simulated) {
        return std::make_unique<SimPlatform>();
    }
    return std::make_unique<PcscPlatform>();
}
