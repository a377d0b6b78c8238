#pragma once

#include <cstdint>
#include <vector>

namespace quorv::store {

class TStoreFileIO;

// Reads records' fixed parts one after another for a check of the whole table. Records
// appended one after another lie close together, so a record that follows the previous
// one closely brings the next ones along in one large read instead of a read each; one
// elsewhere is read alone, so a table in random order costs no more than before.
class TFixedPartReader {
  public:
    // recordSize: bytes of a fixed part; imageSize: the file's size, which every record
    // read lies within (the caller has checked).
    TFixedPartReader(TStoreFileIO& file, int32_t recordSize, int64_t imageSize);

    // The fixed part at dataOffset, valid until the next call.
    const uint8_t* Read(int64_t dataOffset);

  private:
    TStoreFileIO& file_;
    int64_t recordSize_;
    int64_t imageSize_;
    std::vector<uint8_t> piece_;
    int64_t pieceStart_ = 0;
    int64_t pieceLength_ = 0;
    int64_t lastOffset_ = INT64_MAX;
};

}  // namespace quorv::store
