#pragma once

#include <string>

// A system-wide lock named after the program, held exactly as long as the process lives: the
// system releases it when the process ends, however it ends. The name is "Velmor.exe".
class Single_Instance
{
public:
    Single_Instance() = default;
    Single_Instance(const Single_Instance&) = delete;
    Single_Instance& operator=(const Single_Instance&) = delete;

    // False when another process of this user session holds the lock. The lock lives in the
    // session's runtime folder, or in `private_folder` (the user's own data folder) when the
    // session has none: a folder every user can write, such as /tmp, would let another user hold
    // it and keep the receiver from starting.
    bool Acquire(const std::string& name, const std::string& private_folder);

private:
    // Never released explicitly; closing it at process end is the system's job.
    long long handle_ = -1;
};
