// The plug-in's own formatter and scanner; see format.h for the rules.
#include "platform/format.h"

#include <cmath>
#include <cstdint>

namespace {

// Output with a bound: characters beyond cap - 1 are dropped, the text is always terminated.
struct Sink {
    char* dst;
    size_t cap;  // SIZE_MAX for the unbounded form
    size_t len = 0;

    void Put(char c) {
        if (len + 1 < cap) dst[len] = c;
        ++len;
    }
    void Put(const char* s) {
        while (*s) Put(*s++);
    }
    size_t Finish() {
        size_t end = len < cap ? len : cap - 1;
        dst[end] = 0;
        return end;
    }
};

// Decimal digits of a magnitude, most significant first, into buf; returns the count.
int Digits(uint32_t v, char* buf, uint32_t base, bool upper) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char tmp[16];
    int n = 0;
    do {
        tmp[n++] = set[v % base];
        v /= base;
    } while (v != 0);
    for (int i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
    return n;
}

void PutPadded(Sink& out, int count, char pad) {
    for (int i = 0; i < count; ++i) out.Put(pad);
}

// "%d": the width counts the sign; blanks go before the sign, zeros after it.
void PutD(Sink& out, int32_t v, int width, char pad) {
    char digits[16];
    uint32_t mag = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    int n = Digits(mag, digits, 10, false);
    int fill = width - n - (v < 0 ? 1 : 0);
    if (pad == ' ') PutPadded(out, fill, ' ');
    if (v < 0) out.Put('-');
    if (pad == '0') PutPadded(out, fill, '0');
    for (int i = 0; i < n; ++i) out.Put(digits[i]);
}

// "%ld": the sign comes first, then the padding fills the width counted without the sign.
void PutLD(Sink& out, int32_t v, int width, char pad) {
    char digits[16];
    uint32_t mag = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    int n = Digits(mag, digits, 10, false);
    if (v < 0) out.Put('-');
    PutPadded(out, width - n, pad);
    for (int i = 0; i < n; ++i) out.Put(digits[i]);
}

void PutX(Sink& out, uint32_t v, int width, char pad, bool upper) {
    char digits[16];
    int n = Digits(v, digits, 16, upper);
    PutPadded(out, width - n, pad);
    for (int i = 0; i < n; ++i) out.Put(digits[i]);
}

// Decimal digits of a whole number held in a double (x >= 2^64, so x = m x 2^e with e > 0), most
// significant first, into buf (room for 310 digits: every finite double fits); returns the count.
// Exact: m is doubled e times in decimal.
int WholeDigits(double x, char* buf) {
    int e = 0;
    const double m = std::frexp(x, &e);  // x = m x 2^e, 0.5 <= m < 1
    uint64_t mantissa = uint64_t(std::ldexp(m, 53));
    e -= 53;
    char rev[320];  // least significant digit first
    int n = 0;
    do {
        rev[n++] = char(mantissa % 10);
        mantissa /= 10;
    } while (mantissa != 0);
    for (int k = 0; k < e; ++k) {
        int carry = 0;
        for (int i = 0; i < n; ++i) {
            const int d = rev[i] * 2 + carry;
            rev[i] = char(d % 10);
            carry = d / 10;
        }
        if (carry != 0) rev[n++] = char(carry);
    }
    for (int i = 0; i < n; ++i) buf[i] = char('0' + rev[n - 1 - i]);
    return n;
}

// "%f": sign, integer part truncated towards zero, ".", exactly six rounded fraction digits. The
// integer part is written whole, however large: a number written must read back as the number,
// and a file format that writes a value with "%f" must not find another one when it reads it.
void PutF(Sink& out, double x) {
    if (std::isnan(x)) {
        out.Put("nan");
        return;
    }
    if (x < 0) {
        out.Put('-');
        x = -x;
    }
    if (std::isinf(x)) {
        out.Put("inf");
        return;
    }
    char digits[320];
    int n = 0;
    uint32_t frac = 0;
    if (x < 18446744073709551616.0) {  // 2^64: the integer part fits 64 bits exactly
        uint64_t ip = uint64_t(x);
        frac = uint32_t((x - double(ip)) * 1000000.0 + 0.5);
        if (frac >= 1000000) {
            ++ip;
            frac = 0;
        }
        char rev[24];
        do {
            rev[n++] = char('0' + ip % 10);
            ip /= 10;
        } while (ip != 0);
        for (int i = 0; i < n; ++i) digits[i] = rev[n - 1 - i];
    } else {
        n = WholeDigits(x, digits);  // a whole number: no fraction
    }
    for (int i = 0; i < n; ++i) out.Put(digits[i]);
    out.Put('.');
    char fd[16];
    const int f = Digits(frac, fd, 10, false);
    PutPadded(out, 6 - f, '0');
    for (int i = 0; i < f; ++i) out.Put(fd[i]);
}

// The values of a call: the caller's variable arguments, read by conversion.
struct VarArgs {
    va_list& list;
    int Int() { return va_arg(list, int); }
    long Long() { return va_arg(list, long); }
    unsigned int Unsigned() { return va_arg(list, unsigned int); }
    const char* Text() { return va_arg(list, const char*); }
    double Double() { return va_arg(list, double); }
};

// The values of a phrase (Str_FormatPhrase): every number conversion takes the one number, every
// "%s" the next text.
struct PhraseArgs {
    int32_t number;
    const char* texts[2];
    int nextText = 0;
    int Int() { return number; }
    long Long() { return number; }
    unsigned int Unsigned() { return uint32_t(number); }
    const char* Text() {
        const char* t = nextText < 2 ? texts[nextText++] : nullptr;
        return t != nullptr ? t : "";
    }
    double Double() { return number; }
};

template <typename Args>
void Format(Sink& out, const char* f, Args& args) {
    while (*f) {
        char c = *f++;
        if (c != '%') {
            out.Put(c);
            continue;
        }
        c = *f;
        if (c == 0) break;
        ++f;
        if (c < '0' || c > 'x') {  // "%%" and the like: the character itself
            out.Put(c);
            continue;
        }
        char pad = ' ';
        int width = -1;
        if (c >= '0' && c <= '9') {
            if (c == '0') pad = '0';
            width = 0;
            while (c >= '0' && c <= '9') {
                width = width * 10 + (c - '0');
                if (width > 4096) width = 4096;
                c = *f;
                if (c == 0) return;
                ++f;
            }
        }
        bool longForm = false;
        if (c == 'l' && *f == 'd') {
            longForm = true;
            ++f;
            c = 'd';
        }
        switch (c) {
            case 'd':
                if (longForm) {
                    PutLD(out, int32_t(args.Long()), width, pad);
                } else {
                    PutD(out, args.Int(), width, pad);
                }
                break;
            case 'x':
            case 'X':
                PutX(out, uint32_t(args.Unsigned()), width, pad, c == 'X');
                break;
            case 'c': {
                int v = args.Int();
                if (width < 0) out.Put(char(v & 0xFF));
                break;
            }
            case 's': {
                const char* s = args.Text();
                if (width < 0 && s != nullptr) out.Put(s);
                break;
            }
            case 'f': {
                double v = args.Double();
                if (width < 0) PutF(out, v);
                break;
            }
            default:
                // After a width an unknown conversion writes nothing; without one the character
                // is written unchanged.
                if (width < 0) out.Put(c);
                break;
        }
        // A width before c, s or f writes nothing, but the argument is still consumed above so
        // that the conversions after it read the right values.
    }
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

size_t Str_FormatV(char* dst, size_t cap, const char* format, va_list args) {
    if (dst == nullptr || cap == 0) return 0;
    Sink out{dst, cap};
    if (format != nullptr) {
        // va_arg needs an lvalue list of its own: the caller's may be an array parameter.
        va_list copy;
        va_copy(copy, args);
        VarArgs values{copy};
        Format(out, format, values);
        va_end(copy);
    }
    return out.Finish();
}

size_t Str_FormatPhrase(char* dst, size_t cap, const char* pattern, int32_t number,
                        const char* text, const char* text2) {
    if (dst == nullptr || cap == 0) return 0;
    Sink out{dst, cap};
    PhraseArgs values{number, {text, text2}};
    if (pattern != nullptr) Format(out, pattern, values);
    return out.Finish();
}

size_t Str_FormatN(char* dst, size_t cap, const char* format, ...) {
    va_list args;
    va_start(args, format);
    size_t n = Str_FormatV(dst, cap, format, args);
    va_end(args);
    return n;
}

void Ui_FormatString(char* dst, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Str_FormatV(dst, SIZE_MAX, format, args);
    va_end(args);
}

int32_t Ui_ScanString(const char* text, const char* format, ...) {
    if (text == nullptr || format == nullptr) return 0;
    va_list args;
    va_start(args, format);
    int32_t stored = 0;
    const char* t = text;
    for (const char* f = format; *f; ++f) {
        if (*f != '%') continue;  // literal characters are skipped, not matched
        ++f;
        while (*f >= '0' && *f <= '9') ++f;  // widths have no meaning here
        if (*f == 'l' && f[1] == 'd') ++f;
        char c = *f;
        if (c != 'c' && c != 'd' && c != 'f' && c != 's') {
            if (c == 0) break;
            continue;
        }
        while (IsSpace(*t)) ++t;
        if (*t == 0) break;
        switch (c) {
            case 'c':
                *va_arg(args, char*) = *t++;
                break;
            case 'd': {
                bool neg = false;
                if (*t == '-') {
                    neg = true;
                    ++t;
                }
                uint32_t v = 0;
                while (*t >= '0' && *t <= '9') v = v * 10 + uint32_t(*t++ - '0');
                *va_arg(args, int32_t*) = int32_t(neg ? 0u - v : v);
                break;
            }
            case 'f': {
                bool neg = false;
                if (*t == '-') {
                    neg = true;
                    ++t;
                }
                double v = 0, scale = 0.1;
                bool fraction = false;
                for (;; ++t) {
                    if (*t >= '0' && *t <= '9') {
                        if (!fraction) {
                            v = v * 10 + (*t - '0');
                        } else {
                            v += (*t - '0') * scale;
                            scale /= 10;
                        }
                    } else if (*t == '.' && !fraction) {
                        fraction = true;
                    } else {
                        break;
                    }
                }
                *va_arg(args, float*) = float(neg ? -v : v);
                break;
            }
            case 's': {
                char* d = va_arg(args, char*);
                while (*t && !IsSpace(*t)) *d++ = *t++;
                *d = 0;
                break;
            }
        }
        ++stored;
    }
    va_end(args);
    return stored;
}
