#pragma once

namespace pantrio::richtext {

// The Windows code pages that RTF documents from Western and Central/Eastern European
// word processors use. Anything else is read as 1252, the RTF default.
enum class CodePage { Windows1250, Windows1251, Windows1252, Symbol, Wingdings };

// \ansicpg value -> code page.
CodePage codePageFromNumber(long number);
// \fcharset value -> code page; false for charsets that defer to the document's code page.
// Charset 2 gives Symbol; the reader tells Wingdings apart by the font's name.
bool codePageFromCharset(long charset, CodePage& out);

// The UTF-16 unit of one byte; 0 when the byte has no character in that code page.
char16_t decodeByte(CodePage page, unsigned char byte);

} // namespace pantrio::richtext
