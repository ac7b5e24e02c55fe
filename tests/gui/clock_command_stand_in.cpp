// Stands in for cmd in the Windows clock setter's tests. It writes the
// arguments it was given (its command line after the program) and how its
// window was asked to show ("show <wShowWindow>" when STARTF_USESHOWWINDOW is
// set) to the file VARO_STAND_IN_RECORD, prints VARO_STAND_IN_OUTPUT and
// exits with VARO_STAND_IN_EXIT.
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <windows.h>

namespace {
// The command line after the program's name, as the program received it.
const wchar_t* argumentsOf(const wchar_t* line) {
    if (*line == L'"') {
        line = std::wcschr(line + 1, L'"');
        line = line ? line + 1 : L"";
    } else {
        while (*line && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}
} // namespace

int main() {
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    if (const char* recordPath = std::getenv("VARO_STAND_IN_RECORD")) {
        if (FILE* record = std::fopen(recordPath, "wb")) {
            std::fprintf(record, "%ls\n", argumentsOf(GetCommandLineW()));
            if (startup.dwFlags & STARTF_USESHOWWINDOW)
                std::fprintf(record, "show %d\n", int(startup.wShowWindow));
            std::fclose(record);
        }
    }
    if (const char* output = std::getenv("VARO_STAND_IN_OUTPUT"))
        std::printf("%s\n", output);
    const char* exitCode = std::getenv("VARO_STAND_IN_EXIT");
    return exitCode ? std::atoi(exitCode) : 0;
}
