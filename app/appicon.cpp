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
    return QIcon(QStringLiteral(":/app/quorvela.png"));
}

} // namespace qv
