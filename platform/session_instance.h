#pragma once

#include <cstdint>
#include <memory>
#include <string>

// One instance of a resident program per user session, and the way to ask it to end.

class SessionInstance {
  public:
    enum class Claim {
        Claimed,         // this process is the one instance
        AlreadyRunning,  // another process of the session holds it
        Failed,          // the platform refused; `errorText` says why
    };

    // Claims the instance `name` (a name of the session's namespace such as "Local\\name") for
    // this process's lifetime; the object holds it while it lives.
    static std::unique_ptr<SessionInstance> TryClaim(const std::string& name, Claim& result,
                                                     std::string& errorText);
    ~SessionInstance();
    SessionInstance(const SessionInstance&) = delete;
    SessionInstance& operator=(const SessionInstance&) = delete;

    struct Impl;

  private:
    explicit SessionInstance(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

enum class StopOutcome {
    NoneRunning,   // nobody held the instance
    Ended,         // it was asked to end and let go of the instance in time
    StillRunning,  // it still holds the instance after the wait
};

// Asks the instance `name` to end (sets `stopEventName`, and as a second way sends a close
// message to the windows of `windowClass`) and waits up to `timeoutMs` for it to let go.
StopOutcome StopSessionInstance(const std::string& name, const std::string& stopEventName,
                                const std::string& windowClass, std::uint32_t timeoutMs);
