#include "report/ExchangeCsvLog.h"

#include <cerrno>
#include <cstring>
#include <ctime>

ExchangeCsvLog::~ExchangeCsvLog() {
    std::string ignored;
    Close(ignored);
}

bool ExchangeCsvLog::Open(const std::string& path, std::vector<std::string> readers,
                          CodeNamer codeName, std::string& error) {
    std::lock_guard lock(mutex_);
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    readers_ = std::move(readers);
    codeName_ = std::move(codeName);
    failed_ = std::fputs("reader,index,start,microseconds,result\n", file_) < 0;
    return true;
}

void ExchangeCsvLog::Write(const ExchangeRecord& record) {
    std::string outcome;
    if (record.result.code != 0) {
        outcome = codeName_ ? codeName_(record.result.code) : std::to_string(record.result.code);
    } else if (record.result.mismatch) {
        outcome = MismatchText(record.result.mismatch->kind);
    } else if (record.result.statusWord) {
        char sw[8];
        std::snprintf(sw, sizeof sw, "%02X %02X", *record.result.statusWord >> 8,
                      *record.result.statusWord & 0xFF);
        outcome = sw;
    }
    const std::string& reader =
        record.reader < readers_.size() ? readers_[record.reader] : std::string();
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) {
        return;
    }
    if (std::fprintf(file_, "%s,%llu,%s,%llu,%s\n", CsvField(reader).c_str(),
                     static_cast<unsigned long long>(record.index),
                     UtcTimestamp(record.startUnixMicros).c_str(),
                     static_cast<unsigned long long>(record.micros),
                     CsvField(outcome).c_str()) < 0) {
        failed_ = true;
    }
}

bool ExchangeCsvLog::Close(std::string& error) {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr) {
        return true;
    }
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed_ || !closed) {
        error = "writing the file failed";
        return false;
    }
    return true;
}

std::string UtcTimestamp(std::int64_t unixMicros) {
    const std::time_t seconds = static_cast<std::time_t>(unixMicros / 1'000'000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%06lldZ",
                  static_cast<long long>(unixMicros % 1'000'000));
    return text;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}
