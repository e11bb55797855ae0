#include "app/program.h"

#include "app/application.h"
#include "app/endsignals.h"
#include "app/fatalerror.h"
#include "app/feedlinks.h"
#include "app/form.h"
#include "app/stallprobe.h"
#include "base/cp1252.h"
#include "base/failure.h"
#include "db/datamodule.h"
#include "feed/feedserver.h"
#include "overlay/outputplacement.h"

#include <QIcon>

#include <memory>

namespace quorvel::app {
namespace {

// The feed when the installer asks for one. Its keys were checked with the rest of the
// file; an address that cannot be listened on (another program has the port) still ends
// the program, naming the key when a file set it.
std::unique_ptr<feed::FeedServer> startFeed(const Config& config, const ConfigFile* file, overlay::Screen& screen)
{
    const feed::FeedSettingsResult parsed =
        feed::parseFeedSettings(fromCp1252(config.feedListen), fromCp1252(config.feedToken));
    if (!parsed.error.isEmpty())
        throw Failure(toCp1252(QStringLiteral("[Feed] %1: %2").arg(parsed.badKey, parsed.error)));
    if (!parsed.settings)
        return nullptr;
    auto server = std::make_unique<feed::FeedServer>(screen);
    if (!server->listen(*parsed.settings)) {
        const QString why =
            QStringLiteral("cannot listen on %1 (%2)").arg(fromCp1252(config.feedListen), server->errorString());
        throw Failure(file ? configRefusal(file->path, QStringLiteral("Feed"), QStringLiteral("Listen"), why)
                           : toCp1252(QStringLiteral("[Feed] Listen: ") + why));
    }
    return server;
}

int run(int& argc, char** argv, const Config& config, const ConfigFile* file)
{
    Application app;
    GuardedQtApplication qtApp(argc, argv, app);
    const EndOnSignals endOnSignals(app);
    app.setTitle(kAppTitle);
    const std::unique_ptr<StallProbe> stallProbe = StallProbe::fromEnvironment();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/icon.png")));

    if (file) {
        Text refusal = file->refusal;
        if (refusal.isEmpty())
            refusal = overlay::programOutputRefusal(*file);
        if (refusal.isEmpty())
            refusal = feed::feedRefusal(*file);
        if (!refusal.isEmpty()) {
            showFatalError(refusal);
            return 1;
        }
    }

    std::unique_ptr<db::DataModule> dm;
    std::unique_ptr<Form> form;
    std::unique_ptr<feed::FeedServer> feedServer;
    try {
        dm = std::make_unique<db::DataModule>(config);
        // The form's guard answers while the form is made: the feed is the first copy's
        // alone (a second copy would find its port taken and fail instead of ending).
        form = std::make_unique<Form>(app, *dm, config);
        if (!app.endRequested()) {
            feedServer = startFeed(config, file, form->screen());
            if (feedServer)
                connectFeedToLinks(*feedServer, *form, *dm);
        }
    } catch (const std::exception& e) {
        // Nothing before the creation handler may fail quietly: the window is never shown.
        showFatalError(messageOf(e));
        return 1;
    }

    // The window shows once the creation handler is done, its discovery included; the
    // event loop runs meanwhile.
    app.guarded([&] {
        form->FormCreate([&] {
            if (app.showMainWindow())
                form->showWindow();
        });
    });
    app.runEventLoop();

    // The feed goes first, as it reads the window's model; then the window (its timers
    // stop, the link closes without a word), then the data module.
    form->onLinksChanged = nullptr;
    feedServer.reset();
    form.reset();
    dm.reset();
    return 0;
}

} // namespace

int runProgram(int& argc, char** argv, const Config& config)
{
    return run(argc, argv, config, nullptr);
}

int runProgram(int& argc, char** argv, const ConfigFile& file)
{
    return run(argc, argv, file.config, &file);
}

} // namespace quorvel::app
