#include <algorithm>

#include "core/memcard/MemOperation.h"

namespace {

using enum MemDlgMode;
using enum MemOpKind;
using P = MemPage;
using L = CardLibrary;

constexpr const char* kDataToSend = "Data to Send";
constexpr const char* kDataToComp = "Data to Comp";

// clang-format off
constexpr std::array<MemOperationEntry, 28> kOperations{{
    {1, P::SLE4442, "SLE4442ReadM", "Read &Main", "Read Main Memory ",
     "SLE4442 Read Main Memory", nullptr, mdRead, {0, 255}, {1, 256},
     okRead, MemReadCall{&L::CardSLE4442ReadMain}, 3,
     "SLE4432/4442 Read Main Memory :", "SLE4432/4442 Read Main Memory Success",
     "SLE4432/4442 Read Main Memory"},
    {2, P::SLE4442, "SLE4442ReadP", "Read &Protect", "Read Protect Memory",
     "SLE4442 Read Protect Memory", nullptr, mdFixedRead, {0, 0}, {4, 4},
     okFixedRead, MemBufferCall{&L::CardSLE4442ReadProtect}, 3,
     "SLE4432/4442 Read Protect Memory : ", "SLE4432/4442 Read Protect Memory Success",
     "SLE4432/4442 Read Protect Memory"},
    {3, P::SLE4442, "SLE4442ReadS", "Read &Security", "Read Security Memory only for SLE4442",
     "SLE4442 Read Security Memory", nullptr, mdFixedRead, {0, 0}, {4, 4},
     okFixedRead, MemBufferCall{&L::CardSLE4442ReadSecurity}, 3,
     "SLE4442 Read Security Memory :", "SLE4442 Read Security Memory Success",
     "SLE4442 Read Security Memory"},
    {4, P::SLE4442, "SLE4442WriteM", "&Write Main", "Write Main Memory",
     "SLE4442 Write Main Memory", kDataToSend, mdWrite, {0, 255}, {1, 256},
     okWrite, MemWriteCall{&L::CardSLE4442WriteMain}, 3,
     "SLE4432/4442 Write Main Memory :", "SLE4432/4442 Write Main Memory Success",
     "SLE4432/4442 Write Main Memory"},
    {5, P::SLE4442, "SLE4442WriteP", "Write Pr&otect", "Write Protect Memory",
     "SLE4442 Write Protect Memory", kDataToSend, mdWrite, {0, 31}, {1, 32},
     okWrite, MemWriteCall{&L::CardSLE4442WriteProtect}, 3,
     "SLE4432/4442 Write Protect Memory :", "SLE4432/4442 Write Protect Memory Success",
     "SLE4432/4442 Write Protect Memory"},
    {6, P::SLE4442, "SLE4442WriteS", "Wr&ite Security", "Write Security Memory only for SLE4442",
     "SLE4442 Write Security Memory", kDataToSend, mdWrite, {0, 3}, {1, 4},
     okWrite, MemWriteCall{&L::CardSLE4442WriteSecurity}, 3,
     "SLE4442 Write Security Memory :", "SLE4442 Write Security Memory Success",
     "SLE4442 Write Security Memory"},
    {7, P::SLE4442, "SLE4442Verify", "&Verification", "Verification only for SLE4442",
     "SLE4442 Compare Verification Data", kDataToComp, mdVerify, {0, 0}, {3, 3},
     okVerify, MemThreeByteCall{&L::CardSLE4442Verify}, 2,
     "SLE4442 Verification :", "SLE4442 Verify Success", "SLE4442 Verify"},
    {8, P::SLE4428, "SLE4428ReadM", "Read &Memory", "Read Memory",
     "SLE4428 Read Main Memory", nullptr, mdRead, {0, 1023}, {1, 1024},
     okRead, MemReadCall{&L::CardSLE4428ReadMain}, 3,
     "SLE4418/4428 Read Main Memory :", "SLE4418/4428 Read Main Memory Success",
     "SLE4418/4428 Read Main Memory"},
    {9, P::SLE4428, "SLE4428ReadP", "  Read Mem && &P ", "Read Memory with Protect bit",
     "SLE4428 Read Memory with Protect Bit", nullptr, mdRead, {0, 1023}, {1, 1024},
     okReadProtectBits, MemProtectBitsReadCall{&L::CardSLE4428ReadWithProtectBit}, 3,
     "SLE4418/4428 Read Memory With Protect Bit:", "SLE4418/4428 Read Main Memory Success",
     "SLE4418/4428 Read Main Memory With Protect Bit"},
    {10, P::SLE4428, "SLE4428WriteM", "&Write Memory", "Write Memory",
     "SLE4428 Write Main Memory", kDataToSend, mdWrite, {0, 1023}, {1, 1024},
     okWrite, MemWriteCall{&L::CardSLE4428WriteMain}, 3,
     "SLE4418/4428 Write Main Memory :", "SLE4418/4428 Write Main Memory Success",
     "SLE4418/4428 Write Main Memory"},
    {11, P::SLE4428, "SLE4428WriteP", "  Write M&em && P", "Write Memory with Protect bit",
     "SLE4428 Write Memory with Protect Bit", kDataToSend, mdWrite, {0, 1023}, {1, 1024},
     okWrite, MemWriteCall{&L::CardSLE4428WriteWithProtectBit}, 3,
     "SLE4418/4428 Write Memory With Protect Bit:",
     "SLE4418/4428 Write Memory With Protect Bit Success",
     "SLE4418/4428 Write Memory With Protect Bit"},
    {12, P::SLE4428, "SLE4428WritePB", "Wri&te Protect bit", "Write Protect Bit with data comparison",
     "SLE4428 Write Protect Bit with Data Comparision", kDataToSend, mdWrite, {0, 1023}, {1, 1024},
     okWrite, MemWriteCall{&L::CardSLE4428WriteProtectBit}, 3,
     "SLE4418/4428 Write Protect Bit With Data Comparision:",
     "SLE4418/4428 Write Protect Bit With Data Comparision Success",
     "SLE4418/4428 Write Protect Bit With Data Comparision"},
    {13, P::SLE4428, "SLE4428PSC", "PSC &Verify", "PSC Verification only for SLE4428",
     "SLE4428 PSC Verification", kDataToComp, mdVerify, {0, 0}, {2, 2},
     okVerify, MemTwoByteCall{&L::CardSLE4428VerifyPSC}, 2,
     "SLE4428 PSC Verification :", "SLE4428 PSC Verification Success",
     "SLE4428 PSC Verification"},
    {14, P::SLE4404, "SLE4404ReadM", "Read &Memory", "Read Memory",
     "SLE4404 Read Memory", nullptr, mdRead, {0, 50}, {1, 51},
     okRead, MemReadCall{&L::CardSLE4404ReadMemory}, 3,
     "SLE4404 Read Memory :", "SLE4404 Read Memory Success", "SLE4404 Read Memory"},
    {15, P::SLE4404, "SLE4404ReadU", "Read &U Mem", "Read User Memory",
     "SLE4404 Read User Memory", nullptr, mdRead, {0, 25}, {1, 26},
     okRead, MemReadCall{&L::CardSLE4404ReadUserMemory}, 3,
     "SLE4404 Read User Memory :", "SLE4404 Read User Memory Success",
     "SLE4404 Read User Memory"},
    {16, P::SLE4404, "SLE4404WriteM", "&Write Memory", "Write Memory",
     "SLE4404 Write Memory", kDataToSend, mdWrite, {0, 50}, {1, 51},
     okWrite, MemWriteCall{&L::CardSLE4404WriteMemory}, 3,
     "SLE4404 Write Memory :", "SLE4404 Write Memory Success", "SLE4404 Write Memory"},
    {17, P::SLE4404, "SLE4404WriteU", "Wri&te U Mem", "Write User Memory",
     "SLE4404 Write User Memory", kDataToSend, mdWrite, {0, 25}, {1, 26},
     okWrite, MemWriteCall{&L::CardSLE4404WriteUserMemory}, 3,
     "SLE4404 Write User Memory :", "SLE4404 Write User Memory Success",
     "SLE4404 Write User Memory"},
    {18, P::SLE4404, "SLE4404EraseM", "&Erase Memory", "Erase Memory",
     "SLE4404 Erase Memory", nullptr, mdRead, {0, 50}, {1, 51},
     okErase, MemEraseCall{&L::CardSLE4404EraseMemory}, 3,
     "SLE4404 Erase Memory :", "SLE4404 Erase Memory Success", "SLE4404 Erase Memory"},
    {19, P::SLE4404, "SLE4404VerifyU", "U Code &Verify", "User Code Verification",
     "SLE4404 User Code Verification", kDataToComp, mdVerify, {0, 0}, {2, 2},
     okVerify, MemTwoByteCall{&L::CardSLE4404VerifyUserCode}, 2,
     "SLE4404 User Code Verification :", "SLE4404 User Code Verify Success",
     "SLE4404 User Code Verify"},
    {20, P::SLE4404, "SLE4404VerifyM", "M Code Veri&fy", "Memory Code Verification",
     "SLE4404 Memory Code Verification", kDataToComp, mdVerify, {0, 0}, {4, 4},
     okVerify, MemFourByteCall{&L::CardSLE4404VerifyMemoryCode}, 2,
     "SLE4404 Memory Code Verification :", "SLE4404 Memory Code Verify Success",
     "SLE4404 Memory Code Verify"},
    {21, P::SLE4436, "SLE4436ReadM", "Read &Memory", "Read Memory",
     "SLE4436 Read Memory", nullptr, mdRead, {0, 47}, {1, 48},
     okRead, MemReadCall{&L::CardSLE4436ReadMemory}, 2,
     "SLE4406/4436/5536 Read Main Memory :", "SLE4406/4436/5536 Read Memory Success",
     "SLE4406/4436/5536 Read Memory"},
    {22, P::SLE4436, "SLE4436ReadC", "Read &Stages", "Read Counter Stage",
     "SLE4436 Read Counter Stages", nullptr, mdRead, {0, 0}, {5, 5},
     okReadCounter, MemBufferCall{&L::CardSLE4436ReadCounterStages}, 2,
     "SLE4406/4436/5536 Read Counter Stages :",
     "SLE4406/4436/5536 Read Counter Stages Success",
     "SLE4406/4436/5536 Read Counter Stages"},
    {23, P::SLE4436, "SLE4436WriteM", "&Write Memory", "Write Memory",
     "SLE4436 Write Memory", kDataToSend, mdWrite, {0, 47}, {1, 48},
     okWrite, MemWriteCall{&L::CardSLE4436WriteMemory}, 2,
     "SLE4406/4436/5536 Write Memory :", "SLE4406/4436/5536 Write Memory Success",
     "SLE4406/4436/5536 Write Memory"},
    {24, P::SLE4436, "SLE4436WriteC", "Wri&te Stages", "Write Counter Stages",
     "SLE4436 Write Counter Memory", kDataToSend, mdWrite, {0, 4}, {1, 1},
     okWriteCounter, MemTwoByteCall{&L::CardSLE4436WriteCounterStage}, 2,
     "SLE4406/4436/5536 Write Counter Stage :",
     "SLE4406/4436/5536 Write Counter Stage Success",
     "SLE4406/4436/5536 Write Counter Stage"},
    {25, P::SLE4436, "SLE4436Reload", "Rel&oad", "Reload Counter Stage",
     "SLE4436 Reload", nullptr, mdRead, {0, 31}, {1, 1},
     okReload, MemOneByteCall{&L::CardSLE4436Reload}, 2,
     "SLE4406/4436/5536 Reload :", "SLE4406/4436/5536 Reload Success",
     "SLE4406/4436/5536 Reload"},
    {26, P::SLE4436, "SLE4436Verify", "&Verification", "Transport Code Verification",
     "SLE4436 Transport Code Verification", kDataToComp, mdVerify, {0, 0}, {3, 3},
     okVerify, MemThreeByteCall{&L::CardSLE4436VerifyTransportCode}, 2,
     "SLE4436/5536 Verify Transport Code :", "SLE4436/5536 Verify Success",
     "SLE4436/5536 Verify"},
    {28, P::I2C, "I2CReadM", "Read &Memory", "Read Memory",
     "I2C Read Memory", nullptr, mdI2CRead, {0, 255}, {1, 256},
     okI2CRead, MemI2CReadCall{&L::CardI2CReadMemory}, 3,
     "I2C Read Memory :", "I2C Read Memory Success", "I2C Read Memory"},
    {29, P::I2C, "I2CWriteM", "&Write Memory", "Write Memory",
     "I2C Write Memory", kDataToSend, mdI2CWrite, {0, 255}, {1, 256},
     okI2CWrite, MemI2CWriteCall{&L::CardI2CWriteMemory}, 3,
     "I2C Write Memory :", "I2C Write Memory Success", "I2C Write Memory"},
}};
// clang-format on

}  // namespace

std::span<const MemOperationEntry> MemOperations() {
    return kOperations;
}

const MemOperationEntry* FindMemOperation(std::uint32_t code) {
    const auto found = std::find_if(kOperations.begin(), kOperations.end(),
                                    [code](const MemOperationEntry& e) { return e.code == code; });
    return found == kOperations.end() ? nullptr : &*found;
}

std::size_t VerifyCodeBytes(const MemOperationEntry& entry) {
    if (entry.kind != MemOpKind::okVerify) {
        return 0;
    }
    if (std::holds_alternative<MemTwoByteCall>(entry.call)) {
        return 2;
    }
    if (std::holds_alternative<MemThreeByteCall>(entry.call)) {
        return 3;
    }
    return std::holds_alternative<MemFourByteCall>(entry.call) ? 4 : 0;
}
