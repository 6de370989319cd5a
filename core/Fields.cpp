#include "core/Fields.h"

#include "core/Numbers.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace kestrine {

Field partnerOf(Field field) {
    switch (field) {
    case Field::StartDec:
        return Field::StartHex;
    case Field::StartHex:
        return Field::StartDec;
    case Field::OffsetDec:
        return Field::OffsetHex;
    case Field::OffsetHex:
        return Field::OffsetDec;
    default:
        return field;
    }
}

bool isDecimalField(Field field) {
    return field == Field::StartDec || field == Field::OffsetDec;
}

bool isStartField(Field field) {
    return field == Field::StartDec || field == Field::StartHex;
}

std::string notANumberMessage(const std::string& text) {
    return "'" + text + "' is not a valid integer value";
}

void keepPairInStep(Host& host, Field changed, bool changedHasFocus) {
    const Field dec = isDecimalField(changed) ? changed : partnerOf(changed);
    const Field hex = partnerOf(dec);
    const std::string text = host.fieldText(changed);
    if (changedHasFocus && !text.empty()) {
        if (changed == dec) {
            auto value = parseNumber(text);
            if (!value) {
                host.reportError(notANumberMessage(text));
                return;
            }
            host.setFieldText(hex, toHex(*value));
        } else {
            host.setFieldText(dec, toDec(parseHex(text).value_or(0)));
        }
    }
    if (host.fieldText(dec).empty())
        host.setFieldText(hex, "");
    if (host.fieldText(hex).empty())
        host.setFieldText(dec, "");
}

char32_t FilterNumberKeys(char32_t ch) {
    if ((ch >= U'0' && ch <= U'9') || ch == 8)
        return ch;
    return 0;
}

char32_t FilterHexKeys(char32_t ch) {
    if ((ch >= U'0' && ch <= U'9') || (ch >= U'a' && ch <= U'f') || ch == 8)
        return ch;
    if (ch >= U'A' && ch <= U'F')
        return ch - U'A' + U'a';
    return 0;
}

namespace {

// The decimal value of `field`, or nothing after the error report.
std::optional<Position> decimalValue(Host& host, Field field) {
    const std::string text = host.fieldText(field);
    auto value = parseNumber(text);
    if (!value)
        host.reportError(notANumberMessage(text));
    return value;
}

// SourceFileSize - 1 - other, held at the 64-bit limits: a typed negative length may push the
// exact result out of range, and wrapping would turn a huge bound into a negative one.
Position upperBound(Position sourceSize, Position other) {
    Position bound = 0;
    if (__builtin_sub_overflow(sourceSize - 1, other, &bound))
        return other < 0 ? std::numeric_limits<Position>::max()
                         : std::numeric_limits<Position>::min();
    return bound;
}

Field otherDecimalField(Field field) {
    return isStartField(field) ? Field::OffsetDec : Field::StartDec;
}

} // namespace

bool stepField(Context& ctx, Field field, int step) {
    Host& host = ctx.host;
    const std::string text = host.fieldText(field);
    if (text.empty())
        return false;

    Position value = 0;
    if (isDecimalField(field)) {
        auto parsed = decimalValue(host, field);
        if (!parsed)
            return false;
        value = *parsed;
    } else {
        value = parseHex(text).value_or(0);
    }

    Position next = 0;
    if (__builtin_add_overflow(value, static_cast<Position>(step), &next) || next < 0)
        return false;

    auto other = decimalValue(host, otherDecimalField(field));
    if (!other || next > upperBound(ctx.state.SourceFileSize, *other))
        return false;

    host.setFieldText(field, isDecimalField(field) ? toDec(next) : toHex(next));
    return true;
}

void setMinimum(Context& ctx, Field decimalField) {
    ctx.host.focusField(decimalField);
    ctx.host.setFieldText(decimalField, "0");
}

void setMaximum(Context& ctx, Field decimalField) {
    ctx.host.focusField(decimalField);
    if (ctx.state.SourceFileSize == 0)
        return;
    auto other = decimalValue(ctx.host, otherDecimalField(decimalField));
    if (!other)
        return;
    ctx.host.setFieldText(decimalField, toDec(upperBound(ctx.state.SourceFileSize, *other)));
}

} // namespace kestrine
