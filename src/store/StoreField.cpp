#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>

#include "store/FieldTypes.h"
#include "store/StoreTable.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

constexpr int64_t kMsPerDay = 86400000;

bool IsIntegerType(uint8_t t) {
    return t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint;
}

bool IsFloatType(uint8_t t) {
    return t == ftFloat || t == ftCurrency;
}

bool ParseInt64(std::string_view text, int64_t& out) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    const auto r = std::from_chars(begin, end, out);
    return r.ec == std::errc() && r.ptr == end && begin != end;
}

bool ParseDouble(std::string_view text, double& out) {
    if (text.empty()) {
        return false;
    }
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno != ERANGE;
}

// Reads `count` decimal digits.
bool Digits(std::string_view& text, size_t count, int32_t& out) {
    if (text.size() < count) {
        return false;
    }
    out = 0;
    for (size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        out = out * 10 + (text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

bool Expect(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

// "YYYY-MM-DD"
bool ParseDate(std::string_view& text, int32_t& dayNumber) {
    int32_t y, m, d;
    if (!Digits(text, 4, y) || !Expect(text, '-') || !Digits(text, 2, m) || !Expect(text, '-') ||
        !Digits(text, 2, d)) {
        return false;
    }
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > 31) {
        return false;
    }
    dayNumber = DayNumberFromCivil(y, m, d);
    int32_t cy, cm, cd;
    CivilFromDayNumber(dayNumber, cy, cm, cd);
    return cy == y && cm == m && cd == d;  // 2023-02-30 is no date
}

// "HH:MM[:SS[.mmm]]"
bool ParseTime(std::string_view& text, int32_t& ms) {
    int32_t h, m, s = 0, milli = 0;
    if (!Digits(text, 2, h) || !Expect(text, ':') || !Digits(text, 2, m)) {
        return false;
    }
    if (!text.empty() && text.front() == ':') {
        text.remove_prefix(1);
        if (!Digits(text, 2, s)) {
            return false;
        }
        if (!text.empty() && text.front() == '.') {
            text.remove_prefix(1);
            if (!Digits(text, 3, milli)) {
                return false;
            }
        }
    }
    if (h > 23 || m > 59 || s > 59) {
        return false;
    }
    ms = ((h * 60 + m) * 60 + s) * 1000 + milli;
    return true;
}

// Boolean words match ignoring letter case.
std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

[[noreturn]] void NotValid(std::string_view text, const char* what) {
    throw EDatabaseError("'" + std::string(text) + "' is not a valid " + what);
}

}  // namespace

const std::string& TStoreField::FieldName() const {
    return table_.FieldDefs()[fieldNo_].Name;
}

uint8_t TStoreField::DataType() const {
    return table_.FieldDefs()[fieldNo_].FieldType;
}

int32_t TStoreField::Size() const {
    return table_.FieldDefs()[fieldNo_].Size;
}

bool TStoreField::IsBlob() const {
    return table_.FieldDefs()[fieldNo_].IsBlob();
}

std::string TStoreField::Native() const {
    return table_.FieldValue(fieldNo_);
}

void TStoreField::SetNative(std::string value) {
    table_.SetFieldValue(fieldNo_, std::move(value));
}

std::string TStoreField::AsString() const {
    const uint8_t type = DataType();
    const std::string& v = table_.FieldValue(fieldNo_);
    if (IsStringFieldType(type) || IsBlob()) {
        return v;
    }
    if (v.empty()) {
        return {};  // no current record
    }
    switch (type) {
        case ftBoolean:
            return AsBoolean() ? "True" : "False";
        case ftFloat:
        case ftCurrency:
            return FloatText(DoubleOf(v));
        case ftDate:
            return DateText(Int32Of(v));
        case ftTime:
            return TimeText(std::clamp<int64_t>(Int32Of(v), 0, kMsPerDay - 1), true);
        case ftDateTime:
            return DateTimeText(DoubleOf(v), true);
        default:
            return std::to_string(AsLargeInt());
    }
}

void TStoreField::SetAsString(std::string_view text) {
    const uint8_t type = DataType();
    if (IsStringFieldType(type) || IsBlob()) {
        SetNative(std::string(text));
        return;
    }
    if (IsIntegerType(type)) {
        int64_t v;
        if (!ParseInt64(text, v)) {
            NotValid(text, "integer value");
        }
        SetAsLargeInt(v);
        return;
    }
    if (IsFloatType(type)) {
        double d;
        if (!ParseDouble(text, d)) {
            NotValid(text, "floating point value");
        }
        SetAsFloat(d);
        return;
    }
    std::string_view rest = text;
    switch (type) {
        case ftBoolean: {
            const std::string lower = AsciiLower(text);
            if (lower == "true" || lower == "1") {
                SetAsBoolean(true);
            } else if (lower == "false" || lower == "0") {
                SetAsBoolean(false);
            } else {
                NotValid(text, "boolean value");
            }
            return;
        }
        case ftDate: {
            int32_t day;
            if (!ParseDate(rest, day) || !rest.empty()) {
                NotValid(text, "date");
            }
            SetNative(NativeInt32(day));
            return;
        }
        case ftTime: {
            int32_t ms;
            if (!ParseTime(rest, ms) || !rest.empty()) {
                NotValid(text, "time");
            }
            SetNative(NativeInt32(ms));
            return;
        }
        case ftDateTime: {
            int32_t day;
            int32_t ms = 0;
            if (!ParseDate(rest, day)) {
                NotValid(text, "date and time");
            }
            if (!rest.empty()) {
                if ((rest.front() != 'T' && rest.front() != ' ')) {
                    NotValid(text, "date and time");
                }
                rest.remove_prefix(1);
                if (!ParseTime(rest, ms) || !rest.empty()) {
                    NotValid(text, "date and time");
                }
            }
            SetNative(NativeDouble(static_cast<double>(day) * kMsPerDay + ms));
            return;
        }
        default:
            NotValid(text, "value");
    }
}

int64_t TStoreField::AsLargeInt() const {
    const uint8_t type = DataType();
    const std::string& v = table_.FieldValue(fieldNo_);
    if (v.empty() && !IsStringFieldType(type)) {
        return 0;
    }
    switch (type) {
        case ftSmallint:
        case ftBoolean:
            return Int16Of(v);
        case ftWord:
            return static_cast<uint16_t>(Int16Of(v));
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime:
            return Int32Of(v);
        case ftLargeint:
            return Int64Of(v);
        case ftFloat:
        case ftCurrency:
        case ftDateTime: {
            const double d = DoubleOf(v);
            if (!std::isfinite(d) || std::fabs(d) > 9.2e18) {
                NotValid(AsString(), "integer value");
            }
            return std::llround(d);
        }
        default: {
            if (v.empty()) {
                return 0;
            }
            int64_t out;
            if (!ParseInt64(v, out)) {
                NotValid(v, "integer value");
            }
            return out;
        }
    }
}

int32_t TStoreField::AsInteger() const {
    const int64_t v = AsLargeInt();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        NotValid(std::to_string(v), "integer value");
    }
    return static_cast<int32_t>(v);
}

void TStoreField::SetAsLargeInt(int64_t value) {
    const uint8_t type = DataType();
    auto range = [&](int64_t lo, int64_t hi) {
        if (value < lo || value > hi) {
            NotValid(std::to_string(value), "integer value");
        }
    };
    switch (type) {
        case ftSmallint:
            range(INT16_MIN, INT16_MAX);
            SetNative(NativeInt16(static_cast<int16_t>(value)));
            return;
        case ftWord:
            range(0, UINT16_MAX);
            SetNative(NativeInt16(static_cast<int16_t>(static_cast<uint16_t>(value))));
            return;
        case ftBoolean:
            SetAsBoolean(value != 0);
            return;
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime:
            range(INT32_MIN, INT32_MAX);
            SetNative(NativeInt32(static_cast<int32_t>(value)));
            return;
        case ftLargeint:
            SetNative(NativeInt64(value));
            return;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
            SetNative(NativeDouble(static_cast<double>(value)));
            return;
        default:
            SetNative(std::to_string(value));
    }
}

void TStoreField::SetAsInteger(int32_t value) {
    SetAsLargeInt(value);
}

double TStoreField::AsFloat() const {
    const uint8_t type = DataType();
    if (IsFloatType(type) || type == ftDateTime) {
        const std::string& v = table_.FieldValue(fieldNo_);
        return v.empty() ? 0.0 : DoubleOf(v);
    }
    if (IsStringFieldType(type) || IsBlob()) {
        const std::string& v = table_.FieldValue(fieldNo_);
        double d = 0;
        if (!v.empty() && !ParseDouble(v, d)) {
            NotValid(v, "floating point value");
        }
        return d;
    }
    return static_cast<double>(AsLargeInt());
}

void TStoreField::SetAsFloat(double value) {
    const uint8_t type = DataType();
    if (IsFloatType(type) || type == ftDateTime) {
        SetNative(NativeDouble(value));
    } else if (IsStringFieldType(type) || IsBlob()) {
        SetNative(FloatText(value));
    } else {
        if (!std::isfinite(value) || std::fabs(value) > 9.2e18) {
            NotValid(std::to_string(value), "integer value");
        }
        SetAsLargeInt(std::llround(value));
    }
}

bool TStoreField::AsBoolean() const {
    const uint8_t type = DataType();
    if (type == ftBoolean) {
        return Int16Of(table_.FieldValue(fieldNo_)) != 0;
    }
    if (IsStringFieldType(type) || IsBlob()) {
        const std::string v = AsString();
        if (v.empty()) {
            return false;
        }
        const std::string lower = AsciiLower(v);
        if (lower == "true") {
            return true;
        }
        if (lower == "false") {
            return false;
        }
        NotValid(v, "boolean value");
    }
    return AsLargeInt() != 0;
}

void TStoreField::SetAsBoolean(bool value) {
    const uint8_t type = DataType();
    if (type == ftBoolean) {
        SetNative(NativeInt16(value ? 1 : 0));
    } else if (IsStringFieldType(type) || IsBlob()) {
        SetNative(value ? "True" : "False");
    } else {
        SetAsLargeInt(value ? 1 : 0);
    }
}

}  // namespace quorv::store
