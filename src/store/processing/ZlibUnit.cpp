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

TDeflateState::TDeflateState(int memLevel)
    : z_(std::make_unique<z_stream>()), memLevel_(memLevel) {}

TDeflateState::~TDeflateState() {
    Discard();
}

z_stream& TDeflateState::Fresh(int zlibLevel) {
    if (ready_ && level_ == zlibLevel && deflateReset(z_.get()) == Z_OK) {
        return *z_;
    }
    Discard();
    *z_ = z_stream{};
    if (deflateInit2(z_.get(), zlibLevel, Z_DEFLATED, 15, memLevel_, Z_DEFAULT_STRATEGY) < 0) {
        throw ECompressionError();
    }
    ready_ = true;
    level_ = zlibLevel;
    return *z_;
}

void TDeflateState::Discard() {
    if (ready_) {
        ready_ = false;
        deflateEnd(z_.get());
    }
}

TCompressionStream::TCompressionStream(int zlibLevel, TStream& dest) : TCustomZlibStream(dest) {
    if (deflateInit2(z_, zlibLevel, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) < 0) {
        // Nothing to end: a failed init leaves no state behind.
        ended_ = true;
        throw ECompressionError();
    }
    Start();
}

TCompressionStream::TCompressionStream(TDeflateState& state, int zlibLevel, TStream& dest)
    : TCustomZlibStream(dest) {
    z_ = &state.Fresh(zlibLevel);
    state_ = &state;
    Start();
}

void TCompressionStream::Start() {
    z_->next_out = buffer_.get();
    z_->avail_out = kBufferSize;
}

TCompressionStream::~TCompressionStream() {
    End();
}

void TCompressionStream::End() {
    if (!ended_) {
        ended_ = true;
        if (state_ == nullptr) {
            deflateEnd(z_);
        }
    }
}

void TCompressionStream::Fail() {
    if (state_ != nullptr) {
        state_->Discard();
    }
    throw ECompressionError();
}

void TCompressionStream::FlushBuffer(size_t count) {
    strm_.WriteBuffer(buffer_.get(), static_cast<int64_t>(count));
    z_->next_out = buffer_.get();
    z_->avail_out = kBufferSize;
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
        z_->next_in = const_cast<Bytef*>(in);
        z_->avail_in = static_cast<uInt>(piece);
        while (z_->avail_in > 0) {
            if (deflate(z_, Z_NO_FLUSH) < 0) {
                Fail();
            }
            if (z_->avail_out == 0) {
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
    z_->next_in = nullptr;
    z_->avail_in = 0;
    for (;;) {
        const int ret = deflate(z_, Z_FINISH);
        if (ret < 0) {
            Fail();
        }
        if (ret == Z_STREAM_END) {
            break;
        }
        if (z_->avail_out == 0) {
            FlushBuffer(kBufferSize);
            Progress();
        }
    }
    const size_t rest = kBufferSize - z_->avail_out;
    if (rest > 0) {
        FlushBuffer(rest);
    }
    End();
}

// ---------------------------------------------------------------------------------------------

TInflateState::TInflateState() : z_(std::make_unique<z_stream>()) {}

TInflateState::~TInflateState() {
    if (ready_) {
        inflateEnd(z_.get());
    }
}

z_stream& TInflateState::Fresh() {
    if (ready_ && inflateReset(z_.get()) == Z_OK) {
        return *z_;
    }
    if (ready_) {
        ready_ = false;
        inflateEnd(z_.get());
    }
    *z_ = z_stream{};
    if (inflateInit2(z_.get(), 15) < 0) {
        throw EDecompressionError();
    }
    ready_ = true;
    return *z_;
}

TDecompressionStream::TDecompressionStream(TStream& source) : TCustomZlibStream(source) {
    z_->next_in = buffer_.get();
    z_->avail_in = 0;
    if (inflateInit2(z_, 15) < 0) {
        throw EDecompressionError();
    }
}

TDecompressionStream::TDecompressionStream(TInflateState& state, TStream& source)
    : TCustomZlibStream(source), borrowed_(true) {
    z_ = &state.Fresh();
    z_->next_in = buffer_.get();
    z_->avail_in = 0;
}

TDecompressionStream::~TDecompressionStream() {
    // Leave the source just behind the compressed bytes actually used.
    if (z_->avail_in > 0) {
        try {
            strm_.Seek(-static_cast<int64_t>(z_->avail_in), SeekOrigin::Current);
        } catch (...) {
        }
    }
    if (!borrowed_) {
        inflateEnd(z_);
    }
}

int64_t TDecompressionStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count && !streamEnd_) {
        if (z_->avail_in == 0) {
            if (sourceEmpty_) {
                break;
            }
            const int64_t n = strm_.Read(buffer_.get(), kBufferSize);
            if (n <= 0) {
                sourceEmpty_ = true;
                break;
            }
            z_->next_in = buffer_.get();
            z_->avail_in = static_cast<uInt>(n);
            Progress();
        }
        const int64_t want = std::min(count - done, kMaxPiece);
        z_->next_out = out + done;
        z_->avail_out = static_cast<uInt>(want);
        const int ret = inflate(z_, Z_NO_FLUSH);
        done += want - static_cast<int64_t>(z_->avail_out);
        if (ret == Z_STREAM_END) {
            // Bytes after the stream's end are not inflated: the read stays short.
            streamEnd_ = true;
        } else if (ret < 0 || ret == Z_NEED_DICT) {
            // A preset dictionary is never used by the store, so asking for one is corruption.
            throw EDecompressionError();
        }
    }
    z_->next_out = nullptr;
    z_->avail_out = 0;
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
