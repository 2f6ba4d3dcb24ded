// Reading a JSON5 number literal (internal to src/json5).
#pragma once

#include "src/json5/json5_reader.h"
#include "src/json5/json5_scan.h"

struct Json5NumberError {
    const json5_scan::Byte* at;  // where the error is reported
    const char* message;         // a static text
};

// The number at `p` (p < end): a sign, then digits, a fraction, an exponent,
// 0x and hex digits, Infinity or NaN. Sets `v` (kind, double, float and the
// integer when it is one) and leaves `p` after the literal; false, with
// `error` set, when it is no number.
bool json5_scan_number(const json5_scan::Byte*& p, const json5_scan::Byte* end, Json5Value& v, Json5NumberError& error);
