#include "app/appicon.h"

// The resources live in a static library; this makes sure they are linked and registered.
static void initAppResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    Q_UNUSED(done);
}

namespace qv {

QIcon appIcon()
{
    initAppResources();
    // The sizes rendered from the SVG, so small title-bar icons are drawn from a small picture, not shrunk.
    QIcon icon;
    for (int size : { 16, 32, 48, 128, 256 })
        icon.addFile(QStringLiteral(":/app/quorvela-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace qv
