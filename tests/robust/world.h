#pragma once
// A test world whose settings readers are the real settings window, as in the program.

#include "settings/settingsreaders.h"
#include "tests/support/testenv.h"

#include <QStringList>

namespace qv::test {

struct World {
    World()
        : settings(env.services)
    {
        env.services.settings = &settings;
    }
    // The texts of the warnings shown so far (questions included).
    QStringList warnings() const
    {
        QStringList texts;
        for (const auto& shown : env.messages.shown()) {
            if (shown.icon == Messages::Icon::Warning)
                texts << shown.text;
        }
        return texts;
    }
    TestEnv env;
    SettingsWindowHolder settings;
};

} // namespace qv::test
