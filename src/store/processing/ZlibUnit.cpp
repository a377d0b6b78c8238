#include "store/processing/ZlibUnit.h"

#include <algorithm>
#include <limits>

#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

// zlib counts in uInt; larger requests go through in pieces of this size.
constexpr int64_t kMaxPiece = int64_t{1} << 30;

[[noreturn]] void InvalidOperation() {
    throw EZlibError("Invalid stream operation");
}

}  // namespace

TCustomZlibStream::TCustomZlibStream(TStream& strm)
    : strm_(strm), buffer_(std::make_unique_for_overwrite<uint8_t[]>(kBufferSize)) {}

int64_t TCustomZlibStream::Size() {
    InvalidOperation();
}

void TCustomZlibStream::SetSize(int64_t) {
    InvalidOperation();
}

void TCustomZlibStream::Progress() {
    if (OnProgress) {
        OnProgress(*this);
    }
}

// ---------------------------------------------------------------------------------------------

TCompressionStream::TCompressionStream(int zlibLevel, TStream& dest) : TCustomZlibStream(dest) {
    if (deflateInit2(&zrec_, zlibLevel, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) < 0) {
        // Nothing to end: a failed init leaves no state behind.
        ended_ = true;
        throw ECompressionError();
    }
    zrec_.next_out = buffer_.get();
    zrec_.avail_out = kBufferSize;
}

TCompressionStream::~TCompressionStream() {
    End();
}

void TCompressionStream::End() {
    if (!ended_) {
        ended_ = true;
        deflateEnd(&zrec_);
    }
}

void TCompressionStream::FlushBuffer(size_t count) {
    strm_.WriteBuffer(buffer_.get(), static_cast<int64_t>(count));
    zrec_.next_out = buffer_.get();
    zrec_.avail_out = kBufferSize;
}

int64_t TCompressionStream::Read(void*, int64_t) {
    InvalidOperation();
}

int64_t TCompressionStream::Write(const void* buffer, int64_t count) {
    if (ended_) {
        InvalidOperation();
    }
    if (count <= 0) {
        return 0;
    }
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t left = count;
    while (left > 0) {
        const int64_t piece = std::min(left, kMaxPiece);
        zrec_.next_in = const_cast<Bytef*>(in);
        zrec_.avail_in = static_cast<uInt>(piece);
        while (zrec_.avail_in > 0) {
            if (deflate(&zrec_, Z_NO_FLUSH) < 0) {
                throw ECompressionError();
            }
            if (zrec_.avail_out == 0) {
                FlushBuffer(kBufferSize);
                Progress();
            }
        }
        in += piece;
        left -= piece;
    }
    return count;
}

int64_t TCompressionStream::Seek(int64_t offset, SeekOrigin origin) {
    if (offset == 0 && origin == SeekOrigin::Current) {
        return TotalIn();
    }
    InvalidOperation();
}

void TCompressionStream::Close() {
    if (ended_) {
        return;
    }
    zrec_.next_in = nullptr;
    zrec_.avail_in = 0;
    for (;;) {
        const int ret = deflate(&zrec_, Z_FINISH);
        if (ret < 0) {
            throw ECompressionError();
        }
        if (ret == Z_STREAM_END) {
            break;
        }
        if (zrec_.avail_out == 0) {
            FlushBuffer(kBufferSize);
            Progress();
        }
    }
    const size_t rest = kBufferSize - zrec_.avail_out;
    if (rest > 0) {
        FlushBuffer(rest);
    }
    End();
}

// ---------------------------------------------------------------------------------------------

TDecompressionStream::TDecompressionStream(TStream& source) : TCustomZlibStream(source) {
    zrec_.next_in = buffer_.get();
    zrec_.avail_in = 0;
    if (inflateInit2(&zrec_, 15) < 0) {
        throw EDecompressionError();
    }
}

TDecompressionStream::~TDecompressionStream() {
    // Leave the source just behind the compressed bytes actually used.
    if (zrec_.avail_in > 0) {
        try {
            strm_.Seek(-static_cast<int64_t>(zrec_.avail_in), SeekOrigin::Current);
        } catch (...) {
        }
    }
    inflateEnd(&zrec_);
}

int64_t TDecompressionStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count && !streamEnd_) {
        if (zrec_.avail_in == 0) {
            if (sourceEmpty_) {
                break;
            }
            const int64_t n = strm_.Read(buffer_.get(), kBufferSize);
            if (n <= 0) {
                sourceEmpty_ = true;
                break;
            }
            zrec_.next_in = buffer_.get();
            zrec_.avail_in = static_cast<uInt>(n);
            Progress();
        }
        const int64_t want = std::min(count - done, kMaxPiece);
        zrec_.next_out = out + done;
        zrec_.avail_out = static_cast<uInt>(want);
        const int ret = inflate(&zrec_, Z_NO_FLUSH);
        done += want - static_cast<int64_t>(zrec_.avail_out);
        if (ret == Z_STREAM_END) {
            // Bytes after the stream's end are not inflated: the read stays short.
            streamEnd_ = true;
        } else if (ret < 0 || ret == Z_NEED_DICT) {
            // A preset dictionary is never used by the store, so asking for one is corruption.
            throw EDecompressionError();
        }
    }
    zrec_.next_out = nullptr;
    zrec_.avail_out = 0;
    return done;
}

int64_t TDecompressionStream::Write(const void*, int64_t) {
    InvalidOperation();
}

int64_t TDecompressionStream::Seek(int64_t offset, SeekOrigin origin) {
    if (offset == 0 && origin == SeekOrigin::Current) {
        return TotalOut();
    }
    InvalidOperation();
}

}  // namespace quorv::store
