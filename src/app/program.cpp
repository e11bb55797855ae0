#include "app/program.h"

#include "app/application.h"
#include "app/fatalerror.h"
#include "app/form.h"
#include "base/failure.h"
#include "db/datamodule.h"
#include "overlay/outputplacement.h"

#include <QIcon>

#include <memory>

namespace quorvel::app {
namespace {

int run(int& argc, char** argv, const Config& config, const ConfigFile* file)
{
    Application app;
    GuardedQtApplication qtApp(argc, argv, app);
    app.setTitle(kAppTitle);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/pictures/icon.png")));

    if (file) {
        const Text refusal = file->refusal.isEmpty() ? overlay::programOutputRefusal(*file) : file->refusal;
        if (!refusal.isEmpty()) {
            showFatalError(refusal);
            return 1;
        }
    }

    std::unique_ptr<db::DataModule> dm;
    std::unique_ptr<Form> form;
    try {
        dm = std::make_unique<db::DataModule>(config);
        form = std::make_unique<Form>(app, *dm, config);
    } catch (const std::exception& e) {
        // Nothing before the creation handler may fail quietly: the window is never shown.
        showFatalError(messageOf(e));
        return 1;
    }

    app.guarded([&] { form->FormCreate(); });

    if (app.showMainWindow())
        form->showWindow();
    app.runEventLoop();

    // The window goes first (its timers stop, the link closes without a word), then the
    // data module.
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
