#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <string>

// The process's locale switched, for one scope, to an operator's: the C library's reasons
// then come in that language and encoding, as they do for an operator whose session runs
// under it. scripts/setup makes the locales the tests use.
class ProcessLocale {
public:
    explicit ProcessLocale(const char* name)
        : m_previous(std::setlocale(LC_ALL, nullptr))
    {
        m_active = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ProcessLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    ProcessLocale(const ProcessLocale&) = delete;
    ProcessLocale& operator=(const ProcessLocale&) = delete;

    bool active() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};

// Portuguese, as the installation's operators run it; the tests that need it fail, with
// this reason, on a machine where scripts/setup has not made it.
#define QUORVEL_UNDER_PT_BR(guard)                                                                                     \
    ProcessLocale guard("pt_BR.UTF-8");                                                                                \
    ASSERT_TRUE(guard.active()) << "the locale pt_BR.UTF-8 is missing: run scripts/setup"
