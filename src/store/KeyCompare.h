#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorv::store {

// One key value per key field, in the field's native form: the text (without its NUL)
// for string and memo fields, the whole value for blob fields, and the stored
// little-endian bytes for every fixed-width type.
using TKeyValues = std::vector<std::string>;

// Fixed-width native values and their numbers. A value shorter than its type (an unset
// key value, no current record) reads as zero.
int16_t Int16Of(std::string_view v);
int32_t Int32Of(std::string_view v);
int64_t Int64Of(std::string_view v);
double DoubleOf(std::string_view v);
std::string NativeInt16(int16_t v);
std::string NativeInt32(int32_t v);
std::string NativeInt64(int64_t v);
std::string NativeDouble(double v);

// Orders two values of one field. String values follow the ICU root collation: letter
// case decides at the tertiary level and any remaining difference by code points, or
// only accents and letters count when caseInsensitive. Numbers, dates and times compare
// by value. `partial` compares only as many characters of b as a has.
// Returns -1, 0 or +1.
int CompareFieldValues(uint8_t fieldType, std::string_view a, std::string_view b,
                       bool caseInsensitive, bool partial = false);

// Collation only; exposed for the cursor's text ordering and for tests.
int CollateText(std::string_view a, std::string_view b, bool caseInsensitive);

// A readable rendering of a native value, as unique-key messages and tools show it:
// text as it is, integers in decimal, booleans "True"/"False", dates "YYYY-MM-DD", times
// "HH:MM:SS", date-times both.
std::string RenderFieldValue(uint8_t fieldType, std::string_view value);

// Calendar helpers for the stored day numbers (1 January of year 1 is day 1).
int32_t DayNumberFromCivil(int32_t year, int32_t month, int32_t day);
void CivilFromDayNumber(int32_t dayNumber, int32_t& year, int32_t& month, int32_t& day);

// "YYYY-MM-DD" of a day number.
std::string DateText(int32_t dayNumber);
// "HH:MM:SS", or "HH:MM:SS.mmm" with withMillis, of milliseconds since midnight; a
// negative count reads as midnight.
std::string TimeText(int64_t ms, bool withMillis);
// Both, of milliseconds since day 0; empty for a value no date-time can hold.
std::string DateTimeText(double ms, bool withMillis);
// A float value with up to 15 significant digits.
std::string FloatText(double value);

}  // namespace quorv::store
