#include "appfixture.h"

#include "app/singleinstance.h"
#include "base/cp1252.h"

#include <QDir>

#include <algorithm>

using namespace quorvel;
using overlay::El;

TEST_F(AppFixture, ABringForwardListenerThatFailsIsSaidInMLog)
{
    // The form's locks in a folder of this test, where something that no copy may remove
    // sits at the socket's name, as a socket file another account left in the shared folder.
    QTemporaryDir locks;
    struct LockFolderOfThisTest {
        QByteArray saved = qgetenv(kLockFolderVariable);
        explicit LockFolderOfThisTest(const QString& folder) { qputenv(kLockFolderVariable, folder.toLocal8Bit()); }
        ~LockFolderOfThisTest() { qputenv(kLockFolderVariable, saved); }
    } lockFolder(locks.path());
    const QString socketPath = app::bringForwardSocketPath(locks.path(), app.title());
    ASSERT_TRUE(QDir().mkdir(socketPath));
    startForm();

    EXPECT_TRUE(app.showMainWindow());
    EXPECT_FALSE(app.endRequested());
    const Text expected = toCp1252(QStringLiteral("Cannot listen on \"%1\": ").arg(socketPath));
    const TextList log = lines(El::mLog);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const Text& line) { return line.startsWith(expected); }))
        << log.join('|').constData();
}
