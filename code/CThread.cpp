#include "CThread.h"

#include "CMemMan.h"
#include "LogFile.h"
#include "platform/PlatformSystem.h"

#include <system_error>

struct CThread::ParamData {
    CThread* owner;
    ThreadProcedure procedure;
    void* parameter;
};

CThread::CThread(ThreadProcedure procedure, const char* threadName, void* parameter)
    : name(threadName ? threadName : "") {
    ParamData* data = new2(ParamData, ParamData{this, procedure, parameter});
    running = true;
    try {
        thread = std::thread(StartRoutine, data);
    } catch (const std::system_error&) {
        running = false;
        ErrorLog << "CreateThread failed...?!?!\nCall stack:\n" << CallStackText() << "\n";
        delete2(data);
    }
}

void CThread::StartRoutine(ParamData* data) {
    data->procedure(data->owner, data->parameter);
    // The finished mark: after this the owner may be destroyed at any moment.
    data->owner->running = false;
    delete2(data);
}

CThread::~CThread() {
    int rounds = 0;
    while (running) {
        stopRequested = true;
        if (running) Platform::SleepMilliseconds(25);
        if (++rounds == 600) {
            ErrorLog << "Warning: Thread still going ~15 seconds after termination request.  It may be stuck.\n"
                     << "  -Thread name: " << name << "\n"
                     << "Call stack of dtor waiting loop:\n"
                     << CallStackText() << "\n";
        }
    }
    if (thread.joinable()) thread.join();
}

void RunPolledRounds(CThread* thread, const std::function<bool()>& active, const std::function<void()>& round) {
    while (!thread->StopRequested()) {
        while (!active() && !thread->StopRequested()) Platform::SleepMilliseconds(100);
        if (thread->StopRequested()) break;
        round();
        Platform::SleepMilliseconds(20);
    }
}
