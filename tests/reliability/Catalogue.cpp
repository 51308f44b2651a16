// SPDX-License-Identifier: GPL-3.0-or-later
#include "Catalogue.h"

#include "TestSupport.h"

namespace tidytest {

const char* operationName(Operation op) {
    switch (op) {
    case Scan:
        return "scan";
    case Triangles:
        return "triangles";
    case Curves:
        return "curves";
    case Rename:
        return "rename";
    case Color:
        return "color";
    }
    return "?";
}

const std::vector<BadFile>& catalogue() {
    constexpr unsigned all = kEveryOperation;
    static const std::vector<BadFile> entries = {
        {"good.xml", 0, "", ""},
        // Not XML at all, or not all of it.
        {"not_xml.xml", all, "line 1, column 73", "not well-formed XML"},
        {"empty.xml", all, "line 1, column 1", "not well-formed XML: No document element found"},
        {"truncated.xml", all, "line 14, column 21", "not well-formed XML"},
        {"control_character.xml", all, "line 4, column 19",
         "not well-formed XML: the control character U+0006, which XML does not allow"},
        {"comment_with_double_hyphen.xml", all, "line 4, column 3",
         "not well-formed XML: a comment holds \"--\" or ends in \"-\""},
        {"double_bom.xml", all, "line 1, column 1",
         "not well-formed XML: text before the root element"},
        {"declaration_after_comment.xml", all, "line 2, column 1",
         "not well-formed XML: the XML declaration must stand at the start of the file"},
        {"text_after_root.xml", all, "line 34, column 1",
         "not well-formed XML: text after the root element"},
        {"two_root_elements.xml", all, "line 34, column 1",
         "not well-formed XML: a second root element"},
        {"illegal_character_reference.xml", all, "line 4, column 19",
         "not well-formed XML: a character reference to a character that XML does not allow"},
        {"illegal_reference_after_lt.xml", all, "line 18, column 5",
         "not well-formed XML: a character reference to a character that XML does not allow"},
        // Encodings. A declaration fault has no line of its own: the message quotes the
        // declaration, which always stands at the start.
        {"utf8_declared_latin1_bytes.xml", all, "line 4, column 20",
         "the text is not valid UTF-8, as the file declares"},
        {"utf16_declared_8bit_stored.xml", all, "",
         "the declaration says encoding=\"utf-16\" but the file is not stored as UTF-16"},
        {"unsupported_encoding.xml", all, "",
         "declares encoding=\"windows-1252\", which tidylander cannot write back faithfully"},
        {"bom_utf8_declares_latin1.xml", all, "",
         "starts with a UTF-8 byte-order mark but its declaration says encoding=\"iso-8859-1\""},
        {"bom_utf16_declares_utf8.xml", all, "",
         "stored as UTF-16 but its declaration says encoding=\"utf-8\""},
        {"utf16_odd_length.xml", all, "", "the file is UTF-16 but has an odd number of bytes"},
        // Entities: refused before anything is written, never expanded or fetched.
        {"entity_bomb.xml", all, "line 2, column 1", "the DOCTYPE declares entities"},
        {"external_entity.xml", all, "line 2, column 1", "the DOCTYPE declares entities"},
        {"undeclared_entity_reference.xml", all, "line 4, column 20",
         "a reference to an undeclared entity"},
        {"deep_nesting.xml", all, "line 2, column 775", "nested more than 256 levels deep"},
        // Values that only one operation reads.
        {"face_i_not_integer.xml", Triangles, "line 13, column 6",
         "element \"F\", attribute \"i\": \"yes\" is not a decimal integer"},
        {"face_i_out_of_range.xml", Triangles, "line 13, column 6",
         "\"4294967297\" is out of range for a 32-bit integer"},
        {"radius_not_number.xml", Curves, "line 25, column 5",
         "the radius \"5,000\" is not a number"},
        {"point_without_coordinates.xml", Curves, "line 26, column 6",
         "the Start point has no coordinates (a pntRef reference is not followed)"},
        {"point_one_number.xml", Curves, "line 27, column 6",
         "the Center point \"1003\" does not begin with two numbers"},
        {"point_not_a_number.xml", Curves, "line 28, column 6",
         "the End point \"north 2005 0\" does not begin with two numbers"},
        {"point_decimal_comma.xml", Curves, "line 26, column 6",
         "the Start point \"1005,0 2000,0 0\" does not begin with two numbers"},
        {"curve_without_start.xml", Curves, "line 25, column 5", "the Start point is missing"},
        {"curve_without_center.xml", Curves, "line 25, column 5", "the Center point is missing"},
        {"curve_without_end.xml", Curves, "line 25, column 5", "the End point is missing"},
        {"m_color_not_integer.xml", Color, "line 18, column 5",
         "element \"Property\", attribute \"value\": \"red\" is not a decimal integer"},
    };
    return entries;
}

std::string catalogueFolder() {
    return TIDY_BADINPUT;
}

std::string catalogueBytes(const BadFile& entry) {
    if (std::string_view(entry.name) == "deep_nesting.xml") {
        constexpr int depth = 100000;
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LandXML>";
        text.reserve(text.size() + 7 * depth + 16);
        for (int i = 0; i < depth; ++i)
            text += "<a>";
        for (int i = 0; i < depth; ++i)
            text += "</a>";
        return text + "</LandXML>\n";
    }
    return readFile(catalogueFolder() + "/" + entry.name);
}

} // namespace tidytest
