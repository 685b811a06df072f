#include "ui/numtext.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "ui/text.h"

namespace quorvel::ui {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits alone: from_chars takes no blank and no plus, and no minus for an unsigned type.
std::optional<std::uint64_t> unsignedDigits(std::string_view text) {
    std::uint64_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> parseNumber(std::string_view text) {
    const std::string_view body = trimmed(text);

    // Check the shape ourselves: from_chars alone would accept "inf", "nan" and hex forms.
    std::size_t i = 0;
    bool negative = false;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) {
        negative = body[i] == '-';
        ++i;
    }
    const std::size_t mantissaStart = i;
    std::size_t digits = 0;
    while (i < body.size() && isDigit(body[i])) ++i, ++digits;
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && isDigit(body[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < body.size() && isDigit(body[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != body.size()) return std::nullopt;

    double value = 0;
    std::string_view number = body.substr(mantissaStart);
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ptr != number.data() + number.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

std::optional<int> parseDigits(std::string_view text, std::size_t maxDigits) {
    if (text.size() > maxDigits) return std::nullopt;
    const auto value = unsignedDigits(text);
    if (!value || *value > static_cast<std::uint64_t>(std::numeric_limits<int>::max())) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<std::uint64_t> parseSize(std::string_view text) { return unsignedDigits(text); }

std::string formatNumber(double value) {
    if (value == 0) return "0";  // no "-0"
    char buffer[64];
    auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc()) return "0";
    return std::string(buffer, ptr);
}

std::string formatNumber(long long value) { return std::to_string(value); }

double wholePart(double value) { return std::floor(value); }

double roundHalfEven(double value) { return std::nearbyint(value); }

std::optional<int> toInt(double value) {
    const double rounded = roundHalfEven(value);
    if (!(rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max()))
        return std::nullopt;
    return static_cast<int>(rounded);
}

}  // namespace quorvel::ui
