#pragma once
#include <QIcon>

namespace qv {
QIcon appIcon();
}
