// The characters allowed to log in: the Name= and Password= of every
// character file (".ini") of the served folder.
#pragma once
#include <map>
#include <string>

struct Account {
    std::string name, password, desc;
};

// Keyed by name as written. Files without both keys are skipped.
std::map<std::string, Account> LoadAccounts(const std::string& folder);
