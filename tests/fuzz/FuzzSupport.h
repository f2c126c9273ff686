#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "core/session/CardLibrary.h"
#include "gui/MessageBoxes.h"

// Stops the run with the failed condition: libFuzzer then saves the input as a finding.
#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #condition, __FILE__, \
                         __LINE__);                                                       \
            std::abort();                                                                 \
        }                                                                                 \
    } while (false)

// Reads a fuzz input from its front: little-endian integers, byte runs and lines. Reading
// past the end gives zeros and empty runs, so every input is a complete one.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return offset_ == size_; }
    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    // At most `count` bytes, fewer at the end of the input.
    std::span<const std::uint8_t> Bytes(std::size_t count);
    std::span<const std::uint8_t> Rest() { return Bytes(size_ - offset_); }
    // The text up to the next newline (which is consumed) or the end of the input.
    std::string Line();

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

// Records the boxes and how many lines the watched log held when each appeared.
class FuzzBoxes : public MessageBoxes {
  public:
    struct Box {
        std::string text;
        std::size_t logLines;
    };

    void ShowError(const std::string& text) override { boxes.push_back({text, LogLines()}); }
    void ShowInfo(const std::string& text) override { boxes.push_back({text, LogLines()}); }

    const std::vector<std::string>* watched = nullptr;
    std::vector<Box> boxes;

  private:
    std::size_t LogLines() const { return watched != nullptr ? watched->size() : 0; }
};

// A card library whose every operation answers `code`. Reads fill the buffer they are
// given (within the length the caller passed) from `fill`, cycling through it, and then
// report `deliveredLength` as their out length, whatever was asked. The reader list is
// `fill` as it is, its length query answering `deliveredLength`. Writes read every
// byte they are told the data holds, so that a data pointer shorter than its length is
// caught by the address checker.
class FuzzCardLibrary : public CardLibrary {
  public:
    std::uint32_t code = 0;
    std::uint32_t deliveredLength = 0;
    std::vector<std::uint8_t> fill;

    int calls = 0;
    std::uint32_t lastCard = 0;
    std::vector<std::uint8_t> received;  // the data or code bytes of the last write or verify

    std::uint32_t CardEstablishContext(std::uint32_t, const void*, const void*,
                                       std::uint32_t* context) override;
    std::uint32_t CardReleaseContext(std::uint32_t) override { return Answer(0); }
    std::uint32_t CardListReaders(std::uint32_t, const char*, char* readers,
                                  std::uint32_t* length) override;
    std::uint32_t CardGetStatusChange(std::uint32_t, std::uint32_t, ReaderState*,
                                      std::uint32_t) override {
        return Answer(0);
    }
    std::uint32_t CardConnect(std::uint32_t, const char*, std::uint32_t, std::uint32_t,
                              std::uint32_t*, std::uint32_t*) override {
        return Answer(0);
    }
    std::uint32_t CardDisconnect(std::uint32_t card, std::uint32_t) override {
        return Answer(card);
    }
    std::uint32_t CardReconnect(std::uint32_t card, std::uint32_t, std::uint32_t, std::uint32_t,
                                std::uint32_t*) override {
        return Answer(card);
    }
    std::uint32_t CardTransmit(std::uint32_t card, const IoRequest*, const std::uint8_t* send,
                               std::uint32_t sendLength, IoRequest*, std::uint8_t* recv,
                               std::uint32_t* recvLength) override;
    std::uint32_t CardReaderType(std::uint32_t card, std::uint8_t* buffer,
                                 std::uint32_t* length) override {
        return Read(card, buffer, length);
    }

    std::uint32_t CardSLE4442ReadMain(std::uint32_t card, std::uint8_t* buffer, std::uint32_t,
                                      std::uint32_t* length) override {
        return Read(card, buffer, length);
    }
    std::uint32_t CardSLE4442WriteMain(std::uint32_t card, const std::uint8_t* data, std::uint32_t,
                                       std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4442ReadProtect(std::uint32_t card, std::uint8_t* buffer4) override {
        return Fixed(card, buffer4, 4);
    }
    std::uint32_t CardSLE4442WriteProtect(std::uint32_t card, const std::uint8_t* data,
                                          std::uint32_t, std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4442ReadSecurity(std::uint32_t card, std::uint8_t* buffer4) override {
        return Fixed(card, buffer4, 4);
    }
    std::uint32_t CardSLE4442WriteSecurity(std::uint32_t card, const std::uint8_t* data,
                                           std::uint32_t, std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4442Verify(std::uint32_t card, std::uint8_t c1, std::uint8_t c2,
                                    std::uint8_t c3) override {
        return Codes(card, {c1, c2, c3});
    }
    std::uint32_t CardSLE4428WriteWithProtectBit(std::uint32_t card, const std::uint8_t* data,
                                                 std::uint32_t, std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4428WriteMain(std::uint32_t card, const std::uint8_t* data, std::uint32_t,
                                       std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4428WriteProtectBit(std::uint32_t card, const std::uint8_t* data,
                                             std::uint32_t, std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4428ReadWithProtectBit(std::uint32_t card, std::uint8_t* data,
                                                std::uint8_t* protectBits, std::uint32_t,
                                                std::uint32_t* length) override;
    std::uint32_t CardSLE4428ReadMain(std::uint32_t card, std::uint8_t* buffer, std::uint32_t,
                                      std::uint32_t* length) override {
        return Read(card, buffer, length);
    }
    std::uint32_t CardSLE4428VerifyPSC(std::uint32_t card, std::uint8_t c1,
                                       std::uint8_t c2) override {
        return Codes(card, {c1, c2});
    }
    std::uint32_t CardSLE4404ReadMemory(std::uint32_t card, std::uint8_t* buffer, std::uint32_t,
                                        std::uint32_t* length) override {
        return Read(card, buffer, length);
    }
    std::uint32_t CardSLE4404ReadUserMemory(std::uint32_t card, std::uint8_t* buffer, std::uint32_t,
                                            std::uint32_t* length) override {
        return Read(card, buffer, length);
    }
    std::uint32_t CardSLE4404VerifyUserCode(std::uint32_t card, std::uint8_t c1,
                                            std::uint8_t c2) override {
        return Codes(card, {c1, c2});
    }
    std::uint32_t CardSLE4404VerifyMemoryCode(std::uint32_t card, std::uint8_t c1, std::uint8_t c2,
                                              std::uint8_t c3, std::uint8_t c4) override {
        return Codes(card, {c1, c2, c3, c4});
    }
    std::uint32_t CardSLE4404EraseMemory(std::uint32_t card, std::uint32_t,
                                         std::uint32_t) override {
        return Answer(card);
    }
    std::uint32_t CardSLE4404WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                         std::uint32_t, std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4404WriteUserMemory(std::uint32_t card, const std::uint8_t* data,
                                             std::uint32_t, std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4436ReadMemory(std::uint32_t card, std::uint8_t* buffer, std::uint32_t,
                                        std::uint32_t* length) override {
        return Read(card, buffer, length);
    }
    // The counter stages arrive in a buffer of six bytes as passed.
    std::uint32_t CardSLE4436ReadCounterStages(std::uint32_t card, std::uint8_t* buffer) override {
        return Fixed(card, buffer, 6);
    }
    std::uint32_t CardSLE4436WriteMemory(std::uint32_t card, const std::uint8_t* data,
                                         std::uint32_t, std::uint32_t length) override {
        return Write(card, data, length);
    }
    std::uint32_t CardSLE4436WriteCounterStage(std::uint32_t card, std::uint8_t,
                                               std::uint8_t value) override {
        return Codes(card, {value});
    }
    std::uint32_t CardSLE4436Reload(std::uint32_t card, std::uint8_t) override {
        return Answer(card);
    }
    std::uint32_t CardSLE4436VerifyTransportCode(std::uint32_t card, std::uint8_t c1,
                                                 std::uint8_t c2, std::uint8_t c3) override {
        return Codes(card, {c1, c2, c3});
    }
    std::uint32_t CardI2CReadMemory(std::uint32_t card, std::uint8_t, std::uint32_t,
                                    std::uint8_t* buffer, std::uint32_t* length, std::uint8_t,
                                    std::uint8_t) override {
        return Read(card, buffer, length);
    }
    std::uint32_t CardI2CWriteMemory(std::uint32_t card, std::uint8_t, std::uint32_t,
                                     const std::uint8_t* data, std::uint32_t length,
                                     std::uint8_t) override {
        return Write(card, data, length);
    }

  private:
    std::uint32_t Answer(std::uint32_t card);
    void Fill(std::uint8_t* buffer, std::size_t count) const;
    std::uint32_t Read(std::uint32_t card, std::uint8_t* buffer, std::uint32_t* length);
    std::uint32_t Fixed(std::uint32_t card, std::uint8_t* buffer, std::size_t count);
    std::uint32_t Write(std::uint32_t card, const std::uint8_t* data, std::uint32_t length);
    std::uint32_t Codes(std::uint32_t card, std::initializer_list<std::uint8_t> bytes);
};

// The byte a FuzzCardLibrary read leaves at `index` of its buffer.
std::uint8_t FillByte(const std::vector<std::uint8_t>& fill, std::size_t index);

// Every line of a hex text: two capital hex digits and a blank per byte; the bytes decoded.
bool DecodeHexText(const std::string& text, std::vector<std::uint8_t>& bytes);
