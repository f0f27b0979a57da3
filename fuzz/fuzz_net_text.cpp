// Hostile text through the network unit's parsers: host texts, and server
// bytes on their way to the traffic log.
#include "NetClient.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (NET::IsDottedAddress(text)) {
        uint8_t address[4];
        NET::ParseDottedAddress(text, address);
    }
    std::vector<char> bytes(text.begin(), text.end());
    std::string received = bytes.empty() ? "" : NET::ReceivedLogText(bytes);
    if (!bytes.empty()) {
        std::string sent = NET::SentLogText(bytes.data(), static_cast<int>(bytes.size()));
        // A login line must never reach the log with its secrets.
        if (sent.find("\nconnect x") != std::string::npos) std::abort();
    }
    if (received.find("\nconnect x") != std::string::npos) std::abort();
    return 0;
}
