#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

namespace quorv::inventory {

// CIM type codes as the WMI scripting objects report them.
enum class CimType {
    SInt16 = 2,
    SInt32 = 3,
    Real32 = 4,
    Real64 = 5,
    String = 8,
    Boolean = 11,
    Object = 13,
    SInt8 = 16,
    UInt8 = 17,
    UInt16 = 18,
    UInt32 = 19,
    SInt64 = 20,
    UInt64 = 21,
    DateTime = 101,
    Reference = 102,
    Char16 = 103,
};

struct CimValue {
    CimType type = CimType::String;
    bool isNull = true;
    bool isArray = false;
    QVariantList items;  // one item for a scalar

    static CimValue Null(CimType type);
    static CimValue Of(CimType type, const QVariant& value);
    static CimValue Array(CimType type, const QVariantList& values);
};

// The signed and unsigned integer types and the two real ones.
bool IsNumericCimType(CimType type);

// A property value as the inventory shows it: "NULL", decimal integers, "True"/"False",
// arrays joined with "|", placeholders for objects and 16-bit characters.
QString CimValueToText(const CimValue& value);

// One object of a class: its properties in the order the provider lists them.
using WmiObject = QList<QPair<QString, CimValue>>;

}  // namespace quorv::inventory
