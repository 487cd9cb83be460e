#include "step_fixture.h"

#include "context/layout.h"
#include "run/run.h"

StepFixture::StepFixture()
{
    rio::startUp(state);
    state.PercorsoBase = TestInstall::base();
    state.PercorsoSystemMdw = TestInstall::mdw();
}

std::unique_ptr<rio::Connection> StepFixture::open(int year, int slot)
{
    auto db = std::make_unique<rio::Connection>();
    db->open(rio::layout::archiveConnectionString(TestInstall::archiveWindowsPath(slot, year),
                                                  TestInstall::mdw()));
    return db;
}

QStringList StepFixture::boxTexts() const
{
    QStringList texts;
    for (const FakeHost::Box& b : host.boxes)
        texts << b.text;
    return texts;
}
