#pragma once

#include <cerrno>

// Makes a POSIX call again for as long as a signal cuts it off before it
// did anything (-1 with EINTR), and gives its first other result: what it
// returned, or -1 with errno set to the error that ended it.
template <typename Call> auto retryOnInterrupt(Call call)
{
    auto result = call();
    while (result < 0 && errno == EINTR)
        result = call();
    return result;
}
