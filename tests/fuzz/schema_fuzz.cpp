// LoadSchema over arbitrary file contents, then FieldValue of every field it gave.

#include "scan/ScanCSV.h"
#include "scan/Schema.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace venqor;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

const std::string& schemaPath()
{
    static const std::string path = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "venqor-schema-fuzz-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        check(fd >= 0);
        ::close(fd);
        std::atexit([] { std::remove(schemaPath().c_str()); });
        return pattern;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = schemaPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr);
    check(std::fwrite(data, 1, size, file) == size);
    check(std::fclose(file) == 0);

    Scan.Reset();
    static TFieldList fields;
    LoadSchema(path, fields);
    check(fields.Count >= 0 && fields.Count <= MaxFieldCount);
    check(!Scan.Options.StrictIdent && Scan.Options.RecodeOem);
    for (int i = 0; i < fields.Count; ++i) {
        const TFieldItem& item = fields.Items[i];
        check(item.Name.Length <= MaxFieldNameLen);
        check(item.Kind == fkText || item.Kind == fkInteger || item.Kind == fkFloat || item.Kind == fkDate);
        const std::string_view value = FieldValue(fields, i);
        check(value.empty()
            || (value.data() >= Scan.LineBuf && value.data() + value.size() <= Scan.LineBuf + Scan.LineLen));
        check(FindField(fields, item.name()) <= i);
    }
    return 0;
}
