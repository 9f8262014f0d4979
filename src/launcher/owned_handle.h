// One owner for every kind of Win32 handle: it holds a handle and closes it
// with the kind's close function when it goes out of scope, so that every
// early return is safe. An empty owner holds the kind's zero value (null).
// Handles that live for the whole process are plain and say so instead.
#pragma once

template <typename Handle, auto close_handle>
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(Handle handle) : handle_(handle) {}
    ~OwnedHandle()
    {
        if (handle_ != Handle())
            close_handle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    Handle get() const { return handle_; }
    // For calls that return the handle through a pointer; the owner must be
    // empty.
    Handle* receive() { return &handle_; }

private:
    Handle handle_ = Handle();
};
