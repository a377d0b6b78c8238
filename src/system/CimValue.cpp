#include "system/CimValue.h"

#include <QStringList>

#include <cstdio>

namespace quorv::inventory {
namespace {

// General format with at most 15 significant digits, exponent written as 1E20 / 1E-7.
QString RealText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    QString text = QString::fromLatin1(buffer);
    int e = text.indexOf(QLatin1Char('e'));
    if (e < 0) {
        return text;
    }
    QString mantissa = text.left(e);
    QString exponent = text.mid(e + 1);
    bool negative = exponent.startsWith(QLatin1Char('-'));
    exponent.remove(0, 1);
    while (exponent.size() > 1 && exponent.startsWith(QLatin1Char('0'))) {
        exponent.remove(0, 1);
    }
    return mantissa + QStringLiteral("E") + (negative ? QStringLiteral("-") : QString()) + exponent;
}

QString ItemText(CimType type, const QVariant& item) {
    switch (type) {
        case CimType::SInt8:
        case CimType::SInt16:
        case CimType::SInt32:
        case CimType::SInt64:
            return QString::number(item.toLongLong());
        case CimType::UInt8:
        case CimType::UInt16:
        case CimType::UInt32:
            return QString::number(item.toULongLong());
        case CimType::Real32:
        case CimType::Real64:
            return RealText(item.toDouble());
        case CimType::String:
        case CimType::UInt64:
        case CimType::DateTime:
        case CimType::Reference:
            return item.toString();
        case CimType::Boolean:
            return item.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        case CimType::Object:
            return QStringLiteral("<CIM Object>");
        case CimType::Char16:
            return QStringLiteral("<16-bit character>");
    }
    return QString();
}

bool IsKnown(CimType type) {
    if (IsNumericCimType(type)) {
        return true;
    }
    switch (type) {
        case CimType::String:
        case CimType::DateTime:
        case CimType::Reference:
        case CimType::Boolean:
        case CimType::Object:
        case CimType::Char16:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool IsNumericCimType(CimType type) {
    switch (type) {
        case CimType::SInt8:
        case CimType::SInt16:
        case CimType::SInt32:
        case CimType::SInt64:
        case CimType::UInt8:
        case CimType::UInt16:
        case CimType::UInt32:
        case CimType::UInt64:
        case CimType::Real32:
        case CimType::Real64:
            return true;
        default:
            return false;
    }
}

CimValue CimValue::Null(CimType type) {
    return CimValue{type, true, false, {}};
}

CimValue CimValue::Of(CimType type, const QVariant& value) {
    return CimValue{type, false, false, {value}};
}

CimValue CimValue::Array(CimType type, const QVariantList& values) {
    return CimValue{type, false, true, values};
}

QString CimValueToText(const CimValue& value) {
    if (value.isNull) {
        return QStringLiteral("NULL");
    }
    if (!IsKnown(value.type)) {
        return QString();
    }
    // Objects and 16-bit characters show a placeholder, never their content.
    if (value.type == CimType::Object || value.type == CimType::Char16 || !value.isArray) {
        return ItemText(value.type, value.items.value(0));
    }
    QStringList parts;
    for (const QVariant& item : value.items) {
        parts << ItemText(value.type, item);
    }
    return parts.join(QLatin1Char('|'));
}

}  // namespace quorv::inventory
