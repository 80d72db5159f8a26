#include "console.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace
{

bool hasStream(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

} // namespace

void connectStandardStreams()
{
    const bool output = hasStream(STD_OUTPUT_HANDLE);
    const bool error = hasStream(STD_ERROR_HANDLE);
    if ((!output || !error) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (!output)
            std::freopen("CONOUT$", "w", stdout);
        if (!error)
            std::freopen("CONOUT$", "w", stderr);
    }
    // A stream with no handle behind it has no descriptor to set.
    for (FILE *stream : {stdin, stdout})
        if (_fileno(stream) >= 0)
            _setmode(_fileno(stream), _O_BINARY);
}

#else

void connectStandardStreams() {}

#endif
