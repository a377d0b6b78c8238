#include "store/KeyCompare.h"

#include <unicode/ucol.h>
#include <unicode/utf8.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "store/Coding.h"
#include "store/FieldTypes.h"
#include "store/processing/StoreErrors.h"

namespace quorv::store {

namespace {

struct CollatorCloser {
    void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

CollatorPtr OpenCollator(UCollationStrength strength) {
    UErrorCode status = U_ZERO_ERROR;
    CollatorPtr collator(ucol_open("", &status));
    if (U_FAILURE(status)) {
        throw EDatabaseError(std::string("Cannot open the text collation: ") + u_errorName(status));
    }
    ucol_setStrength(collator.get(), strength);
    return collator;
}

// One collator per strength for the whole process; ICU collators are safe to share for
// comparisons once set up.
const UCollator* Collator(bool caseInsensitive) {
    static std::once_flag once;
    static CollatorPtr exact;
    static CollatorPtr secondary;
    // Case-sensitive keys compare to the tertiary level and then by code points, so an
    // exact lookup is exact: at the tertiary level alone "Office" would equal "Office"
    // with an invisible zero-width space in it.
    std::call_once(once, [] {
        exact = OpenCollator(UCOL_IDENTICAL);
        secondary = OpenCollator(UCOL_SECONDARY);
    });
    return caseInsensitive ? secondary.get() : exact.get();
}

bool IsAscii(std::string_view s) {
    for (char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// The first `chars` characters of text (invalid bytes count as one character each).
std::string_view FirstChars(std::string_view text, size_t chars) {
    int32_t i = 0;
    const auto length = static_cast<int32_t>(text.size());
    for (size_t n = 0; n < chars && i < length; ++n) {
        UChar32 c;
        U8_NEXT(text.data(), i, length, c);
        (void)c;
    }
    return text.substr(0, static_cast<size_t>(i));
}

size_t CharCount(std::string_view text) {
    int32_t i = 0;
    size_t n = 0;
    const auto length = static_cast<int32_t>(text.size());
    while (i < length) {
        UChar32 c;
        U8_NEXT(text.data(), i, length, c);
        (void)c;
        ++n;
    }
    return n;
}

template <class T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Doubles in a total order: NaN after every number, and equal to itself.
int OrderDouble(double a, double b) {
    const bool na = std::isnan(a);
    const bool nb = std::isnan(b);
    if (na || nb) {
        return na == nb ? 0 : (na ? 1 : -1);
    }
    return Order(a, b);
}

// A fixed-width value shorter than its type (an unset key value) reads as zero.
template <size_t N>
void Padded(std::string_view v, uint8_t (&out)[N]) {
    std::memset(out, 0, N);
    std::memcpy(out, v.data(), std::min(v.size(), N));
}

}  // namespace

int16_t Int16Of(std::string_view v) {
    uint8_t b[2];
    Padded(v, b);
    return DecodeFixed16(b);
}

int32_t Int32Of(std::string_view v) {
    uint8_t b[4];
    Padded(v, b);
    return DecodeFixed32(b);
}

int64_t Int64Of(std::string_view v) {
    uint8_t b[8];
    Padded(v, b);
    return DecodeFixed64(b);
}

double DoubleOf(std::string_view v) {
    const int64_t bits = Int64Of(v);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::string NativeInt16(int16_t v) {
    std::string s(2, '\0');
    EncodeFixed16(reinterpret_cast<uint8_t*>(s.data()), v);
    return s;
}

std::string NativeInt32(int32_t v) {
    std::string s(4, '\0');
    EncodeFixed32(reinterpret_cast<uint8_t*>(s.data()), v);
    return s;
}

std::string NativeInt64(int64_t v) {
    std::string s(8, '\0');
    EncodeFixed64(reinterpret_cast<uint8_t*>(s.data()), v);
    return s;
}

std::string NativeDouble(double v) {
    int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return NativeInt64(bits);
}

std::string TimeText(int64_t ms, bool withMillis) {
    if (ms < 0) {
        ms = 0;
    }
    char buf[32];
    const auto h = static_cast<int>(ms / 3600000);
    const auto m = static_cast<int>(ms / 60000 % 60);
    const auto s = static_cast<int>(ms / 1000 % 60);
    if (withMillis) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", h, m, s, static_cast<int>(ms % 1000));
    } else {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, m, s);
    }
    return buf;
}

std::string DateText(int32_t dayNumber) {
    int32_t y, mo, d;
    CivilFromDayNumber(dayNumber, y, mo, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, d);
    return buf;
}

std::string DateTimeText(double ms, bool withMillis) {
    if (!std::isfinite(ms) || std::fabs(ms) > 1e18) {
        return {};
    }
    const auto total = static_cast<int64_t>(std::llround(ms));
    return DateText(static_cast<int32_t>(total / 86400000)) + " " +
           TimeText(total % 86400000, withMillis);
}

std::string FloatText(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    return buf;
}

int CollateText(std::string_view a, std::string_view b, bool caseInsensitive) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult r =
        ucol_strcollUTF8(Collator(caseInsensitive), a.data(), static_cast<int32_t>(a.size()),
                         b.data(), static_cast<int32_t>(b.size()), &status);
    if (U_FAILURE(status)) {
        // Only possible for absurd lengths; byte order keeps the order total.
        return Order(a, b);
    }
    return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

int CompareFieldValues(uint8_t fieldType, std::string_view a, std::string_view b,
                       bool caseInsensitive, bool partial) {
    switch (fieldType) {
        case ftString:
        case ftFixedChar:
        case ftMemo:
        case ftFmtMemo:
        case ftOraClob:
            if (partial) {
                b = IsAscii(b) ? b.substr(0, std::min(b.size(), a.size()))
                               : FirstChars(b, CharCount(a));
            }
            return CollateText(a, b, caseInsensitive);
        case ftSmallint:
            return Order(Int16Of(a), Int16Of(b));
        case ftWord:
            return Order(static_cast<uint16_t>(Int16Of(a)), static_cast<uint16_t>(Int16Of(b)));
        case ftBoolean:
            return Order(Int16Of(a) != 0, Int16Of(b) != 0);
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime:
            return Order(Int32Of(a), Int32Of(b));
        case ftLargeint:
            return Order(Int64Of(a), Int64Of(b));
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
            return OrderDouble(DoubleOf(a), DoubleOf(b));
        default: {
            // Binary values: byte order, the shorter first on a common prefix.
            const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
            return c != 0 ? (c < 0 ? -1 : 1) : Order(a.size(), b.size());
        }
    }
}

std::string RenderFieldValue(uint8_t fieldType, std::string_view value) {
    switch (fieldType) {
        case ftSmallint:
            return std::to_string(Int16Of(value));
        case ftWord:
            return std::to_string(static_cast<uint16_t>(Int16Of(value)));
        case ftBoolean:
            return Int16Of(value) != 0 ? "True" : "False";
        case ftInteger:
        case ftAutoInc:
            return std::to_string(Int32Of(value));
        case ftLargeint:
            return std::to_string(Int64Of(value));
        case ftFloat:
        case ftCurrency:
            return FloatText(DoubleOf(value));
        case ftDate:
            return DateText(Int32Of(value));
        case ftTime:
            return TimeText(Int32Of(value), false);
        case ftDateTime: {
            const std::string text = DateTimeText(DoubleOf(value), false);
            return text.empty() ? "?" : text;
        }
        default:
            return std::string(value);
    }
}

int32_t DayNumberFromCivil(int32_t year, int32_t month, int32_t day) {
    // Days from 1 March of year 0 (proleptic Gregorian), shifted so 0001-01-01 is day 1.
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t days = era * 146097 + doe;  // 0000-03-01 is 0
    return static_cast<int32_t>(days - 305);  // 0001-01-01 is 1
}

void CivilFromDayNumber(int32_t dayNumber, int32_t& year, int32_t& month, int32_t& day) {
    const int64_t z = static_cast<int64_t>(dayNumber) + 305;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int32_t>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace quorv::store
