#pragma once

#include "scan/FldLists.h"

#include <string>
#include <string_view>

namespace venqor {

// Reads the schema file at `path` into `fields`: one field per FIELD line, Fixed from the
// FILETYPE line and Cyrillic from the CHARSET line. Uses the tokenizer and LineBuf, so it
// must not run while a data file is walked. A file that cannot be read raises IoError
// naming it and leaves `fields` empty.
void LoadSchema(const std::string& path, TFieldList& fields);

// The text of field i (0..Count-1) of the current line, trailing bytes <= 32 removed.
// A view into LineBuf, valid until LineBuf changes.
std::string_view FieldValue(const TFieldList& fields, int i);

// Field i of the current line, as FieldValue gives it, cut to `length` characters, into
// `target`, whose buffer is reused from line to line.
void TakeFieldValue(std::string& target, const TFieldList& fields, int i, std::size_t length);

// A year-first date text (yyyy?mm?dd, separators not looked at) as dd.mm.yyyy; empty for
// an empty or blank text.
std::string YmdToDmy(std::string_view src);

} // namespace venqor
