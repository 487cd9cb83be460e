#pragma once

#include "run/preliminary_check.h"
#include "step_fixture.h"

#include <QStringList>

// What the tests of the check start from: companies 1 and 3, each with an
// archive that holds the product's tables and no rows.
struct CheckFixture : StepFixture
{
    CheckFixture()
    {
        install.createArchive(1);
        install.createArchive(3);
    }
};

// The texts of a check's findings of one level, in order.
inline QStringList findingTexts(const rio::PreliminaryCheck& check, rio::PreliminaryFinding::Level level)
{
    QStringList out;
    for (const auto& f : check.findings)
        if (f.level == level)
            out << f.text;
    return out;
}
