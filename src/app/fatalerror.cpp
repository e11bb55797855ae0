#include "app/fatalerror.h"

#include "base/cp1252.h"

#include <QMessageBox>

#include <cstdio>

namespace quorvel::app {

void showFatalError(const Text& message)
{
    // Also on stderr, for an installer who started the program from a terminal.
    std::fprintf(stderr, "quorvel: %s\n", message.constData());
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"), fromCp1252(message), QMessageBox::Ok);
    box.exec();
}

} // namespace quorvel::app
