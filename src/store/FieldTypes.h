#pragma once

#include <cstdint>

namespace quorv::store {

// Field type codes: the ordinals of the dataset framework's field types.
enum TFieldType : uint8_t {
    ftUnknown = 0,
    ftString = 1,
    ftSmallint = 2,
    ftInteger = 3,
    ftWord = 4,
    ftBoolean = 5,
    ftFloat = 6,
    ftCurrency = 7,
    ftBCD = 8,
    ftDate = 9,
    ftTime = 10,
    ftDateTime = 11,
    ftBytes = 12,
    ftVarBytes = 13,
    ftAutoInc = 14,
    ftBlob = 15,
    ftMemo = 16,
    ftGraphic = 17,
    ftFmtMemo = 18,
    ftParadoxOle = 19,
    ftDBaseOle = 20,
    ftTypedBinary = 21,
    ftCursor = 22,
    ftFixedChar = 23,
    ftWideString = 24,
    ftLargeint = 25,
    ftOraBlob = 30,
    ftOraClob = 31,
    ftGuid = 35,
};

// A type a table may hold.
bool IsAcceptedFieldType(int code);
// Codes whose value lives outside the fixed part (the size of such a field must be 0).
bool IsBlobFieldType(int code);
// Codes whose declared size is a character count (1..8192).
bool IsSizedFieldType(int code);
bool IsStringFieldType(int code);
// Bytes the field takes in a record's fixed part; 0 for types the store does not accept.
int32_t StoredFieldWidth(int code, int32_t size);

}  // namespace quorv::store
