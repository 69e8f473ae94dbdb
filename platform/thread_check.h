#pragma once

#include <source_location>

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
    void MainThreadOnly(std::source_location = std::source_location::current()) const {}
    void StreamingThreadOnly(std::source_location = std::source_location::current()) const {}
#else
    void MainThreadOnly(std::source_location where = std::source_location::current()) const {
        if (std::this_thread::get_id() != owner_) Fail(where, "runs on the main thread only");
    }
    void StreamingThreadOnly(std::source_location where = std::source_location::current()) const {
        if (std::this_thread::get_id() == owner_) Fail(where, "never runs on the main thread");
    }

  private:
    [[noreturn]] static void Fail(const std::source_location& where, const char* rule) {
        std::fprintf(stderr, "thread contract broken: %s %s\n", where.function_name(), rule);
        std::fflush(stderr);
        std::abort();
    }

    std::thread::id owner_ = std::this_thread::get_id();
#endif
};
