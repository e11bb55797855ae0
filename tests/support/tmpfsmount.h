#pragma once

#include <QString>

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

// A small file system over a folder, for this thread alone: a tmpfs of `bytes` mounted on
// the folder in a mount namespace the thread takes for the time being, so that a test
// meets a full disk for real. Needs CAP_SYS_ADMIN; without it `error()` says why, and the
// caller skips. What was written there goes with the mount.
class TmpfsMount {
public:
    TmpfsMount(const QString& folder, long bytes)
        : m_folder(folder.toStdString())
    {
        mount(bytes);
    }
    ~TmpfsMount()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
        if (m_unshared && m_home >= 0)
            ::setns(m_home, CLONE_NEWNS);
        if (m_home >= 0)
            ::close(m_home);
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    // Empty when the folder is the small file system now.
    const std::string& error() const { return m_error; }

private:
    void mount(long bytes)
    {
        m_home = ::open("/proc/thread-self/ns/mnt", O_RDONLY | O_CLOEXEC);
        if (m_home < 0)
            return fail("open /proc/thread-self/ns/mnt");
        if (::unshare(CLONE_NEWNS) != 0)
            return fail("unshare(CLONE_NEWNS)");
        m_unshared = true;
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return fail("making / private");
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", m_folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
            return fail("tmpfs mount");
        m_mounted = true;
    }
    void fail(const char* what) { m_error = std::string(what) + ": " + std::strerror(errno); }

    std::string m_folder;
    std::string m_error;
    int m_home = -1;
    bool m_unshared = false;
    bool m_mounted = false;
};
