#pragma once

// Numbers to text for printouts, reports and parameter boxes.
//
// Everything goes through std::to_chars, so the output never depends on the C or C++ locale;
// the separators the user sees come only from NumberSeparators.
//
// Every format starts from the value rounded correctly to 15 significant decimal digits.
// The fixed-decimal formats (Standard, Scientific, Signed2) then round that decimal text half
// away from zero, so 2.675 gives "2.68" and 1.005 gives "1.01" even though the doubles lie
// just below those halves; people check printouts by hand and expect school rounding.
//
// A result that shows only zeros never carries a minus sign: -0.0 and -0.004 give "0.00",
// "+.00" and "0.00E+00", and General gives "0".
//
// Infinities and NaN (which guarded arithmetic should never produce) come out as "inf",
// "-inf" and "nan" in every format, without separators or a "+".

#include <cstdint>
#include <string>

namespace text {

struct NumberSeparators {
    // UTF-8; either may be several bytes, e.g. U+202F NARROW NO-BREAK SPACE for grouping.
    std::string decimal = ".";
    std::string grouping = ",";
};

// At most 15 significant digits, no trailing zeros, "0" before the separator below 1, no
// separator for whole numbers: "2", "0.05", "-2.5", "0.333333333333333".
// Fixed notation when the rounded value's decimal exponent lies in -4..14, i.e. for
// 1e-4 <= |v| < 1e15; otherwise a mantissa without trailing zeros, "E", an always-signed
// exponent of at least two digits: "1E-05", "1.5E+20", "1E+15". The exponent is the one after
// rounding, so 9.999999999999999e14 gives "1E+15".
std::string FormatGeneral(double v, const NumberSeparators& seps = {});

// Two decimals, thousands grouped, at least one integer digit: "1,234.50", "0.00", "-4.50".
std::string FormatStandard(double v, const NumberSeparators& seps = {});

// d.ddE+xx with an always-signed exponent of at least two digits: "1.23E-02", "1.00E-300".
std::string FormatScientific(double v, const NumberSeparators& seps = {});

// "+###.00;-###.00": always a sign, integer digits without grouping or a leading zero, two
// decimals: "+.50", "-3.00", "+1234.50".
std::string FormatSigned2(double v, const NumberSeparators& seps = {});

// FormatSigned2 appended to `out`, without a string of its own per value.
void AppendSigned2(std::string& out, double v, const NumberSeparators& seps);

// FormatSigned2 of values[0 .. count - 1], each followed by a TAB, appended to `out`: the
// cells of a report row, written straight into the string's memory.
void AppendSigned2Cells(std::string& out, const double* values, int count,
                        const NumberSeparators& seps);

// The fast path of FormatSigned2: the rounded value in hundredths, |v| rounded to 15 digits
// and then to two decimals, found by integer arithmetic on the double's bits. Returns false
// when that cannot be proved to agree with the rounding by decimal digits: for |v| >= 2^31,
// non-finite values and values within about 1e-14 (relative) of a half hundredth.
bool Signed2Hundredths(double v, std::uint64_t* hundredths);

// FormatSigned2 by decimal digits, for every value; what the fast path falls back on.
std::string FormatSigned2Decimal(double v, const NumberSeparators& seps = {});

// v rounded to `digits` significant decimal digits (1 to 17), as the shortest text of that
// many digits reads back; infinities and NaN unchanged.
double RoundToSignificant(double v, int digits);

// Plain decimal digits with a leading "-" for negatives, no grouping.
std::string FormatInteger(long long v);

}  // namespace text
