#pragma once

#include "core/msr/MsrLibrary.h"

// The stripe reader over PC/SC: the PC/SC service offers no stripe readers, so opening
// answers SCARD_E_READER_UNSUPPORTED and no handle ever exists.
class PcscMsrLibrary : public MsrLibrary {
  public:
    std::uint32_t MsrOpen(const char* reader, std::uint32_t* handle) override;
    std::uint32_t MsrRead(std::uint32_t handle, MsrTrackRecord* tracks,
                          std::uint32_t flags) override;
    std::uint32_t MsrPoll(std::uint32_t handle, MsrTrackRecord* tracks) override;
    std::uint32_t MsrDisable(std::uint32_t handle) override;
    std::uint32_t MsrClose(std::uint32_t handle) override;
};
