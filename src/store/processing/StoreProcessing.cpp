#include "store/processing/StoreProcessing.h"

#include <cstring>
#include <limits>

namespace quorv::store {

namespace {

// Sizes beyond 32 bits go as "all of the source from its start", which the algorithms
// count in 64 bits.
int32_t DataSizeOf(TMemoryStream& stream) {
    const int64_t size = stream.Size();
    return size <= std::numeric_limits<int32_t>::max() ? static_cast<int32_t>(size) : -1;
}

}  // namespace

TStoreProcessing::TStoreProcessing() : compressMgr_(this), encryptMgr_(this) {}

TStoreProcessing::~TStoreProcessing() = default;

// Both directions run up to two steps; the second works on a copy of what the first wrote.
void TStoreProcessing::RunSteps(TMemoryStream& source, TMemoryStream& dest, const Step& first,
                                const Step& second) {
    std::lock_guard lock(mutex_);
    const bool same = &source == &dest;
    source.SetPosition(0);
    if (!same) {
        dest.Clear();
    }
    if (!first && !second) {
        if (!same) {
            dest.CopyFrom(source, 0);
        }
        return;
    }
    if (first) {
        first(source, dest);
    }
    if (second) {
        if (!first) {
            source.SetPosition(0);
            second(source, dest);
        } else {
            TMemoryStream image;
            image.CopyFrom(dest, 0);
            dest.Clear();
            image.SetPosition(0);
            second(image, dest);
        }
    }
}

void TStoreProcessing::EncodeStream(TMemoryStream& source, TMemoryStream& dest, bool compress,
                                    bool encrypt) {
    Step deflate, encipher;
    if (compress) {
        deflate = [this](TMemoryStream& s, TMemoryStream& d) {
            compressMgr_.EncodeData(&s, &d, DataSizeOf(s));
        };
    }
    if (encrypt) {
        encipher = [this](TMemoryStream& s, TMemoryStream& d) {
            encryptMgr_.EncodeData(&s, &d, DataSizeOf(s));
        };
    }
    RunSteps(source, dest, deflate, encipher);
}

void TStoreProcessing::DecodeStream(TMemoryStream& source, TMemoryStream& dest, bool compress,
                                    bool encrypt) {
    Step decipher, inflate;
    if (encrypt) {
        decipher = [this](TMemoryStream& s, TMemoryStream& d) {
            encryptMgr_.DecodeData(&s, &d, DataSizeOf(s));
        };
    }
    if (compress) {
        inflate = [this](TMemoryStream& s, TMemoryStream& d) {
            compressMgr_.DecodeData(&s, &d, DataSizeOf(s));
        };
    }
    RunSteps(source, dest, decipher, inflate);
}

void TStoreProcessing::EncodeFieldBuffer(const void* source, void* dest, bool encrypt,
                                         int32_t size) {
    std::lock_guard lock(mutex_);
    if (encrypt) {
        encryptMgr_.EncodeBuffer(source, dest, size);
    } else if (size > 0 && source != dest) {
        std::memmove(dest, source, static_cast<size_t>(size));
    }
}

void TStoreProcessing::DecodeFieldBuffer(const void* source, void* dest, bool encrypt,
                                         int32_t size) {
    std::lock_guard lock(mutex_);
    if (encrypt) {
        encryptMgr_.DecodeBuffer(source, dest, size);
    } else if (size > 0 && source != dest) {
        std::memmove(dest, source, static_cast<size_t>(size));
    }
}

void TStoreProcessing::EncodeFieldBuffers(const TCipherMessage* messages, size_t count) {
    std::lock_guard lock(mutex_);
    encryptMgr_.EncodeMessages(messages, count);
}

void TStoreProcessing::DecodeFieldBuffers(const TCipherMessage* messages, size_t count) {
    std::lock_guard lock(mutex_);
    encryptMgr_.DecodeMessages(messages, count);
}

void TStoreProcessing::SetProgressEvents(TProcessProgressEvents events) {
    std::lock_guard lock(mutex_);
    events_ = std::move(events);
}

void TStoreProcessing::CompressProgress(int percent) const {
    if (events_.OnCompressProgress) {
        events_.OnCompressProgress(percent);
    }
}

void TStoreProcessing::UncompressProgress(int percent) const {
    if (events_.OnUncompressProgress) {
        events_.OnUncompressProgress(percent);
    }
}

void TStoreProcessing::EncryptProgress(int percent) const {
    if (events_.OnEncryptProgress) {
        events_.OnEncryptProgress(percent);
    }
}

void TStoreProcessing::DecryptProgress(int percent) const {
    if (events_.OnDecryptProgress) {
        events_.OnDecryptProgress(percent);
    }
}

}  // namespace quorv::store
