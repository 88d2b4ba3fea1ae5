#pragma once

#include "app/ProgramPlaces.h"
#include "scan/FldLists.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace venqor {

// What the main window holds, without widgets: the values of its controls, the state that
// outlives a command, and the run flag. The desktop window copies its controls in here
// before a command; the command line fills it from venqor.ini and its arguments.
// Texts are Windows-1251; file names (and the register location, which may be one) stay
// as the system spells them, so that any file the system can name can be opened.
struct TMainState {
    // Controls (their names in the window in the comments).
    std::filesystem::path dataFile;  // FilenameEdit1
    std::string registerLocation;    // dedtNUMS: directory with NUMS, or a database location
    std::string format;              // cbxFrmtList
    std::string schema;              // cbxSchList
    std::filesystem::path tableName; // edtTblName
    std::string copyCondition;       // cbxCopyCond
    std::string copyMatchKind;       // cbxCopyValue
    std::string recordType;          // edtCopyValue: record marker, selection text
    bool foundOnly = false;          // chkFoundOnly
    bool noStatusErrors = false;     // chkNoStatErrors
    bool noBirthErrors = false;      // chkNoBirthErrors
    bool byQuery = false;            // chkByQuery
    bool collectNotFound = false;    // chkAnkList
    std::string formatLabel;         // lblFmt
    std::string recordCountLabel;    // lblRecCount

    // The window's own fields.
    TFieldList Fields {};
    std::int64_t RecordCount = 0;
    std::int64_t ErrorCount = 0;
    std::string SchemaName;
    std::string CopyValue;
    std::string Sql1Text;
    std::string Sql2Text;
    std::uint8_t CopyMatch = 0;
    std::uint8_t CopyMode = 0;
    bool CollectNotFound = false;
    bool UseQuery = false;

    // The printer port of the report viewer's paged output, a device as the system names it.
    std::string PrinterPort;

    // Lines a processing run reads ahead of their treatment, whose register lookups are
    // made together (at least 1). Lookups in key order gain once a block holds more keys
    // than the register's table has pages; a block costs some 2 KiB of memory per line.
    int LinesPerBlock = 65536;

    // Where venqor.ini and ANKT.DB live, and where schema files are looked for.
    std::filesystem::path ProgramDir;
    std::vector<std::filesystem::path> SchemaDirs;

    // Set while a command runs: the line buffer and the tokenizer serve one run at a time.
    bool Running = false;
};

// The window as designed, before the settings file is read.
TMainState DefaultMainState(const ProgramPlaces& places);

} // namespace venqor
