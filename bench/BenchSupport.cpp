#include "BenchSupport.h"

#include <malloc.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "core/common/LogFormat.h"
#include "core/common/MemoryResponseLog.h"

std::vector<std::string> ExchangeLines() {
    const std::uint8_t command[] = {0x00, 0x84, 0x00, 0x00, 0x08};
    const std::uint8_t reply[] = {0x3A, 0x91, 0x07, 0xC4, 0x5E, 0x22, 0xF0, 0x6B, 0x90, 0x00};
    MemoryResponseLog log;
    AppendSentData(log, command, sizeof(command));
    log.AppendLine("Send Data Success");
    AppendReceivedData(log, reply, sizeof(reply));
    AppendSeparatorLine(log);
    return log.Lines();
}

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t ResidentBytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            std::size_t kilobytes = 0;
            status >> kilobytes;
            return kilobytes * 1024;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

double ProcessorSeconds(pid_t pid) {
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    unsigned long long nanoseconds = 0;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        unsigned long long onProcessor = 0;
        if (schedstat >> onProcessor) {
            nanoseconds += onProcessor;
        }
    }
    return static_cast<double>(nanoseconds) / 1e9;
}
