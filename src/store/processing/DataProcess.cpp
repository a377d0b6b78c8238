#include "store/processing/DataProcess.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "store/processing/EncryptBase.h"

namespace quorv::store {

int ProgressPercent(int64_t current, int64_t total) {
    if (total == 0) {
        return 0;
    }
    const double x = static_cast<double>(current) / static_cast<double>(total) * 100.0;
    // Halves go to the even neighbour whatever the floating-point rounding mode is.
    const double lower = std::floor(x);
    const double frac = x - lower;
    double r = lower;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(lower, 2.0) != 0.0)) {
        r = lower + 1.0;
    }
    return static_cast<int>(r);
}

void TDataProcessAlgo::DoEncodeProgress(int percent) {
    if (OnEncodeProgress) {
        OnEncodeProgress(owner_, percent);
    }
}

void TDataProcessAlgo::DoDecodeProgress(int percent) {
    if (OnDecodeProgress) {
        OnDecodeProgress(owner_, percent);
    }
}

void TEncryptAlgo::EncodeData(TStream* source, TStream* dest, int32_t dataSize) {
    ProcessData(source, dest, dataSize, true);
}

void TEncryptAlgo::DecodeData(TStream* source, TStream* dest, int32_t dataSize) {
    ProcessData(source, dest, dataSize, false);
}

void TEncryptAlgo::ProcessData(TStream* source, TStream* dest, int32_t dataSize, bool encode) {
    if (source == nullptr) {
        return;
    }
    if (dest == nullptr) {
        dest = source;
    }
    const auto report = [this, encode](int64_t current, int64_t total) {
        const int percent = ProgressPercent(current, total);
        if (encode) {
            DoEncodeProgress(percent);
        } else {
            DoDecodeProgress(percent);
        }
    };
    int64_t left = dataSize;
    if (left < 0) {
        left = source->Size();
        source->SetPosition(0);
    }
    const int64_t total = left;

    report(0, total);
    try {
        std::vector<uint8_t> buffer(kChunkSize);
        int64_t readPos = source->Position();
        int64_t writePos = dest->Position();
        int64_t done = 0;
        while (left > 0) {
            source->Seek(readPos, SeekOrigin::Begin);
            const int64_t n = source->Read(buffer.data(), std::min<int64_t>(left, kChunkSize));
            readPos = source->Position();
            if (n <= 0) {
                break;
            }
            if (encode) {
                EncodeBuffer(buffer.data(), buffer.data(), static_cast<int32_t>(n));
            } else {
                DecodeBuffer(buffer.data(), buffer.data(), static_cast<int32_t>(n));
            }
            dest->Seek(writePos, SeekOrigin::Begin);
            dest->WriteBuffer(buffer.data(), n);
            writePos = dest->Position();
            done += n;
            report(done, total);
            left -= n;
        }
    } catch (...) {
        // The closing report is made on every exit; the original failure wins.
        try {
            report(0, 0);
        } catch (...) {
        }
        throw;
    }
    report(0, 0);
}

void TEncryptAlgo::EncodeMessages(const TCipherMessage* messages, size_t count) {
    for (size_t m = 0; m < count; ++m) {
        EncodeBuffer(messages[m].Source, messages[m].Dest, messages[m].Size);
        Done();
    }
}

void TEncryptAlgo::DecodeMessages(const TCipherMessage* messages, size_t count) {
    for (size_t m = 0; m < count; ++m) {
        DecodeBuffer(messages[m].Source, messages[m].Dest, messages[m].Size);
        Done();
    }
}

}  // namespace quorv::store
