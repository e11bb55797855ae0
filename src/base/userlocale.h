#pragma once

#include <langinfo.h>
#include <locale.h>

namespace quorvel {

// The user's locale for some categories (LC_TIME_MASK, LC_NUMERIC_MASK, ...), as the
// environment names it. The program itself runs in the "C" locale, so the separators of
// the clock, the board's decimal point and the log's time come from here instead.
class UserLocale {
public:
    explicit UserLocale(int categoryMask)
        : m_locale(newlocale(categoryMask, "", static_cast<locale_t>(nullptr)))
    {
    }
    ~UserLocale()
    {
        if (m_locale)
            freelocale(m_locale);
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;

    // False when the environment names a locale this system does not have.
    bool valid() const { return m_locale != static_cast<locale_t>(nullptr); }
    locale_t handle() const { return m_locale; }

    // nl_langinfo of this locale; nullptr when the locale is not valid.
    const char* info(nl_item item) const { return valid() ? nl_langinfo_l(item, m_locale) : nullptr; }

private:
    locale_t m_locale;
};

} // namespace quorvel
