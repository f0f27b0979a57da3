// One value that is an integer, a float or a text, converting between the
// three on demand and caching each conversion.
#pragma once
#include <cstdint>
#include <string>

class Vary {
public:
    enum Type : uint32_t { Integer = 0, Float = 1, Text = 2 };

    Vary();
    Vary(int value);
    Vary(float value);
    Vary(double value);  // as a float
    Vary(const std::string& value);
    Vary(const char* value);
    // Copies the type and its own form only; conversions are made afresh.
    Vary(const Vary& other);
    Vary& operator=(const Vary& other);
    virtual ~Vary();

    Type GetType() const { return type; }
    const std::string& AsText();
    int32_t AsInt();
    float AsFloat();

    // By this value's type: appends the other's text, or adds its number.
    Vary& Add(const Vary& other);
    Vary& operator+=(const Vary& other) { return Add(other); }

    // Numbers step by one. A text cannot be incremented (reported); a text
    // is decremented by dropping its last character.
    Vary& operator++();
    Vary operator++(int);
    Vary& operator--();
    Vary operator--(int);

    // Empty text and zeros, every form valid; the type stays.
    void Reset();

private:
    enum Valid : uint32_t { TextValid = 1, FloatValid = 2, IntegerValid = 4 };
    void CopyOwnForm(const Vary& other);
    void Step(int direction);

    Type type = Text;
    std::string text;
    int32_t integer = 0;
    float real = 0;
    uint32_t valid = TextValid | FloatValid | IntegerValid;
};
