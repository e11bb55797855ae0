#pragma once

#include "base/failure.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <functional>

namespace photo_test {

// Passes when `action` raises a quorvel::Failure whose message is exactly `message`.
inline ::testing::AssertionResult failsWith(const std::function<void()>& action, const QByteArray& message)
{
    try {
        action();
    } catch (const quorvel::Failure& e) {
        if (e.message() == message)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "raised \"" << e.message().constData() << "\", expected \""
                                             << message.constData() << "\"";
    }
    return ::testing::AssertionFailure() << "nothing raised, expected \"" << message.constData() << "\"";
}

} // namespace photo_test
