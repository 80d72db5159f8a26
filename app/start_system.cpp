#include "start_system.h"

#include "message_text.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <shellapi.h>
#include <string>
#else
#include <cerrno>
#include <csignal>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

namespace
{

// The folder of the running program, with a separator at the end.
std::wstring programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// The command line after the program's name, as the system splits it off.
const wchar_t *afterProgramName(const wchar_t *line)
{
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"')
            ++line;
        return *line == L'"' ? line + 1 : line;
    }
    while (*line != L'\0' && *line != L' ' && *line != L'\t')
        ++line;
    return line;
}

} // namespace

void ignoreBrokenPipeSignal() {}

QStringList programArguments(int, char **)
{
    QStringList words;
    int count = 0;
    if (wchar_t **list = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            words << QString::fromWCharArray(list[i]);
        LocalFree(list);
    }
    return words;
}

GuiEntry loadGuiEntry(const char *name, QString *error)
{
    // By its full path: never a library of that name from somewhere else.
    const std::wstring path = programFolder() + L"" KGF_GUI_LIBRARY;
    const HMODULE library = LoadLibraryW(path.c_str());
    if (library == nullptr) {
        *error = QStringLiteral("%1: %2").arg(shownPath(QString::fromWCharArray(path.c_str())),
                                              qt_error_string(int(GetLastError())));
        return nullptr;
    }
    if (const FARPROC entry = GetProcAddress(library, name))
        return reinterpret_cast<GuiEntry>(reinterpret_cast<void (*)()>(entry));
    *error = qt_error_string(int(GetLastError()));
    return nullptr;
}

bool startWindowProgram(QString *error)
{
    const std::wstring program = programFolder() + L"" KGF_WINDOW_PROGRAM;
    std::wstring line = L"\"" + program + L"\"" + afterProgramName(GetCommandLineW());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    // The window program's messages (a wrong command line) reach the same
    // console or file as this program's would.
    HANDLE *handles[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    const DWORD which[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 3; ++i) {
        *handles[i] = GetStdHandle(which[i]);
        if (*handles[i] != nullptr && *handles[i] != INVALID_HANDLE_VALUE)
            SetHandleInformation(*handles[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        *error = QStringLiteral("Could not start %1: %2")
                     .arg(shownPath(QString::fromWCharArray(program.c_str())),
                          qt_error_string(int(GetLastError())));
        return false;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

#else

void ignoreBrokenPipeSignal()
{
    std::signal(SIGPIPE, SIG_IGN);
}

QStringList programArguments(int argc, char **argv)
{
    QStringList words;
    for (int i = 0; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    return words;
}

GuiEntry loadGuiEntry(const char *name, QString *error)
{
    // By its full path from the program's own folder, as the system knows
    // it on Linux: an RPATH would do the same, but the loader would search
    // it first for every library Qt needs, which slows down every start.
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || std::size_t(length) >= path.size()) {
        *error =
            QStringLiteral("the program's own folder is not known: %1").arg(qt_error_string(errno));
        return nullptr;
    }
    path.resize(std::size_t(length));
    path = path.substr(0, path.rfind('/') + 1) + KGF_GUI_LIBRARY;
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        *error = QString::fromLocal8Bit(dlerror());
        return nullptr;
    }
    if (void *entry = dlsym(library, name))
        return reinterpret_cast<GuiEntry>(entry);
    *error = QString::fromLocal8Bit(dlerror());
    return nullptr;
}

#endif
