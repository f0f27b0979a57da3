// The order in which the program's statics are built (and, reversed, destroyed).
// The memory manager comes first so that its leak report is the last thing
// the program does.
#pragma once

#define STATIC_MEMMAN 101
#define STATIC_PROFILER 102
#define STATIC_ERRORLOG 103
#define STATIC_STATLOG 104
#define STATIC_SYMBOLS 105
#define STATIC_INPUT 106
#define STATIC_RANDOM 107
#define STATIC_NETWORKLOCK 108
#define STATIC_NETLOG 109
#define STATIC_GRAPHICS 110
#define STATIC_GAME 111

#define STATIC_ORDER(n) __attribute__((init_priority(n)))

#include <new>

// A program-wide object that is built on first use and never destroyed, for
// state that the last statics (the leak report, handles destroyed at exit)
// still use after the ordinary statics are gone.
template <class T>
class Immortal {
public:
    Immortal() { new (&value) T(); }
    ~Immortal() {}
    T& operator*() { return value; }
    T* operator->() { return &value; }

private:
    union {
        T value;
    };
};
