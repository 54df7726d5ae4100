#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Text helpers of the caption renderer. Case changes are ASCII-only so that
// positions found in an upper-cased copy are valid in the original text.
namespace MarkupText {

std::string UpperCase(std::string_view text);
// The upper-cased character at i; '\0' past the end.
char UpperAt(std::string_view text, size_t i);
std::string LowerCase(std::string_view text);

// 1-based position of the first case-blind occurrence of what in text; 0 when absent.
size_t PosNoCase(std::string_view what, std::string_view text);
// Replaces the first case-blind occurrence of what; reports whether it did.
bool ReplaceFirstNoCase(std::string& text, std::string_view what, std::string_view with);

// Replaces the named character entities until none is left; "&amp;" becomes
// "&&", which the text drawing shows as one ampersand.
std::string ReplaceEntities(std::string_view markup);
// Prepares markup for the line loop: entities, the "<#" escape, line feeds
// removed and carriage returns turned into line-break tags.
std::string PrepareMarkup(std::string_view markup);
// "&nbsp;", "&lt;" and "&gt;" (lower case) inside one run of text.
std::string ReplaceRunEntities(std::string_view run);

// Reads an integer the lenient way: leading spaces, a sign, "$", "x" or "0x"
// for hexadecimal; stops at the first other character (no digits gives 0).
// Values beyond the int range saturate.
int ReadInteger(std::string_view text);
// Reads a well-formed integer (the whole text, same syntax); false otherwise.
bool ReadStrictInteger(std::string_view text, int& value);

// The text between the first two double quotes at or after from; empty
// when there are not two of them.
std::string QuotedValueFrom(std::string_view text, size_t from);
// The value of attribute name (searched as written) in text: the text
// between the next two double quotes after it; empty when absent.
std::string AttributeValue(std::string_view text, std::string_view name);

} // namespace MarkupText

} // namespace quorvel
