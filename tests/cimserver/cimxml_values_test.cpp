// CIM values read from the text a client sends (method parameters, keys,
// instances) and written back as the text CIM-XML carries.
#include <gtest/gtest.h>

#include <stdexcept>

#include "CimValueText.h"
#include "XmlBuilder.h"

namespace {

using velk::cimserver::cimTypeFromName;
using velk::cimserver::cimValueTexts;
using velk::cimserver::parseCimValue;

struct ValueCase {
    const char* type;
    const char* text;
    const char* written;  // null: the text is refused
};

const ValueCase VALUE_CASES[] = {
    {"boolean", "true", "TRUE"},
    {"boolean", "FALSE", "FALSE"},
    {"boolean", "yes", nullptr},
    {"uint8", "255", "255"},
    {"uint8", "256", nullptr},
    {"uint8", "-1", nullptr},
    {"sint8", "-128", "-128"},
    {"sint8", "128", nullptr},
    {"uint16", "0x10", "16"},
    {"uint32", " 42 ", "42"},
    {"uint32", "42abc", nullptr},
    {"uint32", "", nullptr},
    {"uint64", "18446744073709551615", "18446744073709551615"},
    {"uint64", "18446744073709551616", nullptr},
    {"sint64", "-9223372036854775808", "-9223372036854775808"},
    {"real32", "1.5", "1.5000000000000000e+00"},
    {"real64", "1.5x", nullptr},
    {"char16", "Z", "Z"},
    {"char16", "ZZ", nullptr},
    {"string", " two words ", " two words "},
    {"datetime", "20240131120000.000000+000", "20240131120000.000000+000"},
    {"datetime", "00000001020304.000000:000", "00000001020304.000000:000"},
    {"datetime", "2024-01-31", nullptr},
};

TEST(CimValueText, ValuesAreReadWithinTheirTypeAndWrittenInCimXmlForm) {
    for (const ValueCase& c : VALUE_CASES) {
        SCOPED_TRACE(std::string(c.type) + " \"" + c.text + "\"");
        Pegasus::CIMType type = cimTypeFromName(c.type);
        if (c.written == nullptr) {
            EXPECT_THROW(parseCimValue(type, c.text), std::invalid_argument);
            continue;
        }
        Pegasus::CIMValue value = parseCimValue(type, c.text);
        EXPECT_EQ(value.getType(), type);
        ASSERT_EQ(cimValueTexts(value).size(), 1u);
        EXPECT_EQ(cimValueTexts(value)[0], c.written);
    }
}

TEST(XmlBuilder, EscapesWithTheFiveNamedEntitiesOnly) {
    EXPECT_EQ(velk::cimserver::XmlBuilder::escape("a&b<c>\"d'\x01\tü"),
              "a&amp;b&lt;c&gt;&quot;d&apos;?\tü");
}

}  // namespace
