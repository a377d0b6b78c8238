#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/TableHeader.h"

namespace quorv::store {

// A field as a caller describes it when creating a table.
struct TFieldDesc {
    std::string Name;
    uint8_t FieldType = 0;
    int32_t Size = 0;
    uint8_t SkipProcessing = 0;
};

TFieldDesc MakeFieldItem(std::string name, uint8_t fieldType, int32_t size,
                         uint8_t skipProcessing = 0);

// Raises the EDatabaseError of the first rule the descriptions break.
void ValidateFieldDescs(const std::vector<TFieldDesc>& fields);

// The header of a new, empty table. A table with an auto-increment field gets its
// primary index, named like the field, whose tab will start at firstIndexBlock.
TTableHeader BuildTableHeader(const std::string& name, const std::vector<TFieldDesc>& fields,
                              int32_t firstIndexBlock);

}  // namespace quorv::store
