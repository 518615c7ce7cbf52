#include "accounts/get_xml_value.h"

#include "accounts/xml_references.h"
#include "support/fold_case.h"

namespace quillet {

std::string GetXMLvalue(std::string_view xml, std::string_view key) {
    const size_t start = FindIgnoringCase(xml, key);
    if (start == std::string_view::npos) {
        return {};
    }
    const size_t open_end = xml.find('>', start);
    if (open_end == std::string_view::npos) {
        return {};
    }
    const size_t close = xml.find('<', open_end);
    if (close == std::string_view::npos) {
        return {};
    }
    return DecodeXmlReferences(xml.substr(open_end + 1, close - open_end - 1));
}

}  // namespace quillet
