#pragma once
#include <string>

namespace kes::gtk {

// One interactive instance per user and display: a lock file in the runtime directory, held for the life
// of the object. The first instance writes its window id into it, so that a second start can bring that
// window forward.
class SingleInstance {
public:
    // Throws "无法建立单实例保护" when the lock file cannot be opened.
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool isFirst() const { return first_; }
    // First instance: records its window. Others: the window the first one recorded, 0 when none yet.
    void recordWindow(unsigned long window);
    unsigned long firstWindow() const;

private:
    int fd_ = -1;
    bool first_ = false;
};

} // namespace kes::gtk
