#pragma once

#include "scan/FldLists.h"

#include <string_view>

namespace venqor {

// Writing into the current line (LineBuf), for the commands that write corrected copies.

// Writes `text` into field `index` of `fields` in the current line: left-aligned, cut to
// the field's width, the rest of the field filled with blanks. LineLen and the characters
// outside the field are not touched; nothing is written beyond the line buffer. `index`
// must name an existing field.
void SetFieldText(const TFieldList& fields, int index, std::string_view text);

// The record length of a schema: the Stop of its last field.
int RecordLength(const TFieldList& fields);

// Fills the current line with blanks up to `length` characters (at most the line buffer's
// capacity) and sets LineLen to it; a longer line is left as it is.
void PadLineBuf(int length);

} // namespace venqor
