#include "PythonDbf.h"

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

} // namespace venqor::test
