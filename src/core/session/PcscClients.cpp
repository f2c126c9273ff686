#include "core/session/PcscClients.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

bool MapsPcscLibrary(const std::filesystem::path& maps) {
    std::ifstream in(maps);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("libpcsclite") != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<PcscClient> FindPcscClients(const std::string& procRoot, int excludedPid) {
    std::vector<PcscClient> clients;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(procRoot, error)) {
        const std::string name = entry.path().filename().string();
        int pid = 0;
        const auto [end, fault] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (fault != std::errc() || end != name.data() + name.size() || pid == excludedPid ||
            !MapsPcscLibrary(entry.path() / "maps")) {
            continue;
        }
        PcscClient client{pid, {}};
        std::ifstream comm(entry.path() / "comm");
        std::getline(comm, client.name);
        if (client.name.empty()) {
            client.name = "?";
        }
        clients.push_back(std::move(client));
    }
    std::sort(clients.begin(), clients.end(),
              [](const PcscClient& a, const PcscClient& b) { return a.pid < b.pid; });
    return clients;
}

std::string PcscClientsText(const std::vector<PcscClient>& clients) {
    std::string text;
    for (const PcscClient& client : clients) {
        text += (text.empty() ? "" : ", ") + client.name + " (" + std::to_string(client.pid) + ")";
    }
    return text;
}
