// The order in which the program's statics are built (and, reversed, destroyed).
// The memory manager comes first so that its leak report is the last thing
// the program does. Every program-wide object that is built at run time or
// has a destructor takes the level of its layer, so that it outlives whatever
// uses it at exit; an exit-time check gets a level of its own above the layer
// it checks, because objects of one level in different files have no order.
#pragma once

#define STATIC_MEMMAN 101
#define STATIC_PROFILER 102
#define STATIC_ERRORLOG 103
#define STATIC_STATLOG 104
#define STATIC_SYMBOLS 105
#define STATIC_WINDOW 106
#define STATIC_INPUT 107
#define STATIC_RANDOM 108
#define STATIC_NETWORKLOCK 109
#define STATIC_NETLOG 110
#define STATIC_GRAPHICS 111
#define STATIC_GRAPHICS_EXIT 112
#define STATIC_GAME 113

#define STATIC_ORDER(n) __attribute__((init_priority(n)))

#include <new>

// A program-wide object that is built in its order and never destroyed, for
// state that is still used after every ordered static is gone: by the leak
// report, or by handles that the test and tool programs keep as plain statics.
template <class T>
class Immortal {
public:
    template <class... Args>
    explicit Immortal(Args&&... args) {
        new (&value) T(static_cast<Args&&>(args)...);
    }
    ~Immortal() {}
    constexpr T& operator*() { return value; }
    constexpr T* operator->() { return &value; }

private:
    union {
        T value;
    };
};
