#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/session/PcscClients.h"

namespace {

// A fake process table: the finder reads maps and comm of each numeric entry.
TEST(PcscClients, FindsTheProcessesThatMapTheClientLibrary) {
    const auto root =
        std::filesystem::temp_directory_path() /
        ("zp-proc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(root);
    const auto process = [&root](const std::string& pid, const char* maps, const char* comm) {
        std::filesystem::create_directories(root / pid);
        std::ofstream(root / pid / "maps") << maps;
        if (comm != nullptr) {
            std::ofstream(root / pid / "comm") << comm;
        }
    };
    process("300", "a\nb /usr/lib/libpcsclite.so.1\n", "pcsc_scan\n");
    process("42", "/usr/lib/libpcsclite.so.1\n", nullptr);  // comm unreadable
    process("7", "/usr/lib/libpcsclite.so.1\n", "self\n");  // this program
    process("8", "/usr/lib/libc.so.6\n", "bash\n");
    process("9x", "/usr/lib/libpcsclite.so.1\n", "odd\n");

    const auto clients = FindPcscClients(root.string(), 7);
    EXPECT_EQ(PcscClientsText(clients), "? (42), pcsc_scan (300)");
    EXPECT_TRUE(FindPcscClients((root / "missing").string(), 0).empty());
    std::filesystem::remove_all(root);
}

}  // namespace
