#include "CProfiler.h"

#include "FileUtil.h"
#include "StaticOrder.h"
#include "platform/PlatformSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

static const char* const ProfileFile = "_profile.txt";

CProfiler::CProfiler() : CProfiler(Platform::PerfCounter, Platform::PerfFrequency) {}

CProfiler::CProfiler(Counter counter_, Counter frequency_) : counter(counter_), frequency(frequency_) {
    FILE* f = OpenFile(ProfileFile, "wt");
    if (!f) {
        Platform::DebugOutput("Unable to open file for CProfiler(start).\n");
        return;
    }
    std::fputs("Profile File Started.\n\n", f);
    programStart = counter();
    if (programStart != 0)
        enabled = true;
    else
        std::fputs("Error: System doesn't support high resolution time.  Profiling disabled.\n", f);
    std::fclose(f);
}

CProfiler::Profile* CProfiler::Find(const std::string& name) {
    for (Profile& profile : profiles)
        if (profile.name == name) return &profile;
    return nullptr;
}

void CProfiler::Start(const std::string& name, const std::string& file) {
    if (!enabled) return;
    ScopedLock guard(lock);
    Profile* profile = Find(name);
    if (!profile) {
        profiles.push_back(Profile{name, file});
        profile = &profiles.back();
    }
    profile->start = counter();
}

void CProfiler::Stop(const std::string& name, const std::string& file) {
    if (!enabled) return;
    // Read before the lock, so waiting for it does not count.
    int64_t now = counter();
    ScopedLock guard(lock);
    Profile* profile = Find(name);
    if (!profile || profile->start == 0) {
        WarnUnmatchedStop(name, file);
        return;
    }
    int64_t elapsed = now - profile->start;
    profile->start = 0;
    if (elapsed > profile->maximum) profile->maximum = elapsed;
    if (profile->samples == 0 || elapsed < profile->minimum) profile->minimum = elapsed;
    profile->total += elapsed;
    ++profile->samples;
}

void CProfiler::WarnUnmatchedStop(const std::string& name, const std::string& file) {
    FILE* f = OpenFile(ProfileFile, "at");
    if (!f) {
        Platform::DebugOutput("Unable to open file for CProfiler(error).\n");
        return;
    }
    std::fprintf(f, "Warning: ProfileStop called without a matching ProfileStart\n  Name: %s\n  File: %s\n\n",
                 name.c_str(), file.c_str());
    std::fclose(f);
}

static void WriteNumber(FILE* f, double value) { std::fprintf(f, "%.16g", value); }

// The share of the running time; an empty running time has no share.
static long long Percentage(double part, double whole) {
    double share = part / whole * 100;
    return std::isfinite(share) ? static_cast<long long>(share) : 0;
}

void CProfiler::WriteReport() {
    int64_t now = counter();
    double f = static_cast<double>(frequency());
    FILE* out = OpenFile(ProfileFile, "at");
    if (!out) {
        Platform::DebugOutput("Unable to open file for CProfiler(end).\n");
        return;
    }
    double programSeconds = static_cast<double>(now - programStart) / f;
    std::fputs("Total program execution time: ", out);
    WriteNumber(out, programSeconds);
    std::fputs(" seconds.\n\n -- Profiles --\n\n", out);

    std::vector<const Profile*> sorted;
    for (const Profile& profile : profiles) sorted.push_back(&profile);
    std::stable_sort(sorted.begin(), sorted.end(), [](auto a, auto b) { return a->total > b->total; });
    for (const Profile* p : sorted) {
        double total = static_cast<double>(p->total);
        std::fprintf(out, "%s - %s\n Average time: ", p->name.c_str(), p->file.c_str());
        WriteNumber(out, total / p->samples * 1000 / f);
        std::fputs(" ms\n Max time: ", out);
        WriteNumber(out, static_cast<double>(p->maximum) * 1000 / f);
        std::fputs(" ms\n Min time: ", out);
        WriteNumber(out, static_cast<double>(p->minimum) * 1000 / f);
        std::fputs(" ms\n Total time: ", out);
        WriteNumber(out, total / f);
        std::fprintf(out, " seconds\n Samples taken: %u\n Percentage of total time: %lld%%\n\n", p->samples,
                     Percentage(total / f, programSeconds));
    }
    std::fclose(out);
}

CProfiler::~CProfiler() {
    if (enabled) WriteReport();
}

static CProfiler profiler STATIC_ORDER(STATIC_PROFILER);

void ProfileStart(const std::string& name, const std::string& file) { profiler.Start(name, file); }
void ProfileStop(const std::string& name, const std::string& file) { profiler.Stop(name, file); }
