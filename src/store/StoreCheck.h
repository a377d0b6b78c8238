#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorv::store {

class TStoreFileIO;

// What reading a whole database found.
struct TStoreCheckSummary {
    int32_t Tables = 0;
    int64_t Records = 0;     // live records read
    int64_t BlobValues = 0;  // memo and blob values decoded
    int64_t ValueBytes = 0;  // bytes of those values
};

// Reads every table, every live record and every memo/blob value of an open database,
// decoding all of it. Damage raises EDatabaseError (or the processing layer's errors);
// a wrong password for an encrypted image raises "Access denied".
TStoreCheckSummary ReadWholeDatabase(TStoreFileIO& file, const std::string& password);

// Checks an open database as a fresh reader sees it: every table, record tab, live record,
// memo and blob value and index list, and that no two areas in use overlap. One line per
// problem, none when the file is consistent; `records` gets the live records read.
std::vector<std::string> CheckDatabase(TStoreFileIO& file, int64_t* records = nullptr);

// The same for a database image held in memory, opened as a memory medium.
TStoreCheckSummary ReadWholeImage(const uint8_t* data, size_t size, const std::string& password);

}  // namespace quorv::store
