#pragma once

#include <gmock/gmock.h>

#include "core/msr/MsrLibrary.h"
#include "core/sam/SamLibrary.h"
#include "core/session/CardLibrary.h"

class MockCardLibrary : public CardLibrary {
  public:
    MOCK_METHOD(std::uint32_t, CardEstablishContext,
                (std::uint32_t, const void*, const void*, std::uint32_t*), (override));
    MOCK_METHOD(std::uint32_t, CardReleaseContext, (std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardListReaders, (std::uint32_t, const char*, char*, std::uint32_t*),
                (override));
    MOCK_METHOD(std::uint32_t, CardGetStatusChange,
                (std::uint32_t, std::uint32_t, ReaderState*, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardConnect,
                (std::uint32_t, const char*, std::uint32_t, std::uint32_t, std::uint32_t*,
                 std::uint32_t*),
                (override));
    MOCK_METHOD(std::uint32_t, CardDisconnect, (std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardReconnect,
                (std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t*),
                (override));
    MOCK_METHOD(std::uint32_t, CardTransmit,
                (std::uint32_t, const IoRequest*, const std::uint8_t*, std::uint32_t, IoRequest*,
                 std::uint8_t*, std::uint32_t*),
                (override));
    MOCK_METHOD(std::uint32_t, CardReaderType, (std::uint32_t, std::uint8_t*, std::uint32_t*),
                (override));
    MOCK_METHOD(std::uint32_t, CardSLE4442ReadMain,
                (std::uint32_t, std::uint8_t*, std::uint32_t, std::uint32_t*), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4442WriteMain,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4442ReadProtect, (std::uint32_t, std::uint8_t*), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4442WriteProtect,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4442ReadSecurity, (std::uint32_t, std::uint8_t*), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4442WriteSecurity,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4442Verify,
                (std::uint32_t, std::uint8_t, std::uint8_t, std::uint8_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4428WriteWithProtectBit,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4428WriteMain,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4428WriteProtectBit,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4428ReadWithProtectBit,
                (std::uint32_t, std::uint8_t*, std::uint8_t*, std::uint32_t, std::uint32_t*),
                (override));
    MOCK_METHOD(std::uint32_t, CardSLE4428ReadMain,
                (std::uint32_t, std::uint8_t*, std::uint32_t, std::uint32_t*), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4428VerifyPSC, (std::uint32_t, std::uint8_t, std::uint8_t),
                (override));
    MOCK_METHOD(std::uint32_t, CardSLE4404ReadMemory,
                (std::uint32_t, std::uint8_t*, std::uint32_t, std::uint32_t*), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4404ReadUserMemory,
                (std::uint32_t, std::uint8_t*, std::uint32_t, std::uint32_t*), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4404VerifyUserCode,
                (std::uint32_t, std::uint8_t, std::uint8_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4404VerifyMemoryCode,
                (std::uint32_t, std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t),
                (override));
    MOCK_METHOD(std::uint32_t, CardSLE4404EraseMemory,
                (std::uint32_t, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4404WriteMemory,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4404WriteUserMemory,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4436ReadMemory,
                (std::uint32_t, std::uint8_t*, std::uint32_t, std::uint32_t*), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4436ReadCounterStages, (std::uint32_t, std::uint8_t*),
                (override));
    MOCK_METHOD(std::uint32_t, CardSLE4436WriteMemory,
                (std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4436WriteCounterStage,
                (std::uint32_t, std::uint8_t, std::uint8_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4436Reload, (std::uint32_t, std::uint8_t), (override));
    MOCK_METHOD(std::uint32_t, CardSLE4436VerifyTransportCode,
                (std::uint32_t, std::uint8_t, std::uint8_t, std::uint8_t), (override));
    MOCK_METHOD(std::uint32_t, CardI2CReadMemory,
                (std::uint32_t, std::uint8_t, std::uint32_t, std::uint8_t*, std::uint32_t*,
                 std::uint8_t, std::uint8_t),
                (override));
    MOCK_METHOD(std::uint32_t, CardI2CWriteMemory,
                (std::uint32_t, std::uint8_t, std::uint32_t, const std::uint8_t*, std::uint32_t,
                 std::uint8_t),
                (override));
};

class MockSamLibrary : public SamLibrary {
  public:
    MOCK_METHOD(std::uint32_t, SamConnect,
                (const char*, std::uint32_t, std::uint32_t, std::uint32_t*, std::uint32_t*),
                (override));
    MOCK_METHOD(std::uint32_t, SamDisconnect, (std::uint32_t, std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, SamTransmit,
                (std::uint32_t, const IoRequest*, const std::uint8_t*, std::uint32_t, IoRequest*,
                 std::uint8_t*, std::uint32_t*),
                (override));
};

class MockMsrLibrary : public MsrLibrary {
  public:
    MOCK_METHOD(std::uint32_t, MsrOpen, (const char*, std::uint32_t*), (override));
    MOCK_METHOD(std::uint32_t, MsrRead, (std::uint32_t, MsrTrackRecord*, std::uint32_t),
                (override));
    MOCK_METHOD(std::uint32_t, MsrPoll, (std::uint32_t, MsrTrackRecord*), (override));
    MOCK_METHOD(std::uint32_t, MsrDisable, (std::uint32_t), (override));
    MOCK_METHOD(std::uint32_t, MsrClose, (std::uint32_t), (override));
};
