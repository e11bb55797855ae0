#pragma once

#include <QString>

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

// A folder on a read-only file system, for this thread alone: a read-only bind mount of
// the folder onto itself, in a mount namespace the thread takes for the time being (no
// other thread or process sees it). Root writes through permission bits, so this is how a
// test run as root meets a folder it cannot write to. Needs CAP_SYS_ADMIN; without it
// `error()` says why, and the caller skips.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(const QString& folder)
        : m_folder(folder.toStdString())
    {
        mountReadOnly();
    }
    ~ReadOnlyMount()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
        if (m_unshared && m_home >= 0)
            ::setns(m_home, CLONE_NEWNS);
        if (m_home >= 0)
            ::close(m_home);
    }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

    // Empty when the folder is read-only now.
    const std::string& error() const { return m_error; }

private:
    void mountReadOnly()
    {
        m_home = ::open("/proc/thread-self/ns/mnt", O_RDONLY | O_CLOEXEC);
        if (m_home < 0)
            return fail("open /proc/thread-self/ns/mnt");
        if (::unshare(CLONE_NEWNS) != 0)
            return fail("unshare(CLONE_NEWNS)");
        m_unshared = true;
        // Nothing mounted here may reach the namespace the thread came from.
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return fail("making / private");
        if (::mount(m_folder.c_str(), m_folder.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return fail("bind mount");
        m_mounted = true;
        if (::mount(nullptr, m_folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return fail("read-only remount");
    }
    void fail(const char* what) { m_error = std::string(what) + ": " + std::strerror(errno); }

    std::string m_folder;
    std::string m_error;
    int m_home = -1;
    bool m_unshared = false;
    bool m_mounted = false;
};
