#pragma once

#include <stdexcept>
#include <string>

namespace quorv {

// Root of every error the program raises; what() is the exact user-visible text.
class Exception : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace quorv
