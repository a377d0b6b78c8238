#pragma once

#include <cerrno>

#include "base/Exception.h"

namespace quorv::store {

// Store conditions, with fixed English texts.
class EDatabaseError : public quorv::Exception {
  public:
    using quorv::Exception::Exception;
};

// A stream could not deliver or take the bytes asked for.
class EReadError : public quorv::Exception {
  public:
    EReadError() : quorv::Exception("Stream read error") {}
};

class EWriteError : public quorv::Exception {
  public:
    EWriteError() : quorv::Exception("Stream write error") {}
    // With the reason where the system told one worth saying (a full disk).
    explicit EWriteError(int error)
        : quorv::Exception(error == ENOSPC || error == EDQUOT
                               ? "Stream write error: the disk is full"
                               : "Stream write error") {}
};

// zlib refused the data; the text is zlib's own terse "error".
class EZlibError : public quorv::Exception {
  public:
    using quorv::Exception::Exception;
};

class ECompressionError : public EZlibError {
  public:
    ECompressionError() : EZlibError("error") {}
};

class EDecompressionError : public EZlibError {
  public:
    EDecompressionError() : EZlibError("error") {}
};

}  // namespace quorv::store
