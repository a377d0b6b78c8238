#include "store/FixedPartReader.h"

#include <algorithm>

#include "store/StoreFileIO.h"

namespace quorv::store {

namespace {

constexpr int64_t kPieceSize = 64 * 1024;
// How near the previous record the next must start to count as following it.
constexpr int64_t kFollowingGap = 16 * 1024;

}  // namespace

TFixedPartReader::TFixedPartReader(TStoreFileIO& file, int32_t recordSize, int64_t imageSize)
    : file_(file), recordSize_(recordSize), imageSize_(imageSize) {}

const uint8_t* TFixedPartReader::Read(int64_t dataOffset) {
    const bool inPiece = pieceLength_ > 0 && dataOffset >= pieceStart_ &&
                         dataOffset + recordSize_ <= pieceStart_ + pieceLength_;
    if (!inPiece) {
        const bool following =
            dataOffset > lastOffset_ && dataOffset - lastOffset_ <= kFollowingGap;
        const int64_t length =
            following ? std::max(recordSize_, std::min(kPieceSize, imageSize_ - dataOffset))
                      : recordSize_;
        if (piece_.size() < static_cast<size_t>(length)) {
            piece_.resize(static_cast<size_t>(length));
        }
        file_.ReadAt(dataOffset, piece_.data(), length);
        pieceStart_ = dataOffset;
        pieceLength_ = length;
    }
    lastOffset_ = dataOffset;
    return piece_.data() + (dataOffset - pieceStart_);
}

}  // namespace quorv::store
