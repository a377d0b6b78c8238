#pragma once

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
