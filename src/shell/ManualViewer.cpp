#include "shell/ManualViewer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {
ManualViewer::DesktopOpener &testOpener()
{
    static ManualViewer::DesktopOpener opener;
    return opener;
}
} // namespace

bool ManualViewer::hasDesktopHandler()
{
    if (testOpener())
        return true;
    return systemHasDesktopHandler();
}

void ManualViewer::setDesktopOpenerForTesting(DesktopOpener opener)
{
    testOpener() = std::move(opener);
}

ManualViewer::Outcome ManualViewer::open(const QString &viewer, const QString &document, QObject *owner,
                                         QProcess **process)
{
    const bool hasViewer = QFileInfo::exists(viewer);
    if (!hasViewer && !hasDesktopHandler())
        return Outcome::ViewerMissing;
    if (!QFileInfo::exists(document))
        return Outcome::DocumentMissing;

    if (!hasViewer) {
        const QUrl url = QUrl::fromLocalFile(QFileInfo(document).absoluteFilePath());
        const bool opened = testOpener() ? testOpener()(url) : QDesktopServices::openUrl(url);
        return opened ? Outcome::Opened : Outcome::ViewerMissing;
    }

    if (!*process) {
        *process = new QProcess(owner);
        // The tool never reads the viewer's output; forwarding it keeps a chatty viewer from filling a pipe.
        (*process)->setProcessChannelMode(QProcess::ForwardedChannels);
    }
    (*process)->start(QFileInfo(viewer).absoluteFilePath(), {document}, QIODevice::ReadWrite);
    return Outcome::Opened;
}
