#pragma once

#include <QString>

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

// A mount over a folder for this thread alone: the thread takes a mount namespace of its
// own for the time being (no other thread or process sees the mount), and goes back to
// its own when the object goes. Needs CAP_SYS_ADMIN; without it `error()` says why, and
// the caller skips. The kinds below say what is mounted.
class ThreadMount {
public:
    ~ThreadMount()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
        if (m_unshared && m_home >= 0)
            ::setns(m_home, CLONE_NEWNS);
        if (m_home >= 0)
            ::close(m_home);
    }
    ThreadMount(const ThreadMount&) = delete;
    ThreadMount& operator=(const ThreadMount&) = delete;

    // Empty when the mount is in place.
    const std::string& error() const { return m_error; }

protected:
    explicit ThreadMount(const QString& folder)
        : m_folder(folder.toStdString())
    {
    }
    // Into a namespace of the thread's own; false (with error()) when it cannot be had.
    bool enterOwnNamespace()
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
        return true;
    }
    bool fail(const char* what)
    {
        m_error = std::string(what) + ": " + std::strerror(errno);
        return false;
    }

    std::string m_folder;
    std::string m_error;
    int m_home = -1;
    bool m_unshared = false;
    bool m_mounted = false;
};

// A folder on a read-only file system: a read-only bind mount of the folder onto itself.
// Root writes through permission bits, so this is how a test run as root meets a folder
// it cannot write to.
class ReadOnlyMount : public ThreadMount {
public:
    explicit ReadOnlyMount(const QString& folder)
        : ThreadMount(folder)
    {
        if (!enterOwnNamespace())
            return;
        if (::mount(m_folder.c_str(), m_folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            fail("bind mount");
            return;
        }
        m_mounted = true;
        if (::mount(nullptr, m_folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            fail("read-only remount");
    }
};

// A small file system over a folder: a tmpfs of `bytes`, so that a test meets a full disk
// for real. What was written there goes with the mount.
class TmpfsMount : public ThreadMount {
public:
    TmpfsMount(const QString& folder, long bytes)
        : ThreadMount(folder)
    {
        if (!enterOwnNamespace())
            return;
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", m_folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            fail("tmpfs mount");
            return;
        }
        m_mounted = true;
    }
};
