#pragma once
// The settings readers as the desk sees them, with values a test sets.

#include "platform/services.h"

namespace qv::test {

class FakeSettings final : public SettingsReaders {
public:
    QString practiceName() override { return name; }
    QString veterinarian() override { return vet; }
    QString practisingNumber() override { return number; }
    QString dispenser() override { return dispenserName; }
    QString leftMargin() override { return left; }
    QString topMargin() override { return top; }
    QString defaultPrinter() override { return reportPrinter; }
    QString prescriptionPrinter() override { return slipPrinter; }

    QString name = QStringLiteral("青禾动物诊所");
    QString vet = QStringLiteral("林志远");
    QString number = QStringLiteral("37010220170001");
    QString dispenserName = QStringLiteral("王晓梅");
    QString left = QStringLiteral("20");
    QString top = QStringLiteral("15");
    QString reportPrinter; // the system's default
    QString slipPrinter;
};

} // namespace qv::test
