#include "Vary.h"

#include "LogFile.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

Vary::Vary() = default;
Vary::Vary(int value) : type(Integer), integer(value), valid(IntegerValid) {}
Vary::Vary(float value) : type(Float), real(value), valid(FloatValid) {}
Vary::Vary(double value) : Vary(static_cast<float>(value)) {}
Vary::Vary(const std::string& value) : type(Text), text(value), valid(TextValid) {}
Vary::Vary(const char* value) : type(Text), text(value ? value : ""), valid(TextValid) {}
Vary::Vary(const Vary& other) { CopyOwnForm(other); }
Vary::~Vary() = default;

Vary& Vary::operator=(const Vary& other) {
    if (this != &other) CopyOwnForm(other);
    return *this;
}

void Vary::CopyOwnForm(const Vary& other) {
    type = other.type;
    switch (type) {
        case Integer: integer = other.integer; valid = IntegerValid; break;
        case Float: real = other.real; valid = FloatValid; break;
        case Text: text = other.text; valid = TextValid; break;
    }
}

static std::string Format(const char* format, double value) {
    int length = std::snprintf(nullptr, 0, format, value);
    std::string out(length > 0 ? length : 0, '\0');
    std::snprintf(out.data(), out.size() + 1, format, value);
    return out;
}

const std::string& Vary::AsText() {
    if (valid & TextValid) return text;
    text = type == Float ? Format("%f", static_cast<double>(real)) : std::to_string(integer);
    valid |= TextValid;
    return text;
}

// Two's-complement wrap-around instead of undefined overflow.
static int32_t WrappingAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// Rounds half up as the value's own integer form does; out-of-range values
// stop at the ends of the range instead of being undefined.
static int32_t RoundToInt(float value) {
    double shifted = static_cast<double>(value) + 0.5;
    if (std::isnan(shifted)) return 0;
    if (shifted >= 2147483647.0) return INT32_MAX;
    if (shifted <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(shifted);
}

static int32_t ParseInt(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t Vary::AsInt() {
    if (valid & IntegerValid) return integer;
    integer = type == Float ? RoundToInt(real) : ParseInt(text);
    valid |= IntegerValid;
    return integer;
}

float Vary::AsFloat() {
    if (valid & FloatValid) return real;
    real = type == Integer ? static_cast<float>(integer) : std::strtof(text.c_str(), nullptr);
    valid |= FloatValid;
    return real;
}

Vary& Vary::Add(const Vary& other) {
    Vary source = other;  // the other's conversions must not change it
    switch (type) {
        case Text: text += source.AsText(); valid = TextValid; break;
        case Float: real += source.AsFloat(); valid = FloatValid; break;
        case Integer: integer = WrappingAdd(integer, source.AsInt()); valid = IntegerValid; break;
    }
    return *this;
}

void Vary::Step(int direction) {
    if (type == Integer) {
        integer = WrappingAdd(integer, direction);
        valid = IntegerValid;
    } else if (type == Float) {
        real += static_cast<float>(direction);
        valid = FloatValid;
    } else if (direction < 0) {
        if (!text.empty()) text.pop_back();
        valid = TextValid;
    } else {
        ErrorLog << "Warning: undefined operation on a Vary as type string: increment.\n"
                 << "  -call stack:\n" << CallStackText() << "\n";
    }
}

Vary& Vary::operator++() {
    Step(1);
    return *this;
}

Vary Vary::operator++(int) {
    Vary before = *this;
    Step(1);
    return before;
}

Vary& Vary::operator--() {
    Step(-1);
    return *this;
}

Vary Vary::operator--(int) {
    Vary before = *this;
    Step(-1);
    return before;
}

void Vary::Reset() {
    text.clear();
    integer = 0;
    real = 0;
    valid = TextValid | FloatValid | IntegerValid;
}
