#pragma once

#ifndef NDEBUG
#include <cstdio>
#include <cstdlib>
#include <thread>
#endif

// The thread contract of an object, checked in debug builds: the checker is bound to the thread
// that creates it (the main thread); main-thread-only entries call MainThreadOnly() and
// streaming-thread-only entries StreamingThreadOnly(). A broken contract names the entry and
// aborts. Release builds (NDEBUG) hold nothing and check nothing: declared
// [[no_unique_address]], the member takes no room either.
class ThreadChecker {
  public:
#ifdef NDEBUG
    void MainThreadOnly(const char* = nullptr) const {}
    void StreamingThreadOnly(const char* = nullptr) const {}
#else
    // `entry` defaults to the calling function's name (GCC's and clang's builtin; the
    // library's source_location is not there for every compiler of ours).
    void MainThreadOnly(const char* entry = __builtin_FUNCTION()) const {
        if (std::this_thread::get_id() != owner_) Fail(entry, "runs on the main thread only");
    }
    void StreamingThreadOnly(const char* entry = __builtin_FUNCTION()) const {
        if (std::this_thread::get_id() == owner_) Fail(entry, "never runs on the main thread");
    }

  private:
    [[noreturn]] static void Fail(const char* entry, const char* rule) {
        std::fprintf(stderr, "thread contract broken: %s %s\n", entry, rule);
        std::fflush(stderr);
        std::abort();
    }

    std::thread::id owner_ = std::this_thread::get_id();
#endif
};
