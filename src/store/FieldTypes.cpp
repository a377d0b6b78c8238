#include "store/FieldTypes.h"

#include "store/FileLayout.h"

namespace quorv::store {

bool IsAcceptedFieldType(int code) {
    return StoredFieldWidth(code, 1) > 0;
}

bool IsBlobFieldType(int code) {
    return (code >= ftBlob && code <= ftTypedBinary) || code == ftOraBlob || code == ftOraClob;
}

bool IsSizedFieldType(int code) {
    return code == ftString || code == ftFixedChar || code == ftWideString || code == ftGuid;
}

bool IsStringFieldType(int code) {
    return code == ftString || code == ftFixedChar;
}

int32_t StoredFieldWidth(int code, int32_t size) {
    switch (code) {
        case ftString:
        case ftFixedChar:
            return size + 1;
        case ftSmallint:
        case ftWord:
        case ftBoolean:
            return 2;
        case ftInteger:
        case ftDate:
        case ftTime:
        case ftAutoInc:
            return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftLargeint:
            return 8;
        case ftBlob:
        case ftMemo:
        case ftGraphic:
        case ftFmtMemo:
            return kBlobSlotSize;
        default:
            return 0;
    }
}

}  // namespace quorv::store
