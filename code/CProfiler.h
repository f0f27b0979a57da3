// Measures named stretches of code and reports them to "_profile.txt" when
// the program ends: average, maximum, minimum and total time, samples and
// share of the running time.
//
//   ProfileStart("Load Mesh (mbm or bmbm)", __FILE__);
//   ...
//   ProfileStop("Load Mesh (mbm or bmbm)", __FILE__);
#pragma once
#include "CThread.h"

#include <cstdint>
#include <list>
#include <string>

void ProfileStart(const std::string& name, const std::string& file);
void ProfileStop(const std::string& name, const std::string& file);

class CProfiler {
public:
    // The counter and its ticks per second; tests drive their own.
    typedef int64_t (*Counter)();
    CProfiler();
    CProfiler(Counter counter, Counter frequency);
    // Writes the report.
    virtual ~CProfiler();

    void Start(const std::string& name, const std::string& file);
    void Stop(const std::string& name, const std::string& file);

private:
    struct Profile {
        std::string name, file;
        int64_t total = 0, maximum = 0, minimum = 0;
        int64_t start = 0;  // 0 while not running
        uint32_t samples = 0;
    };
    Profile* Find(const std::string& name);
    void WarnUnmatchedStop(const std::string& name, const std::string& file);
    void WriteReport();

    Counter counter, frequency;
    std::list<Profile> profiles;  // in order of first use
    int64_t programStart = 0;
    bool enabled = false;
    CriticalSection lock;
};
