#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>

// The test controls every simulated library offers: failures queued per operation name,
// and the number of calls made so far.
class SimFaultPlan {
  public:
    void FailNext(const std::string& operation, std::uint32_t code) {
        failures_[operation].push_back(code);
    }

    int CallCount(const std::string& operation) const {
        const auto found = calls_.find(operation);
        return found == calls_.end() ? 0 : found->second;
    }

    // Counts a call of `operation` and answers the failure queued for it, if any.
    std::optional<std::uint32_t> Enter(const std::string& operation) {
        ++calls_[operation];
        const auto found = failures_.find(operation);
        if (found == failures_.end() || found->second.empty()) {
            return std::nullopt;
        }
        const std::uint32_t code = found->second.front();
        found->second.pop_front();
        return code;
    }

  private:
    std::map<std::string, std::deque<std::uint32_t>> failures_;
    std::map<std::string, int> calls_;
};
