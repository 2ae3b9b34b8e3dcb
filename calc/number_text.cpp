// Number texts: exact decimal-to-double reading and exact 13-digit writing on our own big integers.
#include "calc/number_text.h"

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

namespace trigora::calc {

namespace {

// Just enough of an unsigned big integer for exact conversions: little-endian 32-bit limbs.
class BigUint {
  public:
    explicit BigUint(uint64_t v = 0) {
        while (v != 0) {
            limbs_.push_back(static_cast<uint32_t>(v));
            v >>= 32;
        }
    }

    bool IsZero() const { return limbs_.empty(); }

    int BitLength() const {
        if (limbs_.empty()) {
            return 0;
        }
        return static_cast<int>(limbs_.size() - 1) * 32 + std::bit_width(limbs_.back());
    }

    void MulAdd(uint32_t factor, uint32_t addend) {
        uint64_t carry = addend;
        for (uint32_t& limb : limbs_) {
            uint64_t t = static_cast<uint64_t>(limb) * factor + carry;
            limb = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        if (carry != 0) {
            limbs_.push_back(static_cast<uint32_t>(carry));
        }
    }

    void MulPow10(int n) {
        // 10^9 is the largest power of ten in a limb.
        for (; n >= 9; n -= 9) {
            MulAdd(1000000000u, 0);
        }
        uint32_t rest = 1;
        for (; n > 0; --n) {
            rest *= 10;
        }
        if (rest != 1) {
            MulAdd(rest, 0);
        }
    }

    void ShiftLeft(int bits) {
        if (limbs_.empty() || bits <= 0) {
            return;
        }
        const size_t whole = static_cast<size_t>(bits / 32);
        const int part = bits % 32;
        if (part != 0) {
            uint32_t carry = 0;
            for (uint32_t& limb : limbs_) {
                uint32_t next = limb >> (32 - part);
                limb = (limb << part) | carry;
                carry = next;
            }
            if (carry != 0) {
                limbs_.push_back(carry);
            }
        }
        limbs_.insert(limbs_.begin(), whole, 0u);
    }

    void ShiftRightOne() {
        uint32_t carry = 0;
        for (size_t i = limbs_.size(); i-- > 0;) {
            uint32_t next = limbs_[i] << 31;
            limbs_[i] = (limbs_[i] >> 1) | carry;
            carry = next;
        }
        Trim();
    }

    // -1, 0 or 1 as a is below, equal to or above b.
    static int Compare(const BigUint& a, const BigUint& b) {
        if (a.limbs_.size() != b.limbs_.size()) {
            return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
        }
        for (size_t i = a.limbs_.size(); i-- > 0;) {
            if (a.limbs_[i] != b.limbs_[i]) {
                return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
            }
        }
        return 0;
    }

    // *this -= b; the caller makes sure that b is not larger.
    void Subtract(const BigUint& b) {
        int64_t borrow = 0;
        for (size_t i = 0; i < limbs_.size(); ++i) {
            int64_t t = static_cast<int64_t>(limbs_[i]) - borrow - (i < b.limbs_.size() ? b.limbs_[i] : 0);
            borrow = t < 0 ? 1 : 0;
            limbs_[i] = static_cast<uint32_t>(t + (borrow << 32));
        }
        Trim();
    }

    // Divides *this by den where the quotient is known to be below 2^bits (bits <= 63); the
    // remainder stays in *this.
    uint64_t DivideSmallQuotient(const BigUint& den, int bits) {
        BigUint d = den;
        d.ShiftLeft(bits - 1);
        uint64_t q = 0;
        for (int i = bits - 1; i >= 0; --i) {
            if (Compare(*this, d) >= 0) {
                Subtract(d);
                q |= uint64_t{1} << i;
            }
            d.ShiftRightOne();
        }
        return q;
    }

  private:
    void Trim() {
        while (!limbs_.empty() && limbs_.back() == 0) {
            limbs_.pop_back();
        }
    }

    std::vector<uint32_t> limbs_;
};

constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// More digits than any double's halfway point needs (767); digits beyond them only matter as
// "something non-zero follows", which one more digit 1 stands for exactly.
constexpr int kMaxDigits = 800;

double FromBits(uint64_t bits) {
    return std::bit_cast<double>(bits);
}

// The double nearest to digits x 10^exp10, where digits is a decimal digit string without
// leading zeros.
double DecimalToDouble(const std::string& digits, int64_t exp10) {
    const int64_t n = static_cast<int64_t>(digits.size());
    if (n - 1 + exp10 > 309) {
        return std::numeric_limits<double>::infinity();
    }
    if (n + exp10 < -324) {
        return 0.0;
    }
    if (n <= 15 && exp10 >= -22 && exp10 <= 22) {
        // Both operands are exact doubles, so the one rounding of IEEE arithmetic is the answer.
        double d = 0;
        for (char c : digits) {
            d = d * 10 + (c - '0');
        }
        return exp10 >= 0 ? d * kExactPowersOfTen[exp10] : d / kExactPowersOfTen[-exp10];
    }

    BigUint num;
    for (size_t i = 0; i < digits.size(); i += 9) {
        uint32_t chunk = 0;
        uint32_t scale = 1;
        for (size_t j = i; j < digits.size() && j < i + 9; ++j) {
            chunk = chunk * 10 + static_cast<uint32_t>(digits[j] - '0');
            scale *= 10;
        }
        num.MulAdd(scale, chunk);
    }
    BigUint den(1);
    if (exp10 >= 0) {
        num.MulPow10(static_cast<int>(exp10));
    } else {
        den.MulPow10(static_cast<int>(-exp10));
    }

    // Scale so that the quotient has 55 or 56 bits: value = (q + rest) x 2^-shift.
    const int shift = 55 - (num.BitLength() - den.BitLength());
    if (shift > 0) {
        num.ShiftLeft(shift);
    } else {
        den.ShiftLeft(-shift);
    }
    uint64_t q = num.DivideSmallQuotient(den, 57);
    const bool sticky = !num.IsZero();
    const int length = std::bit_width(q);
    const int topExponent = length - 1 - shift;
    if (topExponent > 1023) {
        return std::numeric_limits<double>::infinity();
    }
    const bool subnormal = topExponent < -1022;
    const int drop = subnormal ? shift - 1074 : length - 53;
    if (drop >= 64) {
        return 0.0;
    }
    uint64_t mant = q >> drop;
    const uint64_t rest = q & ((uint64_t{1} << drop) - 1);
    const uint64_t half = uint64_t{1} << (drop - 1);
    if (rest > half || (rest == half && (sticky || (mant & 1) != 0))) {
        ++mant;
    }
    if (subnormal) {
        // A carry into bit 52 is exactly the smallest normal number's encoding.
        return FromBits(mant);
    }
    int64_t biased = topExponent + 1023;
    if (mant == (uint64_t{1} << 53)) {
        mant >>= 1;
        ++biased;
    }
    if (biased >= 2047) {
        return std::numeric_limits<double>::infinity();
    }
    return FromBits((static_cast<uint64_t>(biased) << 52) | (mant & ((uint64_t{1} << 52) - 1)));
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr uint64_t kTen12 = 1000000000000ull;
constexpr uint64_t kTen13 = 10000000000000ull;

// |x| (finite, non-zero) as 13 digits q (10^12 <= q < 10^13) and the exponent of the first digit.
void RoundTo13Digits(double x, uint64_t& q, int& exp10) {
    const uint64_t bits = std::bit_cast<uint64_t>(x) & ~(uint64_t{1} << 63);
    const int biased = static_cast<int>(bits >> 52);
    uint64_t m = bits & ((uint64_t{1} << 52) - 1);
    int e = -1074;
    if (biased != 0) {
        m |= uint64_t{1} << 52;
        e = biased - 1075;
    }
    const int binaryExponent = std::bit_width(m) - 1 + e;
    // floor(B log10 2) never exceeds the true decimal exponent and is at most one below it.
    int k = static_cast<int>(std::floor(binaryExponent * 0.30102999566398119521));
    for (;;) {
        BigUint num(m);
        BigUint den(1);
        if (e > 0) {
            num.ShiftLeft(e);
        } else {
            den.ShiftLeft(-e);
        }
        const int scale = k - 12;
        if (scale > 0) {
            den.MulPow10(scale);
        } else {
            num.MulPow10(-scale);
        }
        uint64_t digits = num.DivideSmallQuotient(den, 48);
        if (digits >= kTen13) {
            ++k;
            continue;
        }
        // Round half away from zero: compare twice the remainder with the divisor.
        num.ShiftLeft(1);
        if (BigUint::Compare(num, den) >= 0) {
            ++digits;
        }
        if (digits == kTen13) {
            digits = kTen12;
            ++k;
        }
        q = digits;
        exp10 = k;
        return;
    }
}

} // namespace

std::string FoldFullWidth(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size());
    for (size_t i = 0; i < gbk.size(); ++i) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            continue;
        }
        if (i + 1 >= gbk.size()) {
            break;
        }
        const auto trail = static_cast<unsigned char>(gbk[++i]);
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            out.push_back(static_cast<char>(trail - 0x80));
        } else if (lead == 0xA1 && trail == 0xA1) {
            out.push_back(' ');
        } else if (lead == 0xA1 && trail == 0xAB) {
            out.push_back('~');
        } else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF)) {
            out.push_back('*');
        } else {
            out.push_back(static_cast<char>(lead));
            out.push_back(static_cast<char>(trail));
        }
    }
    return out;
}

double ParseNumber(std::string_view text) {
    const std::string folded = FoldFullWidth(text);
    const char* p = folded.data();
    const char* end = p + folded.size();
    while (p != end && IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }

    std::string digits; // significant digits, no leading zeros
    int64_t exp10 = 0;  // value = digits x 10^exp10
    bool anyDigit = false;
    bool sticky = false; // a non-zero digit beyond kMaxDigits
    bool afterPoint = false;
    for (; p != end; ++p) {
        if (*p == '.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (!IsDigit(*p)) {
            break;
        }
        anyDigit = true;
        if (digits.empty() && *p == '0') {
            if (afterPoint) {
                --exp10;
            }
            continue;
        }
        if (static_cast<int>(digits.size()) < kMaxDigits) {
            digits.push_back(*p);
            if (afterPoint) {
                --exp10;
            }
        } else {
            sticky = sticky || *p != '0';
            if (!afterPoint) {
                ++exp10;
            }
        }
    }
    if (!anyDigit) {
        return 0.0;
    }

    if (p != end && (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D')) {
        const char* q = p + 1;
        bool expNegative = false;
        if (q != end && (*q == '+' || *q == '-')) {
            expNegative = *q == '-';
            ++q;
        }
        if (q != end && IsDigit(*q)) {
            // Saturate: beyond a billion the value is 0 or infinite whatever the digits.
            int64_t e = 0;
            for (; q != end && IsDigit(*q); ++q) {
                if (e < 1000000000) {
                    e = e * 10 + (*q - '0');
                }
            }
            exp10 += expNegative ? -e : e;
        }
    }

    double magnitude = 0.0;
    if (!digits.empty()) {
        if (sticky) {
            digits.push_back('1');
            --exp10;
        } else {
            while (digits.back() == '0') {
                digits.pop_back();
                ++exp10;
            }
        }
        magnitude = DecimalToDouble(digits, exp10);
    }
    return negative ? -magnitude : magnitude;
}

std::string FormatNumber(double x) {
    if (x == 0) {
        return "0";
    }
    if (!std::isfinite(x)) {
        return FormatResult(x);
    }
    uint64_t q = 0;
    int k = 0;
    RoundTo13Digits(x, q, k);
    char digits[13];
    for (int i = 12; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + q % 10);
        q /= 10;
    }
    int count = 13;
    while (count > 1 && digits[count - 1] == '0') {
        --count;
    }

    std::string out;
    if (x < 0) {
        out.push_back('-');
    }
    if (k < -4 || k >= 13) {
        out.push_back(digits[0]);
        if (count > 1) {
            out.push_back('.');
            out.append(digits + 1, digits + count);
        }
        out.push_back('e');
        out.push_back(k < 0 ? '-' : '+');
        const int magnitude = k < 0 ? -k : k;
        out.push_back(static_cast<char>('0' + magnitude / 100));
        out.push_back(static_cast<char>('0' + magnitude / 10 % 10));
        out.push_back(static_cast<char>('0' + magnitude % 10));
    } else if (k >= 0) {
        const int whole = k + 1;
        out.append(digits, digits + whole);
        if (count > whole) {
            out.push_back('.');
            out.append(digits + whole, digits + count);
        }
    } else {
        out.append("0.");
        out.append(static_cast<size_t>(-k - 1), '0');
        out.append(digits, digits + count);
    }
    return out;
}

std::string FormatResult(double x) {
    if (std::isnan(x)) {
        return std::string(kUndefinedMessage);
    }
    if (std::isinf(x)) {
        return std::string(kInfiniteMessage);
    }
    return FormatNumber(x);
}

double NearWholeSnap(double x) {
    const double i = std::trunc(x);
    const double f = x - i;
    if (std::fabs(f) > 0.999999999999) {
        return x > 0 ? i + 1 : i - 1;
    }
    return x;
}

namespace {

std::optional<int32_t> ToInt32(double whole) {
    // NaN fails both comparisons.
    if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(whole);
}

} // namespace

std::optional<int32_t> WholePartTowardZero(double x) {
    return ToInt32(std::trunc(NearWholeSnap(x)));
}

std::optional<int32_t> WholePartDown(double x) {
    return ToInt32(std::floor(NearWholeSnap(x)));
}

double PowerOfTen(int32_t n) {
    if (n >= 0 && n <= 22) {
        return kExactPowersOfTen[n];
    }
    if (n > 309) {
        return std::numeric_limits<double>::infinity();
    }
    if (n < -324) {
        return 0.0;
    }
    return DecimalToDouble("1", n);
}

double RoundToPlaces(double x, int32_t places) {
    if (x == 0 || !std::isfinite(x)) {
        return x;
    }
    const double m = std::fabs(x);
    const double scale = PowerOfTen(places < 0 ? -places : places);
    double y = m;
    if (places > 0) {
        y = m * scale;
        if (std::isinf(y)) {
            // So many places that x is already exact at that precision.
            return x;
        }
    } else if (places < 0) {
        y = m / scale;
    }
    const double nudged = y + 1e-12;
    double k = std::trunc(nudged);
    if (nudged - k >= 0.5) {
        k += 1;
    }
    double result = k;
    if (places > 0) {
        result = k / scale;
    } else if (places < 0) {
        // k == 0 with an infinite scale would be NaN; the value simply rounds to zero.
        result = k == 0 ? 0.0 : k * scale;
    }
    return x < 0 ? -result : result;
}

} // namespace trigora::calc
