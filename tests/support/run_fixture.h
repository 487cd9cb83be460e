#pragma once

#include "support/test_install.h"

#include <QString>

// A company ready for a run: its 2023 archive with something to carry.
inline void addCompany(TestInstall& install, int slot)
{
    install.createArchive(slot);
    TestInstall::addSampleData(install.archiveHost(slot));
}
