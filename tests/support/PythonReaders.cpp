#include "PythonReaders.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <sys/wait.h>

namespace venqor::test {

const char* const DbfDumpScript = R"(import sys, dbf
path = sys.argv[1]
print('language', hex(open(path, 'rb').read(32)[29]))
table = dbf.Table(path)
table.open()
for name in table.field_names:
    info = table.field_info(name)
    print('field', name, chr(info[0]), info[1], info[2])
for record in table:
    values = []
    for value in record:
        if isinstance(value, str):
            value = value.rstrip()
        elif hasattr(value, 'isoformat'):
            value = value.isoformat()
        values.append(str(value))
    print('|'.join(values))
)";

std::string runPython(const char* script, const std::string& argument)
{
    const TempDir dir;
    const std::string scriptFile = dir.write("script.py", script);
    const std::string command = "/usr/bin/python3 '" + scriptFile + "' '" + argument + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    return output;
}

std::string dumpDbf(const std::string& path)
{
    return runPython(DbfDumpScript, path);
}

namespace {

// Rows printed by a script as hex-encoded values, one per line, an empty line after each row.
std::vector<std::vector<std::string>> hexRows(const std::string& output)
{
    std::vector<std::vector<std::string>> rows(1);
    for (std::size_t pos = 0; pos < output.size();) {
        const std::size_t end = output.find('\n', pos);
        const std::string line = output.substr(pos, end - pos);
        pos = end == std::string::npos ? output.size() : end + 1;
        if (line.empty()) {
            rows.emplace_back();
            continue;
        }
        std::string value;
        for (std::size_t i = 1; i + 1 < line.size(); i += 2)
            value += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
        rows.back().push_back(value);
    }
    rows.pop_back();
    return rows;
}

} // namespace

std::vector<std::vector<std::string>> readCsv(const std::string& path)
{
    static const char* const script = R"(import sys, csv
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    for row in csv.reader(f):
        for value in row:
            print('v' + value.encode('utf-8').hex())
        print()
)";
    return hexRows(runPython(script, path));
}

std::vector<std::vector<std::string>> readJsonLines(
    const std::string& path, const std::vector<std::string>& keys, const std::vector<std::string>& numeric)
{
    static const char* const script = R"(import sys, json
path, keys, numeric = sys.argv[1].split('|', 2)
keys, numeric = keys.split(','), numeric.split(',')
with open(path, encoding='utf-8') as f:
    for text in f:
        row = json.loads(text)
        assert sorted(row) == sorted(keys), row
        for key in keys:
            value = row[key]
            assert isinstance(value, int) == (key in numeric), (key, value)
            print('v' + str(value).encode('utf-8').hex())
        print()
)";
    std::string joined = path + "|";
    for (std::size_t i = 0; i < keys.size(); ++i)
        joined += (i ? "," : "") + keys[i];
    joined += "|";
    for (std::size_t i = 0; i < numeric.size(); ++i)
        joined += (i ? "," : "") + numeric[i];
    return hexRows(runPython(script, joined));
}

} // namespace venqor::test
