#include "store/processing/Compress_Zlib.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "store/processing/StoreErrors.h"
#include "store/processing/ZlibUnit.h"

namespace quorv::store {

namespace {

// Deflate cannot expand more than this: a 258-byte match costs at least two bits.
constexpr int64_t kMaxInflateRatio = 1032;

// Values up to this size (most: a profile's script is a few lines) are deflated with a
// small hash table, whose reset clears 8 KiB instead of 64 KiB; a memLevel of 6 still
// holds the whole value in one block.
constexpr int64_t kSmallValue = 4096;
constexpr int kSmallMemLevel = 6;

void WriteInt32(TStream& dest, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                              static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
    dest.WriteBuffer(bytes, 4);
}

int32_t ReadInt32(TStream& source) {
    uint8_t b[4];
    source.ReadBuffer(b, 4);
    return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                uint32_t{b[3]} << 24);
}

void Empty(TStream& stream) {
    stream.SetSize(0);
    stream.SetPosition(0);
}

}  // namespace

int ZlibLevelForCode(uint8_t code) {
    switch (code) {
        case 0:
            return Z_BEST_COMPRESSION;
        case 1:
            return Z_DEFAULT_COMPRESSION;
        case 2:
        case 3:
            return Z_BEST_SPEED;
        default:
            return Z_NO_COMPRESSION;
    }
}

TCompAlgo_Zlib::TCompAlgo_Zlib(TStoreProcessing* owner) : TCompressAlgo(owner) {}

TCompAlgo_Zlib::~TCompAlgo_Zlib() = default;

void TCompAlgo_Zlib::EncodeData(TStream* source, TStream* dest, int32_t) {
    Apply(&TCompAlgo_Zlib::Encode, source, dest);
}

void TCompAlgo_Zlib::DecodeData(TStream* source, TStream* dest, int32_t) {
    Apply(&TCompAlgo_Zlib::Decode, source, dest);
}

void TCompAlgo_Zlib::Apply(void (TCompAlgo_Zlib::*step)(TStream&, TStream&), TStream* source,
                           TStream* dest) {
    if (source == nullptr) {
        return;
    }
    if (dest == nullptr || dest == source) {
        // The result replaces the input, so work from a copy of it.
        TMemoryStream copy;
        copy.CopyFrom(*source, 0);
        (this->*step)(copy, *source);
    } else {
        (this->*step)(*source, *dest);
    }
}

void TCompAlgo_Zlib::Encode(TStream& source, TStream& dest) {
    const int64_t sourceSize = source.Size();
    if (sourceSize > std::numeric_limits<int32_t>::max()) {
        // The prefix is 32 bits wide.
        throw ECompressionError();
    }
    Empty(dest);
    if (sourceSize == 0) {
        return;
    }
    const auto n = static_cast<int32_t>(sourceSize);
    WriteInt32(dest, n);
    {
        // Taken out while in use: a progress handler that compresses another value meanwhile
        // gets a state of its own, and a failure drops this one.
        const bool small = sourceSize <= kSmallValue;
        std::unique_ptr<TDeflateState>& kept = small ? smallDeflate_ : deflate_;
        std::unique_ptr<TDeflateState> state = std::move(kept);
        if (!state) {
            state = small ? std::make_unique<TDeflateState>(kSmallMemLevel)
                          : std::make_unique<TDeflateState>();
        }
        TCompressionStream zs(*state, ZlibLevelForCode(compressLevel_), dest);
        zs.OnProgress = [this, sourceSize](TCustomZlibStream& s) {
            DoEncodeProgress(ProgressPercent(s.TotalIn(), sourceSize));
        };
        zs.CopyFrom(source, 0);
        zs.Close();
        kept = std::move(state);
    }
    dest.SetPosition(0);
    if (dest.Size() - 4 < n) {
        return;
    }
    // Deflate did not pay: keep the bytes as they are.
    Empty(dest);
    WriteInt32(dest, -n);
    dest.CopyFrom(source, 0);
}

void TCompAlgo_Zlib::Decode(TStream& source, TStream& dest) {
    const int64_t sourceSize = source.Size();
    Empty(dest);
    if (sourceSize == 0) {
        return;
    }
    source.SetPosition(0);
    const int32_t prefix = ReadInt32(source);
    const int64_t available = sourceSize - 4;
    if (prefix < 0) {
        // Stored form: the value is the rest of the image whatever count the marker gives,
        // as other writers of the format read it.
        if (available > 0) {
            dest.CopyFrom(source, available);
        }
        return;
    }
    // The prefix is untrusted: refuse lengths the image cannot hold, and let the output grow
    // with what actually inflates rather than allocating the claimed size.
    if (prefix > available * kMaxInflateRatio + kMaxInflateRatio) {
        throw EReadError();
    }
    {
        std::unique_ptr<TInflateState> state = std::move(inflate_);  // as in Encode
        if (!state) {
            state = std::make_unique<TInflateState>();
        }
        TDecompressionStream zs(*state, source);
        zs.OnProgress = [this, &source, sourceSize](TCustomZlibStream&) {
            DoDecodeProgress(ProgressPercent(source.Position(), sourceSize));
        };
        std::vector<uint8_t> chunk(
            static_cast<size_t>(std::min<int64_t>(prefix, TCustomZlibStream::kBufferSize)));
        int64_t left = prefix;
        while (left > 0) {
            const int64_t want = std::min<int64_t>(left, static_cast<int64_t>(chunk.size()));
            zs.ReadBuffer(chunk.data(), want);
            dest.WriteBuffer(chunk.data(), want);
            left -= want;
        }
        inflate_ = std::move(state);
    }
    dest.SetPosition(0);
}

}  // namespace quorv::store
