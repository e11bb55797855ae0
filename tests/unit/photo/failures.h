#pragma once

#include "base/failure.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <QImage>

#include <functional>
#include <vector>

namespace photo_test {

// Passes when `action` raises a quorvel::Failure whose message is exactly `message`.
inline ::testing::AssertionResult failsWith(const std::function<void()>& action, const QByteArray& message)
{
    try {
        action();
    } catch (const quorvel::Failure& e) {
        if (e.message() == message)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
            << "raised \"" << e.message().constData() << "\", expected \"" << message.constData() << "\"";
    }
    return ::testing::AssertionFailure() << "nothing raised, expected \"" << message.constData() << "\"";
}

} // namespace photo_test

namespace photo_test {

// A file a decoder must refuse, and why it is broken.
struct BrokenFile {
    const char* name;
    QByteArray bytes;
};

// Passes when the decoder refuses every file with exactly `message`.
inline void expectAllRefused(const std::vector<BrokenFile>& files, QImage (*decode)(const QByteArray&),
                             const QByteArray& message)
{
    for (const BrokenFile& file : files) {
        SCOPED_TRACE(file.name);
        EXPECT_TRUE(failsWith([&] { decode(file.bytes); }, message));
    }
}

// A copy of the bytes with one change made.
inline QByteArray changed(QByteArray bytes, const std::function<void(QByteArray&)>& change)
{
    change(bytes);
    return bytes;
}

} // namespace photo_test
