#include "core/Fields.h"

#include "core/Numbers.h"

namespace kestrine {

Field partnerOf(Field field) {
    switch (field) {
    case Field::StartDec: return Field::StartHex;
    case Field::StartHex: return Field::StartDec;
    case Field::OffsetDec: return Field::OffsetHex;
    case Field::OffsetHex: return Field::OffsetDec;
    default: return field;
    }
}

bool isDecimalField(Field field) { return field == Field::StartDec || field == Field::OffsetDec; }

bool isStartField(Field field) { return field == Field::StartDec || field == Field::StartHex; }

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

} // namespace kestrine
