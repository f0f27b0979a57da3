#include "ServerAccounts.h"

#include <filesystem>
#include <fstream>

#include "FileUtil.h"

namespace {

constexpr size_t MaxLine = 512;
constexpr int MaxLines = 64;

bool ReadAccount(const std::filesystem::path& path, Account& account) {
    std::ifstream file(path);
    std::string line;
    for (int n = 0; n < MaxLines && std::getline(file, line); ++n) {
        if (line.size() > MaxLine) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("Name=", 0) == 0) account.name = line.substr(5);
        else if (line.rfind("Password=", 0) == 0) account.password = line.substr(9);
        else if (line.rfind("Desc=", 0) == 0) account.desc = line.substr(5);
    }
    return !account.name.empty() && !account.password.empty();
}

}  // namespace

std::map<std::string, Account> LoadAccounts(const std::string& folder) {
    std::map<std::string, Account> accounts;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file() || ToLower(entry.path().extension().string()) != ".ini") continue;
        Account account;
        if (ReadAccount(entry.path(), account)) accounts.emplace(account.name, account);
    }
    return accounts;
}
