#include "base/configfile.h"
#include "threadmount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cctype>
#include <sys/stat.h>
#include <vector>

using namespace quorvel;

namespace {

class ConfigFileTest : public ::testing::Test {
protected:
    QString write(const QByteArray& contents)
    {
        const QString path = dir.filePath(QStringLiteral("quorvel.conf"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
        return path;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(ConfigFileTest, AnEmptyFileAndAMissingOptionalFileLeaveEveryDefault)
{
    for (const ConfigFile& file :
         {readConfigFile(write(""), false), readConfigFile(dir.filePath(QStringLiteral("none.conf")), false)}) {
        EXPECT_TRUE(file.refusal.isEmpty()) << file.refusal.constData();
        EXPECT_EQ(file.config.fixedServerAddress, Text(kFixedServerAddress));
        EXPECT_TRUE(file.config.programOutput.screen.isEmpty());
        EXPECT_FALSE(file.config.programOutput.left.has_value());
        EXPECT_FALSE(file.config.programOutput.top.has_value());
        EXPECT_EQ(file.config.programOutput.keyColour, kKeyColour);
        EXPECT_TRUE(file.config.feedListen.isEmpty());
        // only what the file may set differs from the constants
        EXPECT_EQ(file.config.tcpPort, kTcpPort);
        EXPECT_EQ(file.config.retryIntervalMs, kRetryIntervalMs);
    }
}

TEST_F(ConfigFileTest, EveryKeyIsRead)
{
    const ConfigFile file = readConfigFile(write("; a rehearsal at the office\n"
                                                 "[TimingServer]\n"
                                                 "Address=10.1.2.3\n"
                                                 "[ProgramOutput]\n"
                                                 "Screen=HDMI-2   ; the mixer's input\n"
                                                 "Left=-0\n"
                                                 "Top=40\n"
                                                 "KeyColour=#00ff00\n"
                                                 "[Feed]\n"
                                                 "Listen=0.0.0.0:8765 ; the crew's streaming PC\n"
                                                 "Token=s3cret\n"),
                                           true);
    ASSERT_TRUE(file.refusal.isEmpty()) << file.refusal.constData();
    EXPECT_EQ(file.config.fixedServerAddress, Text("10.1.2.3"));
    EXPECT_EQ(file.config.programOutput.screen, QStringLiteral("HDMI-2"));
    EXPECT_EQ(file.config.programOutput.left, 0);
    EXPECT_EQ(file.config.programOutput.top, 40);
    EXPECT_EQ(file.config.programOutput.keyColour, 0xff00ff00u);
    EXPECT_EQ(file.config.feedListen, Text("0.0.0.0:8765"));
    EXPECT_EQ(file.config.feedToken, Text("s3cret"));
}

TEST_F(ConfigFileTest, EmptyValuesAreTheDefaults)
{
    const ConfigFile file = readConfigFile(
        write("[TimingServer]\nAddress=\n[ProgramOutput]\nScreen=\nLeft=\nTop=\nKeyColour=\n[Feed]\nListen=\nToken=\n"),
        true);
    ASSERT_TRUE(file.refusal.isEmpty()) << file.refusal.constData();
    EXPECT_EQ(file.config.fixedServerAddress, Text(kFixedServerAddress));
    EXPECT_TRUE(file.config.programOutput.screen.isEmpty());
    EXPECT_FALSE(file.config.programOutput.left.has_value());
    EXPECT_EQ(file.config.programOutput.keyColour, kKeyColour);
    EXPECT_TRUE(file.config.feedListen.isEmpty());
    EXPECT_TRUE(file.config.feedToken.isEmpty());
}

// Each refusal names the file and the setting; nothing the file set is half taken.
TEST_F(ConfigFileTest, BadSettingsAreRefusedNamingTheFileAndTheKey)
{
    const struct {
        QByteArray contents;
        const char* named; // the setting the refusal names
    } cases[] = {
        {"[TimingServer]\nAdress=10.0.0.1\n", "[TimingServer] Adress"},
        {"[TimingServer]\naddress=10.0.0.1\n", "[TimingServer] address"},
        {"[Timing]\nAddress=10.0.0.1\n", "[Timing] Address"},
        {"Address=10.0.0.1\n", "key Address"},
        {"[ProgramOutput]\nScreen=1\nWidth=1629\n", "[ProgramOutput] Width"},
        {"[TimingServer]\nAddress=track.local\n", "[TimingServer] Address"},
        {"[TimingServer]\nAddress=192.168.0.256\n", "[TimingServer] Address"},
        {"[TimingServer]\nAddress=192.168.0\n", "[TimingServer] Address"},
        {"[TimingServer]\nAddress=10.0.0.1,10.0.0.2\n", "[TimingServer] Address"},
        {"[ProgramOutput]\nLeft=12px\n", "[ProgramOutput] Left"},
        {"[ProgramOutput]\nTop=1.5\n", "[ProgramOutput] Top"},
        {"[ProgramOutput]\nKeyColour=magenta\n", "[ProgramOutput] KeyColour"},
        {"[ProgramOutput]\nKeyColour=#F0F\n", "[ProgramOutput] KeyColour"},
        {"[ProgramOutput]\nKeyColour=#00FF00FF\n", "[ProgramOutput] KeyColour"},
        {"[Feed]\nListen=8765\nPort=8765\n", "[Feed] Port"},
        {"[feed]\nListen=8765\n", "[feed] Listen"},
        {"[Journal]\nFolder=relative/journal\n",
         "[Journal] Folder"}, // a size of its own: QSettings takes a file of the same size and time from its cache
        {"[Journal]\nMaxMegabytes=0\n", "[Journal] MaxMegabytes"},
        {"[Journal]\nMaxMegabytes=-5\n", "[Journal] MaxMegabytes"},
        {"[Journal]\nMaxMegabytes=1GB\n", "[Journal] MaxMegabytes"},
        {"[Journal]\nFolders=/tmp\n", "[Journal] Folders"},
    };
    for (const auto& c : cases) {
        const QString path = write(c.contents);
        const ConfigFile file = readConfigFile(path, true);
        const QString refusal = QString::fromLatin1(file.refusal);
        EXPECT_TRUE(refusal.contains(path)) << c.contents.constData() << " -> " << file.refusal.constData();
        EXPECT_TRUE(refusal.contains(QLatin1String(c.named)))
            << c.contents.constData() << " -> " << file.refusal.constData();
    }
}

// A line the file cannot mean is refused rather than skipped: the installer would believe
// it set something. Whole lines starting with ';' or '#' are comments, wherever they are.
TEST_F(ConfigFileTest, LinesTheFileCannotMeanAreRefusedAndCommentsStartWithASemicolonOrAHash)
{
    const struct {
        QByteArray contents;
        std::vector<const char*> said; // what the refusal says
    } cases[] = {
        {"[ProgramOutput]\nScreen=1\nLeft 0\n", {"line 3", "\"Left 0\""}},
        {"Screen\n", {"line 1", "\"Screen\""}},
        {"[ProgramOutput\nScreen=1\n", {"line 1", "does not close"}},
        {"[ProgramOutput]\nScreen=1\nTop=0\nScreen=2\n", {"[ProgramOutput] Screen", "twice, on lines 2 and 4"}},
        {"[ProgramOutput]\nLeft=1\n[Feed]\nListen=8765\n[ProgramOutput]\nLeft=2\n", {"[ProgramOutput] Left", "twice"}},
        {"[ProgramOutput]\nLeft=1000000\n", {"[ProgramOutput] Left", "1000000 is outside the screen"}},
        {"[ProgramOutput]\nTop=-99999999999999999999\n", {"[ProgramOutput] Top", "outside the screen"}},
        {"[ProgramOutput]\nLeft=12px\n", {"[ProgramOutput] Left", "not a whole number of pixels"}},
    };
    for (const auto& c : cases) {
        const ConfigFile file = readConfigFile(write(c.contents), true);
        for (const char* said : c.said)
            EXPECT_TRUE(file.refusal.contains(said)) << c.contents.constData() << " -> " << file.refusal.constData();
    }

    const ConfigFile commented = readConfigFile(write("# the track's own file\n"
                                                      "[ProgramOutput]\n"
                                                      "# Left=5000\n"
                                                      "  ; Top=x\n"
                                                      "   # Screen\n"
                                                      "Screen=HDMI-2\n"
                                                      "Left=-32767\n"
                                                      "[Feed]\n"
                                                      "Token=\"a;b \" ; quoted: kept as it is\n"),
                                                true);
    ASSERT_TRUE(commented.refusal.isEmpty()) << commented.refusal.constData();
    EXPECT_EQ(commented.config.programOutput.screen, QStringLiteral("HDMI-2"));
    EXPECT_EQ(commented.config.programOutput.left, -32767);
    EXPECT_FALSE(commented.config.programOutput.top);
    EXPECT_EQ(commented.config.feedToken, Text("a;b "));
}

// Anything but a regular file is refused at once: a FIFO would hold start-up for ever.
TEST_F(ConfigFileTest, APathThatIsNotARegularFileIsRefusedAtOnce)
{
    const QString fifo = dir.filePath(QStringLiteral("fifo.conf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const ConfigFile file = readConfigFile(fifo, true);
    EXPECT_TRUE(file.refusal.contains("not a regular file")) << file.refusal.constData();
    EXPECT_TRUE(QString::fromLatin1(file.refusal).contains(fifo));
}

TEST_F(ConfigFileTest, AFileThatIsNotThereOrCannotBeReadIsRefused)
{
    const QString missing = dir.filePath(QStringLiteral("missing.conf"));
    const ConfigFile absent = readConfigFile(missing, true);
    EXPECT_TRUE(QString::fromLatin1(absent.refusal).contains(missing)) << absent.refusal.constData();

    const QString folder = dir.filePath(QStringLiteral("folder.conf"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const ConfigFile notAFile = readConfigFile(folder, true);
    EXPECT_TRUE(QString::fromLatin1(notAFile.refusal).contains(folder)) << notAFile.refusal.constData();

    const QString locked = write("[TimingServer]\nAddress=10.0.0.1\n");
    QFile::setPermissions(locked, QFileDevice::Permissions());
    QFile probe(locked);
    if (probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "this account reads files without read permission";
    const ConfigFile unreadable = readConfigFile(locked, true);
    EXPECT_TRUE(QString::fromLatin1(unreadable.refusal).contains(QLatin1String("cannot be read")))
        << unreadable.refusal.constData();
}

TEST_F(ConfigFileTest, TheVariableNamesTheFileAndAMissingOneIsRefused)
{
    const QString path = write("[TimingServer]\nAddress=127.0.0.9\n");
    qputenv(kConfigFileVariable, path.toLocal8Bit());
    const ConfigFile named = readConfigFile();
    EXPECT_EQ(named.path, path);
    EXPECT_EQ(named.config.fixedServerAddress, Text("127.0.0.9"));

    qputenv(kConfigFileVariable, dir.filePath(QStringLiteral("nothing-here.conf")).toLocal8Bit());
    EXPECT_FALSE(readConfigFile().refusal.isEmpty());
    qputenv(kConfigFileVariable, QByteArray());
    EXPECT_FALSE(readConfigFile().refusal.isEmpty());
    qunsetenv(kConfigFileVariable);
}

// The journal's folder is made and tried when the file is read: a folder the overlay could
// not write refuses the start, naming the file and the key.
TEST_F(ConfigFileTest, TheJournalsFolderIsMadeAndTriedWhenTheFileIsRead)
{
    const QString folder = dir.filePath(QStringLiteral("journal/track"));
    const ConfigFile file =
        readConfigFile(write("[Journal]\nFolder=" + folder.toLocal8Bit() + "/\nMaxMegabytes=50\n"), true);
    ASSERT_TRUE(file.refusal.isEmpty()) << file.refusal.constData();
    EXPECT_EQ(file.config.journalFolder, folder);
    EXPECT_EQ(file.config.journalMaxMegabytes, 50);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    const ConfigFile none = readConfigFile(write(""), true);
    EXPECT_TRUE(none.config.journalFolder.isEmpty());
    EXPECT_EQ(none.config.journalMaxMegabytes, 1024);

    QFile blocker(dir.filePath(QStringLiteral("a-file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = write("[Journal]\nFolder=" + blocker.fileName().toLocal8Bit() + "/journal\n");
    const ConfigFile uncreatable = readConfigFile(path, true);
    EXPECT_TRUE(uncreatable.refusal.contains("[Journal] Folder")) << uncreatable.refusal.constData();
    EXPECT_TRUE(uncreatable.refusal.contains(path.toLocal8Bit())) << uncreatable.refusal.constData();
    EXPECT_TRUE(uncreatable.refusal.contains("cannot be created")) << uncreatable.refusal.constData();

    const QString locked = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    const ReadOnlyMount readOnly(locked);
    if (!readOnly.error().empty())
        GTEST_SKIP() << "no read-only mount here: " << readOnly.error();
    const ConfigFile unwritable = readConfigFile(write("[Journal]\nFolder=" + locked.toLocal8Bit() + "\n"), true);
    EXPECT_TRUE(unwritable.refusal.contains("[Journal] Folder")) << unwritable.refusal.constData();
    EXPECT_TRUE(unwritable.refusal.contains("cannot be written")) << unwritable.refusal.constData();
}

TEST(DottedIpv4, OnlyFourNumbersOfAByte)
{
    for (const char* good : {"192.168.0.100", "0.0.0.0", "255.255.255.255", "127.0.0.1"})
        EXPECT_TRUE(isDottedIpv4(QString::fromLatin1(good))) << good;
    for (const char* bad :
         {"", "192.168.0", "192.168.0.100.1", "1.2.3.256", "a.b.c.d", " 1.2.3.4", "1..2.3", "1.2.3.4/24", "::1"})
        EXPECT_FALSE(isDottedIpv4(QString::fromLatin1(bad))) << bad;
}

// The example the package installs is a file the program takes, commented out or not.
TEST_F(ConfigFileTest, ThePackagedExampleIsAcceptedAsItIsAndUncommented)
{
    QFile example(QStringLiteral(QUORVEL_SOURCE_DIR "/packaging/quorvel.conf.example"));
    ASSERT_TRUE(example.open(QIODevice::ReadOnly));
    // The example's journal folder, moved into this test's own folder.
    const QByteArray text =
        example.readAll().replace("/var/lib/quorvel/journal", dir.filePath(QStringLiteral("journal")).toLocal8Bit());
    const ConfigFile asItIs = readConfigFile(write(text), true);
    EXPECT_TRUE(asItIs.refusal.isEmpty()) << asItIs.refusal.constData();
    EXPECT_TRUE(asItIs.config.programOutput.screen.isEmpty());

    QByteArray uncommented;
    for (const QByteArray& line : text.split('\n'))
        uncommented +=
            (line.startsWith(';') && line.size() > 1 && std::isupper(static_cast<unsigned char>(line[1])) ? line.mid(1)
                                                                                                          : line) +
            '\n';
    const ConfigFile file = readConfigFile(write(uncommented), true);
    ASSERT_TRUE(file.refusal.isEmpty()) << file.refusal.constData();
    EXPECT_EQ(file.config.fixedServerAddress, Text(kFixedServerAddress));
    EXPECT_EQ(file.config.programOutput.screen, QStringLiteral("HDMI-2"));
    EXPECT_EQ(file.config.programOutput.left, 145);
    EXPECT_EQ(file.config.programOutput.top, 264);
    EXPECT_EQ(file.config.programOutput.keyColour, kKeyColour);
    EXPECT_EQ(file.config.feedListen, Text("8765"));
    EXPECT_EQ(file.config.journalFolder, dir.filePath(QStringLiteral("journal")));
    EXPECT_EQ(file.config.journalMaxMegabytes, 1024);
}
