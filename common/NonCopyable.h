// The base of an object that owns something only one object may give back (a
// handle, a folder, the process's settings, the application itself): a copy
// would give it back twice.
#pragma once

class NonCopyable {
public:
    NonCopyable(const NonCopyable&) = delete;
    NonCopyable& operator=(const NonCopyable&) = delete;

protected:
    NonCopyable() = default;
    ~NonCopyable() = default;
};
