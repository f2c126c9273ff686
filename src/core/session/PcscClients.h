#pragma once

#include <string>
#include <vector>

// The programs on this machine that use PC/SC: the processes that have the PC/SC client
// library (libpcsclite) mapped into their memory, as /proc/<pid>/maps shows. Processes whose
// maps cannot be read (another user's, without the rights) are not seen.
struct PcscClient {
    int pid = 0;
    std::string name;  // the process's command name, from /proc/<pid>/comm
};

// Ordered by process id; `excludedPid` (this program) is left out.
std::vector<PcscClient> FindPcscClients(const std::string& procRoot, int excludedPid);

// "scdaemon (1234), gnome-shell (987)".
std::string PcscClientsText(const std::vector<PcscClient>& clients);
