// The plug-in's own text formatter and scanner.
//
// These are not printf and scanf: every message and several text formats of the plug-in go
// through them, and their rules (widths only for integers, "%f" always with six fraction digits,
// fields separated by white space only, literal format characters skipped, not matched) are
// relied on by the files the plug-in writes and reads.
//
// Argument types: "%c", "%d" and "%x"/"%X" take an int; "%ld" takes a long (only its low 32 bits
// count); "%s" a const char*; "%f" a double. The scanner stores "%c" into a char*, "%d" and "%ld"
// into an int32_t*, "%f" into a float*, "%s" into a char* large enough for the field.
//
// Module code uses only the bounded formatter: output is cut at the buffer's size and always
// terminated. The unbounded form exists for completeness and its callers own the size risk.
//
// Checking the arguments: the conversions are a subset of printf's and take the same argument
// types, so every formatting function (these and the logging helpers built on them) carries
// UI_FORMAT_CHECK and the compiler checks its arguments as printf's (-Wformat=2). What the
// attribute cannot see, tests/structure_test.cpp reads from the sources: that a format uses no
// conversion printf has and this formatter lacks (%u, %i, %e, %g, precisions, flags other than
// 0). Formats that come from the string table cannot be checked at all; they go through
// Str_FormatPhrase, whose values are fixed by kind. The scanner is checked as scanf, which agrees
// on %c, %d, %f and %s; its %ld (a 32-bit integer, where scanf wants a long) is not used.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#define UI_FORMAT_CHECK(formatIndex, firstValue) \
    __attribute__((format(printf, formatIndex, firstValue)))

UI_FORMAT_CHECK(2, 3) void Ui_FormatString(char* dst, const char* format, ...);
// Same rules, at most cap - 1 characters and a terminator (cap >= 1). Returns the length written.
UI_FORMAT_CHECK(3, 4) size_t Str_FormatN(char* dst, size_t cap, const char* format, ...);
UI_FORMAT_CHECK(3, 0)
size_t Str_FormatV(char* dst, size_t cap, const char* format, va_list args);

// Formats a pattern that is not known when the code is compiled (a string-table text such as the
// action phrase "reading line %d of file %s") with the same rules. Its conversions cannot be
// checked against arguments, so the values are fixed instead: every number conversion ("%d",
// "%ld", "%x", "%c", "%f") takes number, the first "%s" takes text and the second text2 (null
// texts read as empty). Bounded as Str_FormatN; returns the length written.
size_t Str_FormatPhrase(char* dst, size_t cap, const char* pattern, int32_t number,
                        const char* text = nullptr, const char* text2 = nullptr);

// Returns the number of fields stored; every conversion reached counts.
__attribute__((format(scanf, 2, 3))) int32_t Ui_ScanString(const char* text, const char* format,
                                                           ...);
