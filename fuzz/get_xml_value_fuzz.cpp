// Arbitrary text as an account file and the element name to look for: the input's first line
// is the name, the rest the file. In a file without references ("&") the value found is text
// between a ">" and the next "<"; decoding references never lengthens a text; and the value does
// not depend on the letter case of the name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "accounts/get_xml_value.h"
#include "accounts/xml_references.h"
#include "fuzz_check.h"
#include "support/fold_case.h"

using quillet::fuzz::Check;
using quillet::fuzz::Lowered;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t end = input.find('\n');
    const std::string_view key = input.substr(0, end);
    const std::string_view xml =
        end == std::string_view::npos ? std::string_view() : input.substr(end + 1);

    const std::string value = quillet::GetXMLvalue(xml, key);
    Check(quillet::DecodeXmlReferences(xml).size() <= xml.size(), "decoding never lengthens");
    Check(value.empty() || quillet::FindIgnoringCase(xml, key) != std::string_view::npos,
          "a value is found only after its name");
    if (!value.empty() && xml.find('&') == std::string_view::npos) {
        Check(xml.find(">" + value + "<") != std::string_view::npos,
              "a value stands between a \">\" and a \"<\"");
        Check(value.find('<') == std::string::npos, "a value holds no \"<\"");
    }
    Check(quillet::GetXMLvalue(xml, Lowered(key)) == value,
          "the letter case of the name does not matter");
    return 0;
}
