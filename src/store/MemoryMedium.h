#pragma once

#include <string>

#include "store/processing/Streams.h"

namespace quorv::store {

// Database images kept in a caller's stream are named ":" followed by hexadecimal digits.
// The name is a ticket handed out here, never a memory address, so a made-up name can
// only fail to match.
class TMemoryMedium {
  public:
    // Registers the stream (the caller keeps it alive and owns it) and returns its name.
    static std::string Register(TStream* stream);
    static void Unregister(TStream* stream);
    // The stream a name stands for; EDatabaseError "Invalid database name '%s'" when the
    // name is ill-formed or names no registered stream.
    static TStream* Resolve(const std::string& name);
    static bool IsWellFormed(const std::string& name);
};

// Keeps a stream registered for as long as it lives.
class TMemoryRegistration {
  public:
    explicit TMemoryRegistration(TStream* stream)
        : stream_(stream), name_(TMemoryMedium::Register(stream)) {}
    ~TMemoryRegistration() { TMemoryMedium::Unregister(stream_); }
    TMemoryRegistration(const TMemoryRegistration&) = delete;
    TMemoryRegistration& operator=(const TMemoryRegistration&) = delete;

    const std::string& Name() const { return name_; }

  private:
    TStream* stream_;
    std::string name_;
};

}  // namespace quorv::store
